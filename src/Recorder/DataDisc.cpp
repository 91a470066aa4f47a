// A data disc: ISO 9660 level 3 with Rock Ridge and Joliet, file checksums recorded, written as a
// new disc or as one more session that continues an earlier one.
#include "DiscKind.hpp"
#include "FileDescriptor.hpp"
#include "RawDisc.hpp"
#include "RecorderFailure.hpp"
#include "Sources.hpp"
#include "TestHooks.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace Recorder {

namespace {

constexpr std::size_t IsoVolumeIdBytes = 32;
constexpr std::size_t JolietVolumeIdCharacters = 16;

// The number before the "s" (blocks) of a result line "Name : 1234s", or none.
std::optional<std::uint64_t> BlocksIn(const std::vector<std::string>& Lines,
                                      std::string_view Name) {
    for (const std::string& Line : Lines) {
        if (!Line.starts_with(Name)) {
            continue;
        }
        const std::size_t Colon = Line.find(':');
        std::string_view Rest = std::string_view(Line).substr(Colon + 1);
        while (!Rest.empty() && Rest.front() == ' ') {
            Rest.remove_prefix(1);
        }
        std::uint64_t Value = 0;
        const auto [End, Error] = std::from_chars(Rest.data(), Rest.data() + Rest.size(), Value);
        if (Error == std::errc() && End != Rest.data() + Rest.size() && *End == 's') {
            return Value;
        }
    }
    return std::nullopt;
}

std::size_t CountLines(const std::vector<std::string>& Lines, std::string_view Head) {
    std::size_t Count = 0;
    for (const std::string& Line : Lines) {
        Count += Line.starts_with(Head) ? 1U : 0U;
    }
    return Count;
}

std::size_t Utf8Characters(std::string_view Text) {
    std::size_t Count = 0;
    for (const char C : Text) {
        Count += (static_cast<unsigned char>(C) & 0xC0U) != 0x80U ? 1 : 0;
    }
    return Count;
}

// The label for both trees; Joliet shows fewer of its characters, which is said.
std::string VolumeId(const WriteContext& Context) {
    std::string Label = IsoVolumeId(Context);
    if (Utf8Characters(Label) > JolietVolumeIdCharacters) {
        Context.Report.Say("label shown by Joliet readers as its first 16 characters");
    }
    return Label;
}

// Whether libisofs reported an entry that could not be read while the session was written (it
// vanished, changed its size or became unreadable after it was checked): a source error.
bool EntryUnreadable(std::string_view Problems) {
    for (const std::string_view Sign :
         {"can't be opened", "Read error in file", "Premature end of file", "Size of file"}) {
        if (Problems.find(Sign) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string IsoVolumeId(const WriteContext& Context) {
    std::string Label = Context.Ask.Label;
    if (Label.size() > IsoVolumeIdBytes) {
        std::size_t Cut = IsoVolumeIdBytes;
        while (Cut > 0 && (static_cast<unsigned char>(Label[Cut]) & 0xC0U) == 0x80U) {
            --Cut;
        }
        Label.resize(Cut);
        Context.Report.Say("label cut to \"" + Label + "\": ISO 9660 holds 32 bytes");
    }
    return Label;
}

void WriteDataDisc(const WriteContext& Context) {
    const Request& Ask = Context.Ask;
    const Target& Where = Context.Where;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    XorrisoSession Disc(Report, Where.Describe());
    bool Blank = true;
    std::size_t Sessions = 0;
    std::uint64_t NextAddress = 0;
    std::uint64_t Capacity = Ask.Dvd ? DvdBlocks : CdBlocks;
    // Whether a device is a drive at all is part of the target, checked before the sources.
    if (Where.RealDrive) {
        Disc.Require({"-dev", Where.Path}, ExitCode::Target);
        Disc.Require({"-toc"}, ExitCode::Target);
        const auto& Toc = Disc.Results();
        Sessions = CountLines(Toc, "ISO session");
        Blank = CountLines(Toc, "Media status : is blank") > 0;
        NextAddress = BlocksIn(Toc, "Media nwa").value_or(0);
    }
    const std::vector<Source> Sources = CheckSources(Ask.Entries);
    VirtualDiscKind Kind = VirtualDiscKind::Blank;
    if (!Where.RealDrive) {
        Kind = KindOfVirtualDisc(Where.Path);
        Blank = Kind == VirtualDiscKind::Blank;
        // Only a disc of the appendable kind is loaded: a closed one, or raw CD sectors, would be
        // taken by the library for a disc with free space after its end.
        if (Kind == VirtualDiscKind::Appendable) {
            Disc.Require({"-dev", "stdio:" + Where.Path}, ExitCode::Medium);
            Disc.Require({"-toc"}, ExitCode::Medium);
            Sessions = CountLines(Disc.Results(), "ISO session");
            NextAddress = BlocksIn(Disc.Results(), "Media nwa").value_or(0);
        }
    }

    // Everything about the medium is decided before anything is written. A refusal is reported
    // after the fit, which comes first when both fail; until then nothing changes the disc.
    std::optional<std::string> Refusal; // a medium error's message
    const bool Erasing = Ask.ForceEraseDisk && !Blank;
    const bool NewDisc = Blank || Erasing;
    if (Ask.DetectNonEmptyDisk && !Blank) {
        Refusal.emplace(Where.Describe() + ": the disc is not blank");
    } else if (!NewDisc && Kind == VirtualDiscKind::Closed) {
        Refusal.emplace(Where.Describe() +
                        ": the disc is closed (DVD-Video): nothing can be appended to it; erase "
                        "it first (--force_erase_disk)");
    } else if (!NewDisc && Kind == VirtualDiscKind::RawSectors) {
        Refusal.emplace(Where.Describe() +
                        ": the disc holds raw CD sectors (an audio CD, a Video CD or a CD "
                        "image), which cannot be continued; erase it first (--force_erase_disk)");
    } else if (!NewDisc && !Ask.Import) {
        Refusal.emplace(Where.Describe() +
                        ": the disc holds data; continue it (--import) or erase it "
                        "first (--force_erase_disk)");
    } else if (Ask.Import && *Ask.Import > 0 &&
               (NewDisc || static_cast<std::size_t>(*Ask.Import) > Sessions)) {
        Refusal.emplace(Where.Describe() + ": the disc has no session " +
                        std::to_string(*Ask.Import));
    }

    if (Refusal) {
        // Only the size is worked out: a blank virtual disc is measured against no file at all.
        if (!Where.RealDrive && Kind != VirtualDiscKind::Appendable) {
            Disc.Require({"-outdev", "stdio:/dev/null"}, ExitCode::Write);
        }
    } else if (Where.RealDrive) {
        if (Erasing) {
            Disc.Require({"-blank", "as_needed"}, ExitCode::Medium);
        }
        if (Ask.Import && *Ask.Import > 0) {
            Disc.Require({"-load", "session", std::to_string(*Ask.Import)}, ExitCode::Medium);
        }
        Disc.Require(
            {"-speed", Ask.Speed == 0 ? "0" : std::to_string(Ask.Speed) + (Ask.Dvd ? "d" : "c")},
            ExitCode::Target);
        Disc.Require({"-close", Ask.CloseSession ? "on" : "off"}, ExitCode::Target);
        Disc.Require({"-write_type", Ask.Tao ? "tao" : "auto"}, ExitCode::Target);
        Disc.Require({"-dummy", Ask.SpeedTest ? "on" : "off"}, ExitCode::Target);
    } else if (NewDisc) {
        Disc.Require({"-outdev", "stdio:" + Context.Scratch}, ExitCode::Write);
        NextAddress = 0;
    } else if (*Ask.Import > 0) {
        Disc.Require({"-load", "session", std::to_string(*Ask.Import)}, ExitCode::Medium);
    }
    for (const auto& Setting : std::vector<std::vector<std::string>>{
             {"-joliet", "on"},
             {"-rockridge", "on"},
             {"-compliance", "iso_9660_level=3"},
             {"-follow", "param"},
             {"-volid", VolumeId(Context)},
             {"-publisher", Ask.Artist.value_or("")},
             {"-volset_id", Ask.Title.value_or("")},
         }) {
        Disc.Require(Setting, ExitCode::Write);
    }
    for (const Source& Entry : Sources) {
        Disc.Require({"-map", Entry.Path, "/" + Entry.Name}, ExitCode::Source);
    }
    if (Where.RealDrive) {
        // The medium's own free space, as libburn reports it for the loaded disc.
        Disc.Require({"-tell_media_space"}, ExitCode::Medium);
        if (const auto Space = BlocksIn(Disc.Results(), "Media space")) {
            Capacity = NextAddress + *Space;
        }
    }
    // A session that clearly fits is not laid out twice; near the limit it is measured exactly.
    const std::optional<std::uint64_t> AtMost = UpperBoundBlocks(Sources);
    const bool ClearlyFits = AtMost && NextAddress + *AtMost <= Capacity && !Ask.SpeedTest;
    std::uint64_t Size = AtMost.value_or(0);
    if (!ClearlyFits) {
        if (!Disc.Run({"-print_size"})) {
            throw Refusal
                ? RecorderFailure(ExitCode::Medium, *Refusal)
                : RecorderFailure(ExitCode::Write, Where.Describe() + ": " + Disc.Problems());
        }
        Size = BlocksIn(Disc.Results(), "Image size").value_or(0);
    }
    if (NextAddress + Size > Capacity) {
        throw RecorderFailure(
            ExitCode::Fit, Where.Describe() + ": the session needs " + std::to_string(Size) +
                               " blocks, the disc has " +
                               std::to_string(Capacity > NextAddress ? Capacity - NextAddress : 0) +
                               " free");
    }
    if (Refusal) {
        throw RecorderFailure(ExitCode::Medium, *Refusal);
    }
    Report.End();

    if (Ask.SpeedTest && !Where.RealDrive) {
        Report.Say("simulation: " + std::to_string(Size) + " blocks would be written to " +
                   Where.Describe() + "; nothing was written");
        return;
    }
    if (Ask.CloseSession && !Where.RealDrive) {
        Report.Say(Where.Describe() +
                   " is a virtual disc, which cannot be closed: it stays appendable");
    }
    Report.Begin("writing");
    TestHooks::BeforeWrite();
    if (!Disc.Run({"-commit"})) {
        const std::string Problems = Disc.Problems();
        throw RecorderFailure(EntryUnreadable(Problems) ? ExitCode::Source : ExitCode::Write,
                              Where.Describe() + ": " + Problems);
    }
    Report.End();

    const std::string Written = NewDisc && !Where.RealDrive ? Context.Scratch : Where.Path;
    if (Ask.Verify) {
        Report.Begin("verifying");
        TestHooks::CorruptWritten(Written);
        XorrisoSession Check(Report, Where.Describe());
        Check.Require({"-indev", (Where.RealDrive ? "" : "stdio:") + Written}, ExitCode::Verify);
        if (!Check.Run({"-check_md5_r", "SORRY", "/", "--"})) {
            // The results name the files whose checksums differ.
            std::string Mismatches;
            for (const std::string& Line : Check.Results()) {
                if (Line.find("MISMATCH") != std::string::npos) {
                    Mismatches += (Mismatches.empty() ? "" : "; ") + Line;
                }
            }
            throw RecorderFailure(ExitCode::Verify,
                                  Where.Describe() + ": " +
                                      (Mismatches.empty() ? Check.Problems() : Mismatches));
        }
        for (const Source& Entry : Sources) {
            Check.Require({"-compare_r", Entry.Path, "/" + Entry.Name}, ExitCode::Verify);
            // A difference is a result, not a problem event: the report names the file.
            for (const std::string& Line : Check.Results()) {
                if (Line.find(" : ") != std::string::npos &&
                    Line.find("differs") != std::string::npos) {
                    throw RecorderFailure(ExitCode::Verify, Where.Describe() + ": " + Line);
                }
            }
        }
        Report.End();
    }
    if (NewDisc && !Where.RealDrive) {
        PutInPlace(Context);
        // The erased audio CD's sheet would name the new disc's file as raw sectors.
        RemoveSheetOf(Where);
    }
    if (Where.RealDrive && !Ask.DisableEject) {
        Disc.Require({"-eject", "all"}, ExitCode::Write);
    }
    Report.Say("wrote " + std::to_string(Sources.size()) + " entries to " + Where.Describe() +
               (NewDisc ? " as a new disc" : " as a new session"));
}

} // namespace Recorder
