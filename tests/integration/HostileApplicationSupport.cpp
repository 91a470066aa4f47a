#include "HostileApplicationSupport.hpp"

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

namespace HostileTest {

// Runs Case in a child process of its own and returns what it found, plus a line when it did not
// finish within Limit (it is killed then) or was ended by a signal.
std::string InOwnProcess(const std::function<void(Findings&)>& Case,
                         std::chrono::milliseconds Limit) {
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

} // namespace HostileTest
