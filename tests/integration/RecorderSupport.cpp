#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace RecorderTest {

namespace {

std::string PathVariable() {
    const char* Path = std::getenv("PATH");
    return Path != nullptr ? Path : "/usr/bin:/bin";
}

void Check(int Error, const std::string& What) {
    if (Error != 0) {
        throw std::system_error(Error, std::generic_category(), What);
    }
}

// "file 12: <content>", "folder", "link -> target": what a tree holds at one place.
std::string Describe(const fs::path& Item) {
    const fs::file_status Status = fs::symlink_status(Item);
    if (fs::is_symlink(Status)) {
        return "link -> " + fs::read_symlink(Item).string();
    }
    if (fs::is_directory(Status)) {
        return "folder";
    }
    if (fs::is_regular_file(Status)) {
        const std::string Content = QueltTest::ReadFile(Item);
        return "file " + std::to_string(Content.size()) + ": " + Content;
    }
    return "something else";
}

std::map<std::string, std::string> Contents(const fs::path& Root) {
    std::map<std::string, std::string> Items;
    for (const fs::directory_entry& Entry : fs::recursive_directory_iterator(Root)) {
        Items.emplace(fs::relative(Entry.path(), Root).string(), Describe(Entry.path()));
    }
    return Items;
}

std::string Shortened(const std::string& Text) {
    constexpr std::size_t Shown = 60;
    return Text.size() <= Shown ? Text : Text.substr(0, Shown) + "...";
}

} // namespace

std::string MissingPrograms(const Strings& Programs) {
    std::string Missing;
    for (const std::string& Program : Programs) {
        bool Found = false;
        std::istringstream Folders(PathVariable());
        for (std::string Folder; !Found && std::getline(Folders, Folder, ':');) {
            Folder += "/";
            Folder += Program;
            Found = Folder.size() > Program.size() + 1 && ::access(Folder.c_str(), X_OK) == 0;
        }
        if (!Found) {
            Missing += (Missing.empty() ? "" : ", ") + Program;
        }
    }
    return Missing;
}

Strings DataDisc(const std::string& Label, const Strings& Options, const Strings& Entries) {
    Strings Arguments{"--write", "--drivename", "E",     "--real", "--recursive",
                      "--speed", "4",           "--iso", Label};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), Entries.begin(), Entries.end());
    return Arguments;
}

Strings RecorderEnvironment(const fs::path& Disc, const Strings& Extra) {
    Strings Environment{"PATH=" + PathVariable(), "QUELT_DRIVES=E=" + Disc.string()};
    Environment.insert(Environment.end(), Extra.begin(), Extra.end());
    return Environment;
}

QueltTest::ProcessOutcome RunRecorder(const Strings& Arguments, const Strings& Environment) {
    Strings Argv{RecorderPath};
    Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
    return QueltTest::RunProgram(Argv, Environment);
}

QueltTest::ProcessOutcome RunReader(const Strings& Argv) {
    const Strings Environment{"PATH=" + PathVariable(), "LC_ALL=C.UTF-8"};
    Strings Resolved = Argv;
    std::istringstream Folders(PathVariable());
    for (std::string Folder; std::getline(Folders, Folder, ':');) {
        if (!Folder.empty() && ::access((Folder + "/" + Argv[0]).c_str(), X_OK) == 0) {
            Resolved[0] = Folder + "/" + Argv[0];
            break;
        }
    }
    return QueltTest::RunProgram(Resolved, Environment);
}

QueltTest::ProcessOutcome ExtractWithXorriso(const fs::path& Image, const fs::path& Out,
                                             int Session) {
    Strings Argv{"xorriso", "-indev", "stdio:" + Image.string()};
    if (Session > 0) {
        Argv.insert(Argv.end(), {"-load", "session", std::to_string(Session)});
    }
    Argv.insert(Argv.end(), {"-osirrox", "on", "-extract", "/", Out.string()});
    return RunReader(Argv);
}

QueltTest::ProcessOutcome ExtractWith7z(const fs::path& Image, const fs::path& Out) {
    return RunReader({"7z", "x", "-y", "-o" + Out.string(), Image.string()});
}

std::string VolumeIdOf(const fs::path& Image) {
    const QueltTest::ProcessOutcome Info = RunReader({"isoinfo", "-d", "-i", Image.string()});
    constexpr std::string_view Head = "Volume id: ";
    std::istringstream Lines(Info.Out);
    for (std::string Line; std::getline(Lines, Line);) {
        if (Line.starts_with(Head)) {
            return Line.substr(Head.size());
        }
    }
    return "(none; isoinfo said: " + Info.Out + Info.Err + ")";
}

Strings TreeDifferences(const fs::path& Expected, const fs::path& Actual, std::size_t Limit) {
    Strings Differences;
    if (!fs::is_directory(Expected) || !fs::is_directory(Actual)) {
        return {"not both folders: " + Expected.string() + ", " + Actual.string()};
    }
    const auto Wanted = Contents(Expected);
    const auto Got = Contents(Actual);
    for (const auto& [Name, What] : Wanted) {
        const auto Found = Got.find(Name);
        if (Found == Got.end()) {
            Differences.push_back("missing " + Name);
        } else if (Found->second != What) {
            Differences.push_back(Name + ": " + Shortened(Found->second) + " instead of " +
                                  Shortened(What));
        }
    }
    for (const auto& [Name, What] : Got) {
        if (!Wanted.contains(Name)) {
            Differences.push_back("unexpected " + Name + " (" + Shortened(What) + ")");
        }
    }
    if (Differences.size() > Limit) {
        const std::size_t More = Differences.size() - Limit;
        Differences.resize(Limit);
        Differences.push_back("and " + std::to_string(More) + " more");
    }
    return Differences;
}

Strings ScratchFilesBeside(const fs::path& Target) {
    Strings Found;
    const std::string Head = "." + Target.filename().string() + ".recording-";
    const std::string Lock = "." + Target.filename().string() + ".lock";
    for (const fs::directory_entry& Entry : fs::directory_iterator(Target.parent_path())) {
        const std::string Name = Entry.path().filename().string();
        if (Name.starts_with(Head) || Name == Lock) {
            Found.push_back(Entry.path().string());
        }
    }
    return Found;
}

void MakeSparseFile(const fs::path& Path, std::uintmax_t Size, std::string_view Marker) {
    {
        std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
        Out.write(Marker.data(), static_cast<std::streamsize>(Marker.size()));
    }
    fs::resize_file(Path, Size);
}

WatchedProgram::WatchedProgram(const Strings& Argv, const Strings& Environment) {
    int OutPipe[2] = {-1, -1};
    int ErrPipe[2] = {-1, -1};
    if (::pipe2(OutPipe, O_CLOEXEC) != 0 || ::pipe2(ErrPipe, O_CLOEXEC) != 0) {
        Check(errno, "pipe2");
    }
    posix_spawn_file_actions_t Actions{};
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&Actions, OutPipe[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, ErrPipe[1], 2);
    std::vector<char*> ArgvPointers;
    std::vector<char*> EnvironmentPointers;
    for (const std::string& Item : Argv) {
        ArgvPointers.push_back(const_cast<char*>(Item.c_str()));
    }
    for (const std::string& Item : Environment) {
        EnvironmentPointers.push_back(const_cast<char*>(Item.c_str()));
    }
    ArgvPointers.push_back(nullptr);
    EnvironmentPointers.push_back(nullptr);
    pid_t Pid = 0;
    const int Error = posix_spawn(&Pid, Argv[0].c_str(), &Actions, nullptr, ArgvPointers.data(),
                                  EnvironmentPointers.data());
    posix_spawn_file_actions_destroy(&Actions);
    ::close(OutPipe[1]);
    ::close(ErrPipe[1]);
    FOut = OutPipe[0];
    FErr = ErrPipe[0];
    if (Error != 0) {
        ::close(FOut);
        ::close(FErr);
        Check(Error, "posix_spawn " + Argv[0]);
    }
    FPid = Pid;
    FOutcome.Pid = Pid;
}

WatchedProgram::~WatchedProgram() {
    if (!FFinished) {
        ::kill(static_cast<pid_t>(FPid), SIGKILL);
        (void)Finish();
    }
}

bool WatchedProgram::ReadSome(std::chrono::milliseconds Timeout) {
    pollfd Fds[2] = {{FOut, POLLIN, 0}, {FErr, POLLIN, 0}};
    if (FOut < 0 && FErr < 0) {
        return false;
    }
    const int Ready = ::poll(Fds, 2, static_cast<int>(Timeout.count()));
    if (Ready <= 0) {
        return Ready < 0 && errno == EINTR;
    }
    int* Ends[2] = {&FOut, &FErr};
    std::string* Sinks[2] = {&FOutcome.Out, &FOutcome.Err};
    for (std::size_t I = 0; I < 2; ++I) {
        if (Fds[I].fd < 0 || Fds[I].revents == 0) {
            continue;
        }
        char Buffer[4096];
        const ssize_t Got = ::read(Fds[I].fd, Buffer, sizeof Buffer);
        if (Got > 0) {
            Sinks[I]->append(Buffer, static_cast<std::size_t>(Got));
        } else if (Got == 0 || errno != EINTR) {
            ::close(*Ends[I]);
            *Ends[I] = -1;
        }
    }
    return true;
}

bool WatchedProgram::WaitForLine(std::string_view Head, std::chrono::milliseconds Timeout) {
    const auto Until = std::chrono::steady_clock::now() + Timeout;
    for (;;) {
        std::istringstream Lines(FOutcome.Out);
        for (std::string Line; std::getline(Lines, Line);) {
            if (Line.starts_with(Head) && !Lines.eof()) {
                return true;
            }
        }
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
            Until - std::chrono::steady_clock::now());
        if (FOut < 0 || Left.count() <= 0) {
            return false;
        }
        ReadSome(Left);
    }
}

void WatchedProgram::Signal(int Number) const {
    ::kill(static_cast<pid_t>(FPid), Number);
}

QueltTest::ProcessOutcome WatchedProgram::Finish() {
    while (FOut >= 0 || FErr >= 0) {
        ReadSome(std::chrono::milliseconds(1000));
    }
    int Status = 0;
    while (::waitpid(static_cast<pid_t>(FPid), &Status, 0) < 0 && errno == EINTR) {
    }
    FFinished = true;
    if (WIFEXITED(Status)) {
        FOutcome.ExitCode = WEXITSTATUS(Status);
    } else if (WIFSIGNALED(Status)) {
        FOutcome.Signal = WTERMSIG(Status);
    }
    return FOutcome;
}

namespace {

// The state letter and the parent of a process, from /proc; none when it is gone.
bool ReadStat(long Pid, char& State, long& Parent) {
    std::ifstream Stat("/proc/" + std::to_string(Pid) + "/stat");
    std::string Line;
    if (!std::getline(Stat, Line)) {
        return false;
    }
    const std::size_t Close = Line.rfind(')');
    if (Close == std::string::npos) {
        return false;
    }
    std::istringstream Rest(Line.substr(Close + 1));
    Rest >> State >> Parent;
    return static_cast<bool>(Rest);
}

} // namespace

std::vector<long> ChildrenOf(long Parent) {
    std::vector<long> Children;
    std::error_code Error;
    for (const fs::directory_entry& Entry : fs::directory_iterator("/proc", Error)) {
        const std::string Name = Entry.path().filename().string();
        if (Name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        char State = 0;
        long Of = 0;
        if (ReadStat(std::stol(Name), State, Of) && Of == Parent) {
            Children.push_back(std::stol(Name));
        }
    }
    return Children;
}

bool HasEnded(long Pid) {
    char State = 0;
    long Parent = 0;
    return !ReadStat(Pid, State, Parent) || State == 'Z' || State == 'X';
}

} // namespace RecorderTest
