// What the disc in a drive holds: for a virtual disc, read from its file (its kind) and from the
// sessions libisofs finds in it; for a real drive, from libburn's table of contents.
#include "DiscGeometry.hpp"
#include "DiscKind.hpp"
#include "LibraryWords.hpp"
#include "Queries.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <optional>

namespace Recorder {

namespace {

struct DiscAnswer {
    std::string Medium;
    std::string State;
    std::size_t Sessions = 0;
    std::string Label;
    std::uint64_t UsedBytes = 0;
    std::uint64_t FreeBytes = 0;
    // A virtual disc that can still be written grows to what the burn asks for: its free space
    // as a CD and as a DVD (none for a real disc, whose medium is what it is).
    std::optional<std::uint64_t> FreeAsCd = std::nullopt;
    std::optional<std::uint64_t> FreeAsDvd = std::nullopt;
    bool ChecksumsFail = false; // the disc's recorded checksum tags do not match it
};

void Print(const DiscAnswer& Answer) {
    PrintAnswer("medium", Answer.Medium);
    PrintAnswer("state", Answer.State);
    PrintAnswer("sessions", Answer.Sessions);
    PrintAnswer("label", Answer.Label);
    PrintAnswer("used_bytes", Answer.UsedBytes);
    PrintAnswer("free_bytes", Answer.FreeBytes);
    if (Answer.FreeAsCd && Answer.FreeAsDvd) {
        PrintAnswer("free_bytes_cd", *Answer.FreeAsCd);
        PrintAnswer("free_bytes_dvd", *Answer.FreeAsDvd);
    }
    if (Answer.ChecksumsFail) {
        PrintAnswer("checksums", "failing");
    }
}

std::uint64_t FileBytes(const std::string& Path) {
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0 ? static_cast<std::uint64_t>(Info.st_size) : 0;
}

// The medium a burn with --dvd would get, or a CD: the smallest a virtual disc of this content
// can stand for.
std::uint64_t VirtualCapacity(std::uint64_t UsedBlocks) {
    return UsedBlocks > CdBlocks ? DvdBlocks : CdBlocks;
}

// What a virtual disc with UsedBlocks written still takes if the burn makes it a CD or a DVD.
void SetVirtualFreeSpace(DiscAnswer& Answer, std::uint64_t UsedBlocks) {
    const auto FreeOf = [UsedBlocks](std::uint64_t Capacity) {
        return Capacity > UsedBlocks ? (Capacity - UsedBlocks) * DataBlockBytes : 0;
    };
    Answer.FreeAsCd = FreeOf(CdBlocks);
    Answer.FreeAsDvd = FreeOf(DvdBlocks);
}

// A virtual disc with sessions: libisofs reads them (read only: -indev never writes). A disc
// whose checksum tags fail still shows its sessions and labels, and the answer says they fail.
DiscAnswer SessionsOf(const Target& Where, bool Closed) {
    XorrisoSession Session(QuietReport(), Where.Describe());
    DiscAnswer Answer;
    Answer.State = Closed ? "closed" : "appendable";
    std::uint64_t Used = (FileBytes(Where.Path) + DataBlockBytes - 1) / DataBlockBytes;
    const auto Checksums = LoadVirtualDisc(Session, "-indev", Where.Path);
    if (Checksums && Session.Run({"-toc"})) {
        const TocSummary Toc = ReadToc(Session);
        Answer.Sessions = Toc.Sessions;
        Answer.Label = Toc.Label;
        Answer.ChecksumsFail = *Checksums == RecordedChecksums::Fail;
        // Where an append would start is what the disc has used, its padding included.
        Used = Toc.NextAddress.value_or(Used);
    }
    const std::uint64_t Capacity = Closed ? DvdBlocks : VirtualCapacity(Used);
    Answer.Medium = Capacity == DvdBlocks ? "virtual DVD" : "virtual CD";
    Answer.UsedBytes = Used * DataBlockBytes;
    Answer.FreeBytes = Closed || Used >= Capacity ? 0 : (Capacity - Used) * DataBlockBytes;
    if (!Closed) {
        SetVirtualFreeSpace(Answer, Used);
    }
    return Answer;
}

DiscAnswer VirtualDisc(const Target& Where) {
    DiscAnswer Answer;
    // A blank disc becomes a CD unless the burn asks for a DVD; its free space is a CD's.
    const std::uint64_t BlankFree = CdBlocks * DataBlockBytes;
    // Held shared for the answer: a disc a run holds is in use (a target error naming the run),
    // never read half written; what a killed run left is put back first.
    const Medium Held(Where, MediumUse::Look);
    // A missing file is a blank disc: a burn makes the file.
    switch (Held.Kind()) {
    case VirtualDiscKind::Blank: {
        DiscAnswer Blank{"virtual disc", "blank", 0, "", 0, BlankFree};
        SetVirtualFreeSpace(Blank, 0);
        return Blank;
    }
    case VirtualDiscKind::Appendable:
        return SessionsOf(Where, false);
    case VirtualDiscKind::Closed:
        return SessionsOf(Where, true);
    case VirtualDiscKind::RawSectors:
        // An audio CD, a Video CD or a CD image: one session that nothing can continue.
        return {"virtual CD", "closed", 1, "", FileBytes(Where.Path), 0};
    case VirtualDiscKind::NotADisc:
        break;
    }
    return {"", "not a disc", 0, "", 0, 0};
}

DiscAnswer RealDisc(const Target& Where) {
    XorrisoSession Session(QuietReport(), Where.Describe());
    if (!Session.Run({"-outdev", Where.Path})) {
        throw RecorderFailure(ExitCode::Target,
                              FailureCaseOf(Session.LibraryProblems(), ExitCode::Target),
                              Where.Describe() + ": not a drive that can write discs, or busy: " +
                                  Session.Problems(ExitCode::Target));
    }
    Session.Require({"-toc"}, ExitCode::Target);
    const TocSummary Toc = ReadToc(Session);
    DiscAnswer Answer;
    Answer.Medium = Toc.MediumName;
    if (Toc.Status.find("is not present") != std::string::npos) {
        Answer.State = "no disc";
        return Answer;
    }
    Answer.State = Toc.Status.find("is blank") != std::string::npos        ? "blank"
                   : Toc.Status.find("is appendable") != std::string::npos ? "appendable"
                   : Toc.Status.find("is closed") != std::string::npos     ? "closed"
                                                                           : "not a disc";
    Answer.Sessions = Toc.Sessions;
    Answer.Label = Toc.Label;
    Answer.UsedBytes = Toc.DataBlocks.value_or(0) * DataBlockBytes;
    if (Answer.State != "closed" && Session.Run({"-tell_media_space"})) {
        Answer.FreeBytes = BlocksIn(Session.Results(), "Media space").value_or(0) * DataBlockBytes;
    }
    return Answer;
}

} // namespace

int AnswerDiscInfo(const Request& Ask) {
    const Target Where = ResolveTarget(Ask.DriveLetter);
    if (Where.RealDrive) {
        const Medium Held(Where, MediumUse::Look);
        Print(RealDisc(Where));
    } else {
        Print(VirtualDisc(Where));
    }
    return std::fflush(stdout) == 0 ? 0 : static_cast<int>(ExitCode::Write);
}

} // namespace Recorder
