// The POSIX host inside applications that handle their own children, signals, descriptors and
// files the way real ones do: SIGCHLD ignored or reaped by someone else, a subreaper, signal
// storms, forking neighbours, a registry file that is a device, a closed standard error, and
// allocations failing one by one. Whatever the application does, a waiting run reports the tool's
// own exit code, a launch reports -1 only when nothing started, and nothing is left behind.
// What a case does to its process runs in a process of its own.
#include "FailingAllocator.hpp"
#include "ProcessLauncher.hpp"
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <new>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;
using namespace std::chrono_literals;

// What a case found in its own process: one line per check that failed.
class Findings {
public:
    void Expect(bool Held, const std::string& What) {
        if (!Held) {
            FText += What + "\n";
        }
    }
    const std::string& Text() const noexcept { return FText; }

private:
    std::string FText;
};

// Runs Case in a child process of its own and returns what it found, plus a line when it did not
// finish within Limit (it is killed then) or was ended by a signal.
std::string InOwnProcess(const std::function<void(Findings&)>& Case,
                         std::chrono::milliseconds Limit = 20s) {
    int Report[2];
    if (pipe2(Report, O_CLOEXEC) != 0) {
        return "pipe2 failed";
    }
    const pid_t Child = fork();
    if (Child == 0) {
        close(Report[0]);
        Findings Found;
        try {
            Case(Found);
        } catch (const std::exception& Error) {
            Found.Expect(false, std::string("exception: ") + Error.what());
        }
        const std::string& Text = Found.Text();
        (void)!write(Report[1], Text.data(), Text.size());
        _exit(0);
    }
    close(Report[1]);
    std::string Text;
    const auto Deadline = Clock::now() + Limit;
    bool TimedOut = false;
    for (;;) {
        const auto Left =
            std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now());
        pollfd Poll{Report[0], POLLIN, 0};
        if (Left.count() <= 0 || poll(&Poll, 1, static_cast<int>(Left.count())) == 0) {
            TimedOut = true;
            break;
        }
        char Buffer[512];
        const ssize_t Got = read(Report[0], Buffer, sizeof Buffer);
        if (Got <= 0) {
            break;
        }
        Text.append(Buffer, static_cast<std::size_t>(Got));
    }
    close(Report[0]);
    if (TimedOut) {
        kill(Child, SIGKILL);
        Text += "did not finish within " + std::to_string(Limit.count()) + " ms\n";
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    if (WIFSIGNALED(Status) && !TimedOut) {
        Text += "ended by signal " + std::to_string(WTERMSIG(Status)) + "\n";
    }
    return Text;
}

// Waits until the stand-in's log holds Count runs; false when it does not within a few seconds.
bool AwaitRuns(const RealWorld& W, std::size_t Count) {
    for (int I = 0; I < 250; ++I) {
        if (W.Runs().size() >= Count) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// Waits until none of the processes is alive (zombies count as alive).
bool AwaitGone(const std::vector<long long>& Pids) {
    for (int I = 0; I < 250; ++I) {
        bool Any = false;
        for (const long long Pid : Pids) {
            Any = Any || QueltTest::ProcessExists(Pid);
        }
        if (!Any) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// --- The application's own child handling ------------------------------------------------------

enum class ChildHandling : std::uint8_t {
    Ignored,         // SIGCHLD set to SIG_IGN: the kernel reaps every child at once
    NoChildWait,     // SA_NOCLDWAIT: the same, with a handler left at its default
    ReapingHandler,  // a handler that reaps every child with waitpid(-1, WNOHANG)
    ReaperThread,    // another thread reaping every child with waitpid(-1, WNOHANG)
    ReaperThreadAll, // the same with __WALL, which also collects the library's helpers
};

void ReapEverything(int /*Signal*/) {
    const int Saved = errno;
    int Status = 0;
    while (waitpid(-1, &Status, WNOHANG) > 0) {
    }
    errno = Saved;
}

class ChildHandlingTest : public testing::TestWithParam<ChildHandling> {};

TEST_P(ChildHandlingTest, RunsReportTheToolsOwnExitCodeAndLaunchesStart) {
    const ChildHandling Handling = GetParam();
    const std::string Found = InOwnProcess([Handling](Findings& Check) {
        struct sigaction Action {};
        sigemptyset(&Action.sa_mask);
        Action.sa_handler = Handling == ChildHandling::Ignored ? SIG_IGN : SIG_DFL;
        Action.sa_flags = Handling == ChildHandling::NoChildWait ? SA_NOCLDWAIT : 0;
        if (Handling == ChildHandling::ReapingHandler) {
            Action.sa_handler = ReapEverything; // no SA_RESTART: every wait sees EINTR too
        }
        sigaction(SIGCHLD, &Action, nullptr);
        std::atomic<bool> Stop{false};
        std::thread Reaper;
        if (Handling == ChildHandling::ReaperThread || Handling == ChildHandling::ReaperThreadAll) {
            const int Options = WNOHANG | (Handling == ChildHandling::ReaperThreadAll ? __WALL : 0);
            Reaper = std::thread([&Stop, Options] {
                int Status = 0;
                while (!Stop) {
                    if (waitpid(-1, &Status, Options) <= 0) {
                        std::this_thread::sleep_for(50us);
                    }
                }
            });
        }

        RealWorld W;
        for (int Run = 0; Run < 60; ++Run) {
            for (const int Code : {0, 7}) {
                const ScopedEnv Exit{"NEROCMD_EXIT", std::to_string(Code)};
                const int Result = W.Burner->BurnData(u'E');
                Check.Expect(Result == Code, "run " + std::to_string(Run) + ": exit code " +
                                                 std::to_string(Code) + " came back as " +
                                                 std::to_string(Result));
            }
        }
        W.Burner->SetSynchronous(false);
        for (int Launch = 0; Launch < 10; ++Launch) {
            const int Result = W.Burner->BurnData(u'E');
            Check.Expect(Result == 0, "launch " + std::to_string(Launch) + " returned " +
                                          std::to_string(Result));
        }
        Check.Expect(AwaitRuns(W, 130), "the launched tools did not all run");
        Check.Expect(W.Host->OpenHandleCount() == 0, "handles left open");
        Stop = true;
        if (Reaper.joinable()) {
            Reaper.join();
        }
    });
    EXPECT_EQ(Found, "");
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ChildHandlingTest,
                         testing::Values(ChildHandling::Ignored, ChildHandling::NoChildWait,
                                         ChildHandling::ReapingHandler, ChildHandling::ReaperThread,
                                         ChildHandling::ReaperThreadAll));

TEST(HostileApplication, SubreaperKeepsNoZombieOfALaunch) {
    const std::string Found = InOwnProcess([](Findings& Check) {
        // Orphans below this process now come back to it, as to the first process of a container.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        RealWorld W;
        W.Burner->SetSynchronous(false);
        {
            const ScopedEnv Delay{"NEROCMD_DELAY_MS", "300"};
            for (int Launch = 0; Launch < 5; ++Launch) {
                Check.Expect(W.Burner->BurnData(u'E') == 0, "a launch failed");
            }
        }
        Check.Expect(AwaitRuns(W, 5), "the tools did not run");
        std::vector<long long> Tools;
        for (const QueltTest::LoggedRun& Run : W.Runs()) {
            Tools.push_back(Run.Pid);
        }
        Check.Expect(AwaitGone(Tools), "a tool stayed behind after it ended (a zombie)");
        Check.Expect(QueltTest::ZombieChildren().empty(), "a zombie among the children");
        Check.Expect(Queltburner::Posix::KeptLaunchCount() == 5, "the waiters are not kept");

        // The next operation lets the waiters of ended tools go, and collects them.
        W.Burner->SetSynchronous(true);
        Check.Expect(W.Burner->BurnData(u'E') == 0, "the waiting run failed");
        Check.Expect(Queltburner::Posix::KeptLaunchCount() == 0, "waiters still kept");
        Check.Expect(QueltTest::ChildProcesses().empty(), "children left after the release");
    });
    EXPECT_EQ(Found, "");
}

// --- Signals and descriptors -------------------------------------------------------------------

struct SignalTally {
    std::atomic<long> Application{0};
    std::atomic<long> Elsewhere{0}; // in any other process: a helper of the library
};
SignalTally* Tally = nullptr;
pid_t ApplicationPid = 0;

void CountSignal(int /*Signal*/) {
    // getpid through the system call: the library's helpers share this process's memory.
    if (static_cast<pid_t>(syscall(SYS_getpid)) == ApplicationPid) {
        ++Tally->Application;
    } else {
        ++Tally->Elsewhere;
    }
}

TEST(HostileApplication, NoApplicationSignalHandlerRunsInAHelper) {
    const std::string Found = InOwnProcess([](Findings& Check) {
        setpgid(0, 0);
        // Shared with any forked helper too, so that a handler run there is counted here.
        void* Shared = mmap(nullptr, sizeof(SignalTally), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        Tally = new (Shared) SignalTally;
        ApplicationPid = getpid();
        struct sigaction Action {};
        sigemptyset(&Action.sa_mask);
        Action.sa_handler = CountSignal;
        sigaction(SIGWINCH, &Action, nullptr);
        std::atomic<bool> Stop{false};
        std::thread Storm([&Stop] {
            while (!Stop) {
                kill(0, SIGWINCH); // the whole process group: this process and its helpers
                std::this_thread::sleep_for(20us);
            }
        });
        RealWorld W;
        for (int Run = 0; Run < 20; ++Run) {
            Check.Expect(W.Burner->BurnData(u'E') == 0, "a waiting run failed");
        }
        W.Burner->SetSynchronous(false);
        for (int Launch = 0; Launch < 20; ++Launch) {
            Check.Expect(W.Burner->BurnData(u'E') == 0, "a launch failed");
        }
        Stop = true;
        Storm.join();
        Check.Expect(Tally->Application > 0, "the storm never reached the application");
        Check.Expect(Tally->Elsewhere == 0, "the application's handler ran in a helper " +
                                                std::to_string(Tally->Elsewhere.load()) + " times");
    });
    EXPECT_EQ(Found, "");
}

TEST(HostileApplication, ForkingNeighbourDoesNotStallLaunches) {
    RealWorld W;
    W.Burner->SetSynchronous(false);
    std::atomic<bool> Stop{false};
    std::vector<pid_t> Sleepers;
    // A neighbour thread forking copies of the application that sleep 3 s: each holds whatever
    // descriptors were open at its fork.
    std::thread Neighbour([&] {
        while (!Stop) {
            const pid_t Child = fork();
            if (Child == 0) {
                sleep(3);
                _exit(0);
            }
            Sleepers.push_back(Child);
            std::this_thread::sleep_for(200us);
        }
    });
    std::vector<long long> Slow;
    for (int Launch = 0; Launch < 40; ++Launch) {
        const auto Start = Clock::now();
        EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
        const auto Took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start);
        if (Took > 100ms) {
            Slow.push_back(Took.count());
        }
    }
    Stop = true;
    Neighbour.join();
    for (const pid_t Sleeper : Sleepers) {
        kill(Sleeper, SIGKILL);
        waitpid(Sleeper, nullptr, 0);
    }
    EXPECT_TRUE(Slow.empty()) << Slow.size() << " launches took over 100 ms, the first "
                              << Slow.front() << " ms";
    EXPECT_TRUE(AwaitRuns(W, 40));
}

TEST(HostileApplication, HelperHoldsNoneOfTheApplicationsDescriptors) {
    RealWorld W;
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "1000"};
    int Ends[2];
    ASSERT_EQ(pipe(Ends), 0);
    std::thread Run([&W] { EXPECT_EQ(W.Burner->BurnData(u'E'), 0); });
    ASSERT_TRUE(AwaitRuns(W, 1)); // the tool runs, and its waiter with it
    // The application closes its end: its reader must see the end of file now, not when the tool
    // ends, which it would not if a helper still held a copy.
    close(Ends[1]);
    pollfd Poll{Ends[0], POLLIN, 0};
    EXPECT_EQ(poll(&Poll, 1, 300), 1);
    char Byte = 0;
    EXPECT_EQ(read(Ends[0], &Byte, 1), 0);
    EXPECT_TRUE(QueltTest::ProcessExists(W.Runs()[0].Pid)) << "the tool ended too early to tell";
    Run.join();
    close(Ends[0]);
}

TEST(HostileApplication, ClosedStandardErrorDoesNotEndTheApplication) {
    const std::string Found = InOwnProcess([](Findings& Check) {
        signal(SIGPIPE, SIG_DFL);
        int Ends[2];
        Check.Expect(pipe(Ends) == 0, "pipe failed");
        close(Ends[0]); // nobody reads standard error any more
        dup2(Ends[1], STDERR_FILENO);
        close(Ends[1]);
        RealWorld W;
        W.Burner->SetShowMessages(true);
        Check.Expect(W.Burner->BurnData(u'Q') == -2, "the drive check did not return -2");
        W.Burner->NeroCmdLocation.clear();
        Check.Expect(W.Burner->BurnData(u'E') == -1, "the tool check did not return -1");
        sigset_t Pending;
        sigpending(&Pending);
        Check.Expect(sigismember(&Pending, SIGPIPE) == 0, "SIGPIPE left pending");
    });
    EXPECT_EQ(Found, "");
}

// --- Registry files that are not ordinary files ------------------------------------------------

struct RegistryCase {
    const char* Name;
    std::function<std::string(const fs::path& Folder)> Make; // returns the file's path
    bool Found;                                              // whether the value is read
};

std::string ValidRegistry(const fs::path& ToolFolder) {
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\r\n"
           "\"RegisteredTypesNeroPath\"=\"" +
           ToolFolder.string() + "/nero\"\r\n";
}

// A valid registry file padded with blank lines to Size bytes (sparse past the text).
std::string PaddedRegistry(const fs::path& Folder, std::uintmax_t Size, bool Sparse) {
    const fs::path Path = Folder / "padded.reg";
    std::ofstream(Path) << ValidRegistry(Folder) << std::string(Sparse ? 0 : 4096, '\n');
    if (!Sparse) {
        std::ofstream Out(Path, std::ios::app);
        const std::string Blank(64 * 1024, '\n');
        while (fs::file_size(Path) < Size) {
            Out.write(Blank.data(), static_cast<std::streamsize>(Blank.size()));
            Out.flush();
        }
    }
    fs::resize_file(Path, Size);
    return Path.string();
}

// Peak resident memory since the last reset, and the reset.
long PeakResidentKiB() {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    while (std::getline(Status, Line)) {
        if (Line.rfind("VmHWM:", 0) == 0) {
            return std::stol(Line.substr(6));
        }
    }
    return -1;
}

class RegistryFileKind : public testing::TestWithParam<RegistryCase> {};

TEST_P(RegistryFileKind, ComponentIsCreatedAtOnceWithinTheCap) {
    const RegistryCase& Case = GetParam();
    const std::string Found = InOwnProcess(
        [&Case](Findings& Check) {
            QueltTest::TempDir Dir;
            fs::copy_file(QueltTest::Standin, Dir.Path() / "NeroCmd.exe");
            const ScopedEnv Registry{"QUELT_REGISTRY", Case.Make(Dir.Path())};
            auto Host = std::make_shared<Queltburner::Posix::PosixHostServices>();
            std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak
            const long Before = PeakResidentKiB();
            const auto Start = Clock::now();
            const Queltburner::TQueltBurner Burner(nullptr, Host);
            const auto Took = Clock::now() - Start;
            const long Peak = PeakResidentKiB();
            Check.Expect(
                Took < 1s,
                "creating the component took " +
                    std::to_string(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Took).count()) +
                    " ms");
            // A file that is not read costs nothing; one that is read costs its decoding too.
            constexpr long CapKiB = Queltburner::Posix::PosixHostServices::RegistryFileCap / 1024;
            const long Allowed = (Case.Found ? 5 * CapKiB : CapKiB) + 4096;
            Check.Expect(Peak - Before <= Allowed,
                         "memory grew by " + std::to_string(Peak - Before) + " KiB");
            const bool Read = !Burner.NeroCmdLocation.empty();
            Check.Expect(Read == Case.Found,
                         Read ? "the value was read" : "the value was not read");
        },
        10s);
    EXPECT_EQ(Found, "");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RegistryFileKind,
    testing::Values(
        RegistryCase{"DevZero", [](const fs::path&) { return std::string("/dev/zero"); }, false},
        RegistryCase{"DevUrandom", [](const fs::path&) { return std::string("/dev/urandom"); },
                     false},
        RegistryCase{"FifoWithoutWriter",
                     [](const fs::path& Folder) {
                         const fs::path Fifo = Folder / "user.reg";
                         mkfifo(Fifo.c_str(), 0600);
                         return Fifo.string();
                     },
                     false},
        RegistryCase{"Folder", [](const fs::path& Folder) { return Folder.string(); }, false},
        RegistryCase{"SparseTwoGigabytes",
                     [](const fs::path& Folder) {
                         return PaddedRegistry(Folder, std::uintmax_t{2} << 30U, true);
                     },
                     false},
        RegistryCase{"JustOverTheCap",
                     [](const fs::path& Folder) {
                         return PaddedRegistry(
                             Folder, Queltburner::Posix::PosixHostServices::RegistryFileCap + 1,
                             false);
                     },
                     false},
        RegistryCase{"AtTheCap",
                     [](const fs::path& Folder) {
                         return PaddedRegistry(
                             Folder, Queltburner::Posix::PosixHostServices::RegistryFileCap, false);
                     },
                     true}),
    [](const testing::TestParamInfo<RegistryCase>& Info) { return std::string(Info.param.Name); });

// --- Allocation failures -----------------------------------------------------------------------

TEST(HostileApplication, AllocationFailingAnywhereLeavesNoToolBehind) {
    RealWorld W;
    const long Before = QueltTest::AllocationsMade();
    ASSERT_EQ(W.Burner->BurnData(u'E'), 0);
    const long PerRun = QueltTest::AllocationsMade() - Before;
    ASSERT_GT(PerRun, 0);
    int Threw = 0;
    for (long Failing = 0; Failing <= PerRun; ++Failing) {
        QueltTest::FailAllocationAfter(Failing);
        try {
            const int Result = W.Burner->BurnData(u'E');
            EXPECT_TRUE(Result == 0 || Result == -1) << "allocation " << Failing << ": " << Result;
        } catch (const std::bad_alloc&) {
            ++Threw;
        }
        QueltTest::FailAllocationAfter(-1);
        // Whatever failed, the tool is not running on, and has not become a zombie, behind the
        // caller's back: a started run was waited for.
        EXPECT_TRUE(QueltTest::ChildProcesses().empty()) << "allocation " << Failing;
        EXPECT_EQ(W.Host->OpenHandleCount(), 0U) << "allocation " << Failing;
    }
    EXPECT_GT(Threw, 0);
}

} // namespace
