// A data disc: ISO 9660 level 3 with Rock Ridge and Joliet, file checksums recorded, written as a
// new disc or as one more session that continues an earlier one.
#include "DataDisc.hpp"

#include "DiscTexts.hpp"
#include "FileDescriptor.hpp"
#include "LibraryWords.hpp"
#include "ReadMeter.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"
#include "TestHooks.hpp"
#include "WholeDisc.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace Recorder {

namespace {

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

// Writes the session: none when it was written, else the libraries' problems. A real drive
// that refused to write it at once gets it track at once (see TrackAtOnceInstead).
std::optional<std::string> CommitSession(const WriteContext& Context, XorrisoSession& Disc,
                                         const DataDiscPlan& Plan, const std::string& VirtualDisc) {
    if (Disc.Commit(VirtualDisc)) {
        return std::nullopt;
    }
    std::string Problems = Disc.LibraryProblems();
    if (!Plan.NewDisc || !TrackAtOnceInstead(Disc, Context) || !Disc.Run({"-write_type", "tao"})) {
        return Problems;
    }
    if (Disc.Commit(VirtualDisc)) {
        return std::nullopt;
    }
    return Disc.LibraryProblems();
}

} // namespace

void VerifyDataDisc(const WriteContext& Context, const DataDiscPlan& Plan,
                    const std::string& Written, XorrisoSession& Writer) {
    const Target& Where = Context.Where;
    TestHooks::CorruptWritten(Written);
    // The checksums read every file of the disc once; the comparison reads the session's sources
    // and compares their checksums with those recorded.
    const std::uint64_t Before = Plan.NextAddress * DataBlockBytes;
    std::uint64_t DiscBytes = Before + Plan.AtMost.value_or(0) * DataBlockBytes;
    if (struct stat Info{}; !Where.RealDrive && ::stat(Written.c_str(), &Info) == 0) {
        DiscBytes = static_cast<std::uint64_t>(Info.st_size);
    }
    const std::uint64_t SessionBytes = DiscBytes > Before ? DiscBytes - Before : 0;
    Context.Report.Begin("verifying", DiscBytes + SessionBytes);
    ReadMeter Meter(Context.Report, DiscBytes + SessionBytes);
    // A real drive is read back through the session that wrote it: libburn lets a process hold a
    // drive once, the writing session still holds it (so no other program takes it between the
    // write and its check), and after the write it has loaded the new disc's tree from the drive.
    // A virtual disc is read from the file written, by a session of its own.
    std::optional<XorrisoSession> Reader;
    if (!Where.RealDrive) {
        Reader.emplace(Context.Report, Where.Describe());
        if (!Reader->Run({"-indev", "stdio:" + Written})) {
            throw RecorderFailure(ExitCode::Verify,
                                  Where.Describe() + ": " + std::string(NotReadBackReason()));
        }
    }
    XorrisoSession& Check = Reader ? *Reader : Writer;
    const ScopedTick Ticking(Check, [&Meter] { Meter.Tick(); });
    if (!Check.Run({"-check_md5_r", "SORRY", "/", "--"})) {
        // The results name the files whose checksums differ.
        std::string Mismatches;
        for (const std::string& Line : Check.Results()) {
            if (Line.find("MISMATCH") != std::string::npos) {
                Mismatches += (Mismatches.empty() ? "" : "; ") + Line;
            }
        }
        throw RecorderFailure(
            ExitCode::Verify,
            Where.Describe() + ": " +
                (Mismatches.empty() ? std::string(NotReadBackReason()) : Mismatches));
    }
    for (const Source& Entry : Plan.Sources) {
        Check.Require({"-compare_r", Entry.Path, "/" + Entry.Name}, ExitCode::Verify);
        // A difference is a result, not a problem event: the report names the file.
        for (const std::string& Line : Check.Results()) {
            if (Line.find(" : ") != std::string::npos &&
                Line.find("differs") != std::string::npos) {
                throw RecorderFailure(ExitCode::Verify, Where.Describe() + ": " + Line);
            }
        }
    }
    Context.Report.End();
}

void WriteDataDisc(const WriteContext& Context) {
    const Request& Ask = Context.Ask;
    const Target& Where = Context.Where;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    XorrisoSession Disc(Report, Where.Describe());
    DataDiscPlan Plan = PlanDataDisc(Context, Disc);
    Plan.AtMost = CheckDataFit(Context, Disc, Plan);
    Report.End();

    if (Ask.CloseSession && !Where.RealDrive) {
        Report.Say(Where.Describe() +
                   " is a virtual disc, which cannot be closed: it stays appendable");
    }
    // The session's size as the fit found it: exact when it was measured, else its bound.
    const std::uint64_t SessionBytes = Plan.AtMost.value_or(0) * DataBlockBytes;
    Report.Begin("writing", SessionBytes);
    Disc.ExpectWriting(SessionBytes);
    TestHooks::BeforeWrite();
    // A new virtual disc is written to its scratch file, a continued one in place.
    const std::string VirtualDisc =
        Where.RealDrive ? std::string() : (Plan.NewDisc ? Context.Scratch : Where.Path);
    if (const auto Problems = CommitSession(Context, Disc, Plan, VirtualDisc)) {
        const ExitCode Kind = EntryUnreadable(*Problems) ? ExitCode::Source : ExitCode::Write;
        throw RecorderFailure(Kind, FailureCaseOf(*Problems, Kind),
                              Where.Describe() + ": " + RecorderReason(*Problems, Kind));
    }
    // libisofs pads a file that shrank while it was read with zeros: such a disc is not the
    // user's data, and the run fails before the disc is put in place.
    if (const auto Changed = Plan.Stamps.FirstChanged()) {
        throw RecorderFailure(ExitCode::Source, FailureKind::SourceChanged,
                              "entry " + *Changed +
                                  ": changed while it was written; the disc was left as it was");
    }
    Report.End();

    const std::string Written = Plan.NewDisc && !Where.RealDrive ? Context.Scratch : Where.Path;
    if (Ask.Verify) {
        VerifyDataDisc(Context, Plan, Written, Disc);
    }
    if (Plan.NewDisc && !Where.RealDrive) {
        PutInPlace(Context);
    }
    if (Where.RealDrive && !Ask.DisableEject) {
        Disc.Require({"-eject", "all"}, ExitCode::Write);
    }
    const std::size_t Entries = Plan.Sources.size();
    Report.Say("wrote " + std::to_string(Entries) + (Entries == 1 ? " entry" : " entries") +
               " to " + Where.Describe() + (Plan.NewDisc ? " as a new disc" : " as a new session"));
}

} // namespace Recorder
