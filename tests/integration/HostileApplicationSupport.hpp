// What the hostile-application tests share: a case run in a process of its own, which reports the
// checks that failed there, and waits for the stand-in's runs and for processes to be gone.
#pragma once

#include "RealWorld.hpp"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace HostileTest {

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
                         std::chrono::milliseconds Limit = 20s);
// Waits until the stand-in's log holds Count runs; false when it does not within a few seconds.
bool AwaitRuns(const RealWorld& W, std::size_t Count);
// Waits until none of the processes is alive (zombies count as alive).
bool AwaitGone(const std::vector<long long>& Pids);

} // namespace HostileTest
