#include "XorrisoSession.hpp"

#include "ChecksumWorkers.hpp"
#include "DiscGeometry.hpp"
#include "LibraryWords.hpp"
#include "RecorderFailure.hpp"
#include "WriteHandover.hpp"
#include "WritingThreads.hpp"

#include <libisoburn/xorriso.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace Recorder {

namespace {

// A command's argument vector as the interpreter takes it: mutable C strings.
class ArgumentVector {
public:
    explicit ArgumentVector(std::vector<std::string> Command) : FCopies(std::move(Command)) {
        for (std::string& Item : FCopies) {
            FPointers.push_back(Item.data());
        }
        FPointers.push_back(nullptr);
    }
    int Count() const noexcept { return static_cast<int>(FCopies.size()); }
    char** Data() noexcept { return FPointers.data(); }

private:
    std::vector<std::string> FCopies;
    std::vector<char*> FPointers;
};

bool IsProblem(std::string_view Severity) {
    return Severity == "SORRY" || Severity == "MISHAP" || Severity == "FAILURE" ||
           Severity == "FATAL" || Severity == "ABORT";
}

bool IsSeverityWord(std::string_view Word) {
    return !Word.empty() && Word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == Word.npos;
}

// "xorriso : FAILURE : Cannot ..." -> "Cannot ...", and likewise the messages the libraries queue
// through the interpreter ("libisofs: MISHAP : File ...", "libburn : SORRY : ..."); the severity is
// returned apart. A line of another form is a plain text without severity.
std::string_view SeverityOf(std::string_view Line, std::string_view& Rest) {
    Rest = Line;
    const std::size_t SourceEnd = Line.find(':');
    if (SourceEnd == std::string_view::npos) {
        return {};
    }
    std::string_view Source = Line.substr(0, SourceEnd);
    while (!Source.empty() && Source.back() == ' ') {
        Source.remove_suffix(1);
    }
    if (Source.empty() || Source.find_first_of(" '\"") != std::string_view::npos) {
        return {};
    }
    std::string_view After = Line.substr(SourceEnd + 1);
    while (!After.empty() && After.front() == ' ') {
        After.remove_prefix(1);
    }
    const std::size_t SeverityEnd = After.find(" : ");
    if (SeverityEnd == std::string_view::npos || !IsSeverityWord(After.substr(0, SeverityEnd))) {
        return {};
    }
    Rest = After.substr(SeverityEnd + 3);
    return After.substr(0, SeverityEnd);
}

std::string_view WithoutLineEnd(std::string_view Text) {
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) {
        Text.remove_suffix(1);
    }
    return Text;
}

// "Writing:  27467s   17.9%   fifo ..." -> 17.9 and 27467 (sectors written)
bool WritingPercent(std::string_view Text, double& Percent, std::uint64_t& Sectors) {
    const std::size_t At = Text.find("Writing:");
    const std::size_t Sign = Text.find('%', At == std::string_view::npos ? 0 : At);
    if (At == std::string_view::npos || Sign == std::string_view::npos) {
        return false;
    }
    std::size_t Start = Sign;
    while (Start > 0 &&
           (Text[Start - 1] == '.' || (Text[Start - 1] >= '0' && Text[Start - 1] <= '9'))) {
        --Start;
    }
    if (Start == Sign) {
        return false;
    }
    Percent = std::strtod(std::string(Text.substr(Start, Sign - Start)).c_str(), nullptr);
    const std::size_t First = std::min(Text.find_first_not_of(' ', At + 8), Start);
    Sectors = 0;
    (void)std::from_chars(Text.data() + First, Text.data() + Start, Sectors);
    return true;
}

// "   36200 files added in 1 seconds" -> 36200
bool FilesAddedIn(std::string_view Text, std::uint64_t& Added) {
    const std::size_t At = Text.find(" files added");
    if (At == std::string_view::npos) {
        return false;
    }
    std::string_view Number = Text.substr(0, At);
    while (!Number.empty() && Number.front() == ' ') {
        Number.remove_prefix(1);
    }
    const auto [End, Error] = std::from_chars(Number.data(), Number.data() + Number.size(), Added);
    return Error == std::errc() && End == Number.data() + Number.size();
}

// Messages taken from the session's lists, handed over one by one and freed.
template <typename Handler>
void ForEachMessage(Xorriso_lsT* List, Handler&& Handle) {
    for (Xorriso_lsT* Item = List; Item != nullptr; Item = Xorriso_lst_get_next(Item, 0)) {
        Handle(std::string_view(Xorriso_lst_get_text(Item, 0)));
    }
    Xorriso_lst_destroy_all(&List, 0);
}

constexpr auto WatchInterval = std::chrono::milliseconds(100);

} // namespace

XorrisoSession::XorrisoSession(Progress& Report, std::string Subject)
    : FReport(Report), FSubject(std::move(Subject)) {
    RequireLibraryChecksums();
    RequireLibraryWrite();
    char Name[] = "xorriso";
    if (Xorriso_new(&FXorriso, Name, 0) <= 0) {
        throw RecorderFailure(ExitCode::Write, "cannot start libisoburn");
    }
    // The recorder handles signals itself (its worker is ended from outside); libburn's handler
    // would end the worker with an exit code of its own instead.
    char Program[] = "xorriso";
    char Command[] = "-signal_handling";
    char Off[] = "off";
    std::array<char*, 4> Prescan{Program, Command, Off, nullptr};
    Xorriso_prescan_args(FXorriso, 3, Prescan.data(), 0);
    if (Xorriso_startup_libraries(FXorriso, 0) <= 0 ||
        Xorriso_push_outlists(FXorriso, &FStack, 0) <= 0) {
        Xorriso_destroy(&FXorriso, 0);
        throw RecorderFailure(ExitCode::Write, "cannot start libisoburn, libisofs and libburn");
    }
    FWatcher = std::thread([this] { Watch(); });
    // Every problem is judged by the caller; the interpreter never ends the program.
    for (const auto& Setting : std::vector<std::vector<std::string>>{
             // Names reach the recorder as the UTF-8 the component composes (or as whatever
             // bytes a file's name holds), whatever the caller's locale: without this, a C locale
             // turns every non-ASCII character of a Joliet name into "_".
             {"-local_charset", "UTF-8"},
             {"-abort_on", "NEVER"},
             {"-report_about", "UPDATE"},
             {"-return_with", "FATAL", "0"},
             // A report four times a second, so that the writing phase moves every half second.
             {"-pacifier", "xorriso"},
             {"-pacifier", "interval=0.25"},
             // Checksums are recorded by every write and loaded with every image, so that
             // sessions that continue a disc keep those of the files they take over.
             {"-md5", "on"},
             // A virtual disc gets its one fsync from Commit, when the session is complete, so
             // nothing is reported done before it is on disk; libburn's default rhythm (every
             // 16 MiB) costs a virtual disc several times.
             {"-stdio_sync", "off"},
             // Rock Ridge names are written, and loaded images read back, as UTF-8 too: the same
             // charset as the local one, so libisofs converts no Rock Ridge name and one that is
             // not UTF-8 keeps its bytes (see JolietNames.hpp for the Joliet tree).
             {"-charset", "UTF-8"},
             // A path in the disc's tree is a name, never a pattern: an entry named "*" that
             // replaces its namesake removes that one only.
             {"-iso_rr_pattern", "off"},
         }) {
        Run(Setting);
    }
}

XorrisoSession::~XorrisoSession() {
    {
        const std::lock_guard Lock(FMutex);
        FStopping = true;
    }
    FWake.notify_all();
    FWatcher.join();
    Xorriso_lsT* Results = nullptr;
    Xorriso_lsT* Infos = nullptr;
    Xorriso_pull_outlists(FXorriso, FStack, &Results, &Infos, 0);
    Xorriso_lst_destroy_all(&Results, 0);
    Xorriso_lst_destroy_all(&Infos, 0);
    // No global shutdown: the libraries stay up for the next session (or the process's end), and
    // shutting them down under a session that is still alive would pull them away from it.
    Xorriso_destroy(&FXorriso, 0);
}

bool XorrisoSession::Run(const std::vector<std::string>& Command) {
    // The commands that hand a write (or a blanking) to libburn, which waits for ever for a
    // writing thread that could not start.
    if (!Command.empty() && (Command[0] == "-commit" || Command[0] == "-commit_eject" ||
                             Command[0] == "-as" || Command[0] == "-blank")) {
        RequireWritingThreads(FSubject);
    }
    {
        const std::lock_guard Lock(FMutex);
        FResults.clear();
        FProblems.clear();
    }
    FFilesAdded = 0;
    char NoProblem[] = "";
    Xorriso_set_problem_status(FXorriso, NoProblem, 0);
    ArgumentVector Argv(Command);
    int Index = 0;
    const int Outcome = Xorriso_interpreter(FXorriso, Argv.Count(), Argv.Data(), &Index, 4);
    Xorriso_eval_problem_status(FXorriso, Outcome, 1);
    char Severity[80] = {};
    Xorriso_get_problem_status(FXorriso, Severity, 0);
    const std::lock_guard Lock(FMutex);
    // The command has returned: everything it reported is in the lists now. What it added is
    // the caller's to count from here.
    TakeMessages();
    FFilesAdded = 0;
    return Outcome > 0 && !IsProblem(Severity) && FProblems.empty();
}

void XorrisoSession::Require(const std::vector<std::string>& Command, ExitCode Failure) {
    if (!Run(Command)) {
        const std::string Library = LibraryProblems();
        const ExitCode Kind = RanOut(Library) ? ExitCode::Write : Failure;
        throw RecorderFailure(Kind, FailureCaseOf(Library, Kind), FSubject + ": " + Problems(Kind));
    }
}

bool XorrisoSession::Commit(const std::string& VirtualDisc) {
    // A virtual disc is not loaded again after the write (the tree read back would cost as much
    // as a second walk of the entries): nothing after the write uses this session's view of it.
    const bool Written =
        Run(VirtualDisc.empty() ? std::vector<std::string>{"-commit"}
                                : std::vector<std::string>{"-commit_eject", "none"});
    FReport.Enter("closing");
    if (!Written || VirtualDisc.empty()) {
        return Written;
    }
    const int File = ::open(VirtualDisc.c_str(), O_RDONLY | O_CLOEXEC);
    const bool Synced = File >= 0 && ::fsync(File) == 0;
    if (File >= 0) {
        ::close(File);
    }
    if (!Synced) {
        const std::lock_guard Lock(FMutex);
        FProblems.emplace_back("cannot sync the written session to the disc's file");
    }
    return Synced;
}

void XorrisoSession::ExpectWriting(std::uint64_t Bytes) {
    const std::lock_guard Lock(FMutex);
    FWritingBytes = Bytes;
}

void XorrisoSession::WhileRunning(std::function<void()> Tick) {
    const std::lock_guard Lock(FMutex);
    FTick = std::move(Tick);
}

std::vector<std::string> XorrisoSession::Results() const {
    const std::lock_guard Lock(FMutex);
    return FResults;
}

std::string XorrisoSession::Problems(ExitCode Kind) const {
    return RecorderReason(LibraryProblems(), Kind);
}

std::string XorrisoSession::LibraryProblems() const {
    const std::lock_guard Lock(FMutex);
    std::string Text;
    for (const std::string& Problem : FProblems) {
        if (!Text.empty()) {
            Text += "; ";
        }
        Text += Problem;
    }
    return Text;
}

void XorrisoSession::Watch() {
    std::unique_lock Lock(FMutex);
    while (!FWake.wait_for(Lock, WatchInterval, [this] { return FStopping; })) {
        TakeMessages();
        if (FTick) {
            FTick();
        }
    }
}

// With FMutex held.
void XorrisoSession::TakeMessages() {
    Xorriso_lsT* Results = nullptr;
    Xorriso_lsT* Infos = nullptr;
    if (Xorriso_fetch_outlists(FXorriso, FStack, &Results, &Infos, 0) <= 0) {
        return;
    }
    ForEachMessage(Results,
                   [this](std::string_view Text) { FResults.emplace_back(WithoutLineEnd(Text)); });
    ForEachMessage(Infos, [this](std::string_view Text) { TakeInfo(Text); });
}

// With FMutex held.
void XorrisoSession::TakeInfo(std::string_view Text) {
    std::string_view Rest;
    const std::string_view Severity = SeverityOf(WithoutLineEnd(Text), Rest);
    double Percent = 0;
    std::uint64_t Added = 0;
    std::uint64_t Sectors = 0;
    if (Severity == "UPDATE" && WritingPercent(Rest, Percent, Sectors)) {
        if (FWritingBytes > 0) {
            FReport.Update(Percent, Sectors * DataBlockBytes, FWritingBytes);
        } else {
            FReport.Update(Percent);
        }
    } else if (Severity == "UPDATE" && FilesAddedIn(Rest, Added)) {
        FFilesAdded = Added;
    } else if (Severity == "UPDATE" && Rest.starts_with("Closing track/session")) {
        FReport.Enter("closing");
    } else if (IsProblem(Severity)) {
        FProblems.emplace_back(Rest);
    } else if (Severity == "NOTE") {
        // The libraries give the reason of a problem in a note right after it.
        constexpr std::string_view CausedBy = "> Caused by: ";
        while (!Rest.empty() && Rest.front() == ' ') {
            Rest.remove_prefix(1);
        }
        if (Rest.starts_with(CausedBy) && !FProblems.empty()) {
            FProblems.back() += " (" + std::string(Rest.substr(CausedBy.size())) + ")";
        }
    }
}

} // namespace Recorder
