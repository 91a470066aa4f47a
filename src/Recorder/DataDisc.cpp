// A data disc: ISO 9660 level 3 with Rock Ridge and Joliet, file checksums recorded, written as a
// new disc or as one more session that continues an earlier one.
#include "DataDisc.hpp"

#include "DiscTexts.hpp"
#include "FileDescriptor.hpp"
#include "LibraryWords.hpp"
#include "ReadMeter.hpp"
#include "RecorderFailure.hpp"
#include "TestHooks.hpp"

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
// that refused to write it at once gets it track at once (see Disc::TrackAtOnceInstead).
std::optional<std::string> CommitSession(const WriteContext& Context, XorrisoSession& Session,
                                         const DataDiscPlan& Plan) {
    const std::string File = Context.Disc.CommitFile(Plan.NewDisc);
    if (Session.Commit(File)) {
        return std::nullopt;
    }
    std::string Problems = Session.LibraryProblems();
    if (!Plan.NewDisc || !Context.Disc.TrackAtOnceInstead(Context.Ask, Context.Report) ||
        !Session.Run({"-write_type", "tao"})) {
        return Problems;
    }
    if (Session.Commit(File)) {
        return std::nullopt;
    }
    return Session.LibraryProblems();
}

} // namespace

void VerifyDataDisc(const WriteContext& Context, const DataDiscPlan& Plan,
                    const std::string& Written) {
    const Target& Where = Context.Where;
    TestHooks::CorruptWritten(Written);
    // The checksums read every file of the disc once; the comparison reads the session's sources
    // and compares their checksums with those recorded.
    const std::uint64_t Before = Plan.NextAddress * DataBlockBytes;
    const std::uint64_t DiscBytes = Context.Disc.WrittenBytes(Written).value_or(
        Before + Plan.AtMost.value_or(0) * DataBlockBytes);
    const std::uint64_t SessionBytes = DiscBytes > Before ? DiscBytes - Before : 0;
    Context.Report.Begin("verifying", DiscBytes + SessionBytes);
    ReadMeter Meter(Context.Report, DiscBytes + SessionBytes);
    XorrisoSession& Check = Context.Disc.ReadBack(Context.Report, Written, false);
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
    Disc& Onto = Context.Disc;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    DataDiscPlan Plan = PlanDataDisc(Context);
    XorrisoSession& Session = Onto.Session(Report);
    Plan.AtMost = CheckDataFit(Context, Session, Plan);
    Report.End();

    if (Ask.CloseSession) {
        Onto.SayOfFile(Report,
                       Onto.Describe() +
                           " is a virtual disc, which cannot be closed: it stays appendable");
    }
    // The session's size as the fit found it: exact when it was measured, else its bound.
    const std::uint64_t SessionBytes = Plan.AtMost.value_or(0) * DataBlockBytes;
    Report.Begin("writing", SessionBytes);
    Session.ExpectWriting(SessionBytes);
    TestHooks::BeforeWrite();
    if (const auto Problems = CommitSession(Context, Session, Plan)) {
        const ExitCode Kind = EntryUnreadable(*Problems) ? ExitCode::Source : ExitCode::Write;
        throw RecorderFailure(Kind, FailureCaseOf(*Problems, Kind),
                              Onto.Describe() + ": " + RecorderReason(*Problems, Kind));
    }
    // libisofs pads a file that shrank while it was read with zeros: such a disc is not the
    // user's data, and the run fails before the disc is put in place.
    if (const auto Changed = Plan.Stamps.FirstChanged()) {
        throw RecorderFailure(ExitCode::Source, FailureKind::SourceChanged,
                              "entry " + *Changed +
                                  ": changed while it was written; the disc was left as it was");
    }
    Report.End();

    if (Ask.Verify) {
        VerifyDataDisc(Context, Plan, Onto.WrittenFile(Plan.NewDisc));
    }
    // The session leaves a drive's tray shut.
    Onto.Complete(Ask, Plan.NewDisc, true);
    const std::size_t Entries = Plan.Sources.size();
    Report.Say("wrote " + std::to_string(Entries) + (Entries == 1 ? " entry" : " entries") +
               " to " + Onto.Describe() + (Plan.NewDisc ? " as a new disc" : " as a new session"));
}

} // namespace Recorder
