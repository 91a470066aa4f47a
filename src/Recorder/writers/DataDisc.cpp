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

namespace {

class DataDiscSteps final : public WriteSteps {
public:
    using WriteSteps::WriteSteps;

    std::optional<Acquiring> How() const override { return DataDiscAcquiring(FContext.Ask); }
    void CheckSources(const MediumState& State) override { FPlan = PlanDataDisc(FContext, State); }
    void CheckFit(const MediumState& /*State*/) override {
        FPlan.AtMost = CheckDataFit(FContext, FContext.Disc.Session(FContext.Report), FPlan);
    }
    // The plan found why the medium refuses the write, if it does; the fit came first.
    void CheckMedium(const MediumState& /*State*/) override {
        if (FPlan.Refusal) {
            throw RecorderFailure(*FPlan.Refusal);
        }
    }
    void Write(const MediumState& State) override;
    void Verify() override {
        if (FContext.Ask.Verify) {
            VerifyDataDisc(FContext, FPlan, FContext.Disc.WrittenFile(FPlan.NewDisc));
        }
    }
    void Finish() override {
        // The session leaves a drive's tray shut.
        FContext.Disc.Complete(FContext.Ask, FPlan.NewDisc, true);
        const std::size_t Entries = FPlan.Sources.size();
        FContext.Report.Say(
            "wrote " + std::to_string(Entries) + (Entries == 1 ? " entry" : " entries") + " to " +
            FContext.Disc.Describe() + (FPlan.NewDisc ? " as a new disc" : " as a new session"));
    }

private:
    DataDiscPlan FPlan;
};

void DataDiscSteps::Write(const MediumState& /*State*/) {
    const Request& Ask = FContext.Ask;
    Disc& Onto = FContext.Disc;
    Progress& Report = FContext.Report;
    XorrisoSession& Session = Onto.Session(Report);
    if (Ask.CloseSession) {
        Onto.SayOfFile(Report,
                       Onto.Describe() +
                           " is a virtual disc, which cannot be closed: it stays appendable");
    }
    // The session's size as the fit found it: exact when it was measured, else its bound.
    const std::uint64_t SessionBytes = FPlan.AtMost.value_or(0) * DataBlockBytes;
    Report.Begin("writing", SessionBytes);
    Session.ExpectWriting(SessionBytes);
    TestHooks::BeforeWrite();
    if (const auto Problems = CommitSession(FContext, Session, FPlan)) {
        const ExitCode Kind = EntryUnreadable(*Problems) ? ExitCode::Source : ExitCode::Write;
        throw RecorderFailure(Kind, FailureCaseOf(*Problems, Kind),
                              Onto.Describe() + ": " + RecorderReason(*Problems, Kind));
    }
    // libisofs pads a file that shrank while it was read with zeros: such a disc is not the
    // user's data, and the run fails before the disc is put in place.
    if (const auto Changed = FPlan.Stamps.FirstChanged()) {
        throw RecorderFailure(ExitCode::Source, FailureKind::SourceChanged,
                              "entry " + *Changed +
                                  ": changed while it was written; the disc was left as it was");
    }
    Report.End();
}

} // namespace

std::unique_ptr<WriteSteps> WriteDataDisc(const WriteContext& Context) {
    return std::make_unique<DataDiscSteps>(Context);
}

} // namespace Recorder
