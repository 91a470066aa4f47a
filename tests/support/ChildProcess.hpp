// Runs a program as a real process for the POSIX integration tests and collects what it printed.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QueltTest {

struct ProcessOutcome {
    long long Pid = -1;
    int ExitCode = -1;         // the exit status, or -1 when the program did not exit normally
    std::optional<int> Signal; // the signal that ended it, if one did
    std::string Out;
    std::string Err;
};

// How a program is started: Program with Argv (Argv[0] included, whatever it says), standard input
// closed and both output streams on pipes. A Program without a slash is looked up on this
// process's PATH. With no Environment it inherits the current environment; with one it gets
// exactly those NAME=value entries. With a Folder it starts there.
struct ProgramStart {
    std::string Program;
    std::vector<std::string> Argv;
    std::optional<std::vector<std::string>> Environment;
    std::filesystem::path Folder;
};

// A program started and read while it runs: the one way the tests start a program. Failing to
// start it or to collect its output throws std::system_error. A program not finished by the end
// is killed (SIGKILL) and collected.
class WatchedProgram {
public:
    explicit WatchedProgram(const ProgramStart& Start);
    // Argv[0] as the program.
    WatchedProgram(const std::vector<std::string>& Argv,
                   const std::optional<std::vector<std::string>>& Environment);
    WatchedProgram(const WatchedProgram&) = delete;
    WatchedProgram& operator=(const WatchedProgram&) = delete;
    WatchedProgram(WatchedProgram&&) = delete;
    WatchedProgram& operator=(WatchedProgram&&) = delete;
    ~WatchedProgram();

    long Pid() const noexcept { return FPid; }
    // Reads standard output until a whole line starting with Head has come; false when the
    // program closed it first or the time ran out.
    bool WaitForLine(std::string_view Head, std::chrono::milliseconds Timeout);
    void Signal(int Number) const;
    // Reads both streams to their end and waits for the program.
    ProcessOutcome Finish();

private:
    void ReadSome(std::chrono::milliseconds Timeout);
    // Closes the streams and waits for the program.
    void Collect();

    long FPid = -1;
    int FOut = -1;
    int FErr = -1;
    bool FFinished = false;
    ProcessOutcome FOutcome;
};

// Starts the program, reads both output streams to the end and waits for it.
ProcessOutcome RunProgram(const ProgramStart& Start);
ProcessOutcome RunProgram(const std::string& Program, const std::vector<std::string>& Argv,
                          const std::optional<std::vector<std::string>>& Environment);
// Argv[0] as the program.
ProcessOutcome
RunProgram(const std::vector<std::string>& Argv,
           const std::optional<std::vector<std::string>>& Environment = std::nullopt);

// True while a process with this id exists (a zombie counts as existing).
bool ProcessExists(long long Pid);

// The children of this process, as /proc shows them: all of them, or only those that have ended
// and not been collected (zombies).
std::vector<long> ChildProcesses();
std::vector<long> ZombieChildren();

} // namespace QueltTest
