// What the recorder tells programs, beside its lines for a person: the case a failed run is, as
// the last line of standard output ("failure KEY"), and the bytes in the progress lines.
#include "RecorderSupport.hpp"
#include "TestFiles.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

enum class DiscBefore { Missing, Data, Document, DvdVideo };
// What holds the run back: another run holding the disc, a file-size limit below the disc's.
enum class Around { Nothing, Held, FileLimit };

struct FailureCase {
    const char* Key;
    int Exit;
    DiscBefore Disc;
    Strings Arguments; // "@entry" is the entry file, "@disc" the disc itself
    const char* Said;  // words of the error line on standard error
    Strings Environment = {};
    Around Condition = Around::Nothing;
};

// A burn onto drive E, with More after the label and Before ahead of the command.
Strings Burn(const Strings& More, const Strings& Before = {}) {
    Strings All = Before;
    const Strings Command{"--write", "--drivename", "E",     "--real", "--recursive",
                          "--speed", "4",           "--iso", "KEYS"};
    All.insert(All.end(), Command.begin(), Command.end());
    All.insert(All.end(), More.begin(), More.end());
    return All;
}

class RecorderFailureKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string Missing = MissingPrograms({"xorriso", "genisoimage"});
            !Missing.empty()) {
            GTEST_SKIP() << "missing: " << Missing;
        }
    }

    void Prepare(DiscBefore Kind) const {
        std::filesystem::remove(FDisc);
        if (Kind == DiscBefore::Data) {
            const auto Made =
                RunRecorder(DataDisc("FIRST", {}, {FEntry.string()}), RecorderEnvironment(FDisc));
            ASSERT_EQ(Made.ExitCode, 0) << Made.Err;
        } else if (Kind == DiscBefore::Document) {
            FDir.Write("disc.iso", "a letter mapped by mistake, not a disc");
        } else if (Kind == DiscBefore::DvdVideo) {
            FDir.Write("dvd/VIDEO_TS/VIDEO_TS.IFO", "ifo");
            const auto Made = RunReader({"genisoimage", "-quiet", "-udf", "-V", "MOVIE", "-o",
                                         FDisc.string(), (FDir.Path() / "dvd").string()});
            ASSERT_EQ(Made.ExitCode, 0) << Made.Err;
        }
    }

    QueltTest::ProcessOutcome Run(const FailureCase& Row) const {
        Strings Argv{"/bin/sh", "-c",
                     Row.Condition == Around::FileLimit ? R"(ulimit -f 2048; exec "$0" "$@")"
                                                        : R"(exec "$0" "$@")",
                     RecorderPath};
        for (const std::string& Argument : Row.Arguments) {
            Argv.push_back(Argument == "@entry"  ? FEntry.string()
                           : Argument == "@disc" ? FDisc.string()
                                                 : Argument);
        }
        const int Holder =
            Row.Condition == Around::Held ? ::open(FDisc.c_str(), O_RDONLY | O_CLOEXEC) : -1;
        EXPECT_TRUE(Holder < 0 || ::flock(Holder, LOCK_EX | LOCK_NB) == 0);
        auto Outcome = QueltTest::RunProgram(Argv, RecorderEnvironment(FDisc, Row.Environment));
        if (Holder >= 0) {
            ::close(Holder);
        }
        return Outcome;
    }

    // The run's exit code, its error line as before, and exactly one "failure KEY" line, the last
    // on standard output.
    void ExpectCases(const std::vector<FailureCase>& Rows) const {
        for (const FailureCase& Row : Rows) {
            SCOPED_TRACE(std::string(Row.Key) + ": " + Row.Said);
            Prepare(Row.Disc);
            const auto Outcome = Run(Row);
            const std::string Line = "failure " + std::string(Row.Key);
            EXPECT_EQ(Outcome.ExitCode, Row.Exit) << Outcome.Out << Outcome.Err;
            EXPECT_NE(Outcome.Err.find(Row.Said), std::string::npos) << Outcome.Err;
            EXPECT_EQ(LinesStartingWith(Outcome.Err, "recorder: ").size(), 1U) << Outcome.Err;
            EXPECT_EQ(LinesStartingWith(Outcome.Out, "failure"), Strings{Line}) << Outcome.Out;
            EXPECT_EQ(LastLine(Outcome.Out), Line) << Outcome.Out;
        }
    }

    TempDir FDir;
    fs::path FDisc = FDir.Path() / "disc.iso";
    fs::path FEntry = FDir.Write("in/entry.txt", "FAILUREKEYMARK and the rest of the entry");
};

// The command line, the target and the medium, for a burn, an erase, and both questions.
TEST_F(RecorderFailureKeys, TargetAndMediumCasesAreNamed) {
    const Strings OntoZ{"--write", "--drivename", "Z",     "--real", "--recursive",
                        "--speed", "4",           "--iso", "K",      "@entry"};
    const Strings Import{"--import", "0", "@entry"};
    const Strings Info{"--disc_info", "--drivename", "E"};
    ExpectCases({
        {"command_line", 2, DiscBefore::Missing, {"--write", "--bogus"}, "--bogus"},
        {"not_a_drive", 3, DiscBefore::Missing, {"--disc_info", "--drivename", "Z"}, "drive Z"},
        {"not_a_drive", 3, DiscBefore::Missing, OntoZ, "drive Z"},
        {"drive_busy", 3, DiscBefore::Data, Burn(Import), "another run", {}, Around::Held},
        {"drive_busy", 3, DiscBefore::Data, Info, "another run", {}, Around::Held},
        {"not_a_disc", 3, DiscBefore::Document, {"--erase", "--drivename", "E"}, "not a disc"},
        {"not_a_disc", 3, DiscBefore::Document, Burn({"@entry"}), "not a disc"},
        {"not_blank", 4, DiscBefore::Data, Burn({"@entry"}), "holds data"},
        {"not_blank", 4, DiscBefore::Data, Burn({"@entry"}, {"--estimate"}), "holds data"},
        {"not_blank", 4, DiscBefore::Data,
         Burn({"--import", "0", "--detect_non_empty_disk", "@entry"}), "not blank"},
        {"closed", 4, DiscBefore::DvdVideo, Burn(Import), "closed"},
        {"no_such_session", 4, DiscBefore::Data, Burn({"--import", "5", "@entry"}), "session 5"},
    });
}

// The fit, the sources, the write, the verify and what the recorder cannot answer.
TEST_F(RecorderFailureKeys, SourceWriteAndVerifyCasesAreNamed) {
    // Grows the entry once the session is laid out, before its data is read.
    const std::string Grow =
        FDir.Write("grow.sh", "#!/bin/sh\necho more >> '" + FEntry.string() + "'\n", true);
    // Stops the recorder itself, the parent of the worker that runs this hook.
    const std::string Stop = FDir.Write(
        "stop.sh", "#!/bin/sh\nread -r _ _ _ R _ < /proc/$PPID/stat\nkill -TERM \"$R\"\n", true);
    const std::string Big = FDir.Path() / "big.bin";
    MakeSparseFile(Big, 800ULL << 20U, "big");
    const std::string Large = FDir.Path() / "large.bin";
    MakeSparseFile(Large, 8ULL << 20U, "large");
    const Strings Import{"--import", "0", "@entry"};
    const Strings VideoCd{"--estimate", "--write",     "--drivename", "E", "--real",
                          "--videocd",  "--recursive", "--speed",     "4", "@entry"};
    ExpectCases({
        {"does_not_fit", 5, DiscBefore::Missing, Burn({Big}), "free"},
        {"source_unreadable", 6, DiscBefore::Missing, Burn({"/nonexistent/a"}), "/nonexistent/a"},
        {"source_changed",
         6,
         DiscBefore::Data,
         Burn(Import),
         "changed while it was written",
         {"QUELT_RECORDER_TEST_BEFORE_WRITE=" + Grow}},
        {"nothing_to_write", 6, DiscBefore::Data, Burn({"--import", "0", "@disc"}), "nothing to"},
        {"write_failed",
         7,
         DiscBefore::Missing,
         Burn({Large}),
         "no file this large",
         {},
         Around::FileLimit},
        {"stopped",
         7,
         DiscBefore::Data,
         Burn(Import),
         "stopped by a signal",
         {"QUELT_RECORDER_TEST_BEFORE_WRITE=" + Stop}},
        {"verify_failed",
         8,
         DiscBefore::Missing,
         Burn({"--verify", "@entry"}),
         "MISMATCH",
         {"QUELT_RECORDER_TEST_CORRUPT=FAILUREKEYMARK"}},
        {"not_available", 9, DiscBefore::Missing, VideoCd, "cannot estimate"},
    });
}

// A standard output that cannot take the line (a full device, a reader gone) leaves the run's
// exit code and its error line as they are.
TEST(RecorderFailureLine, AnUnwritableOutputKeepsTheExitCode) {
    for (const char* Shell : {R"("$0" "$@" > /dev/full; echo "exit $?" >&2)",
                              R"({ sleep 0.3; "$0" "$@"; echo "exit $?" >&2; } | true)"}) {
        SCOPED_TRACE(Shell);
        const auto Outcome = QueltTest::RunProgram(
            {"/bin/sh", "-c", Shell, RecorderPath, "--disc_info", "--drivename", "Z"},
            RecorderEnvironment("/nonexistent/disc.iso"));
        EXPECT_NE(Outcome.Err.find("recorder: drive Z"), std::string::npos) << Outcome.Err;
        EXPECT_NE(Outcome.Err.find("exit 3\n"), std::string::npos) << Outcome.Err;
    }
}

struct ByteLine {
    double Percent = 0;
    std::uint64_t Done = 0;
    std::uint64_t Total = 0;
};

// The progress lines of Phase with their bytes; fails the test for a line of it without them.
std::vector<ByteLine> ByteLinesOf(const std::string& Out, const std::string& Phase) {
    std::vector<ByteLine> Lines;
    for (const std::string& Line : LinesStartingWith(Out, "progress " + Phase + " ")) {
        std::istringstream Fields(Line.substr(10 + Phase.size()));
        ByteLine Read;
        EXPECT_TRUE(Fields >> Read.Percent >> Read.Done >> Read.Total) << Line;
        Lines.push_back(Read);
    }
    return Lines;
}

// A data disc written and verified: both phases count bytes, never back, never past their total,
// all of it at their end; the preparing phase, which counts entries, keeps the short form.
TEST(RecorderProgressBytes, WritingAndVerifyingCarryTheirBytes) {
    if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const fs::path Entry = Dir.Path() / "data.bin";
    constexpr std::uint64_t EntryBytes = 48ULL << 20U;
    MakeSparseFile(Entry, EntryBytes, "bytes");
    const auto Outcome =
        RunRecorder(DataDisc("BYTES", {"--verify"}, {Entry.string()}), RecorderEnvironment(Disc));
    ASSERT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    EXPECT_EQ(LinesStartingWith(Outcome.Out, "failure"), Strings{});
    for (const std::string& Line : LinesStartingWith(Outcome.Out, "progress preparing ")) {
        EXPECT_EQ(std::count(Line.begin(), Line.end(), ' '), 2) << Line;
    }
    for (const char* Phase : {"writing", "verifying"}) {
        SCOPED_TRACE(Phase);
        const std::vector<ByteLine> Lines = ByteLinesOf(Outcome.Out, Phase);
        ASSERT_GE(Lines.size(), 2U) << Outcome.Out;
        // A phase's total is the work it does: at least the entry's bytes.
        EXPECT_GE(Lines.front().Total, EntryBytes);
        for (std::size_t Index = 0; Index < Lines.size(); ++Index) {
            EXPECT_EQ(Lines[Index].Total, Lines.front().Total);
            EXPECT_LE(Lines[Index].Done, Lines[Index].Total);
            if (Index > 0) {
                EXPECT_GE(Lines[Index].Done, Lines[Index - 1].Done);
                EXPECT_GE(Lines[Index].Percent, Lines[Index - 1].Percent);
            }
        }
        EXPECT_EQ(Lines.back().Percent, 100.0);
        EXPECT_EQ(Lines.back().Done, Lines.back().Total);
    }
}

} // namespace
