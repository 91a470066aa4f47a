// What the Win32 host's tests share: the programs by their Windows paths, and a log for the
// stand-in with a waiting component on the Win32 host that records its events.
#pragma once

#include "QueltBurner.hpp"
#include "StandinLog.hpp"
#include "TestFiles.hpp"
#include "Win32HostServices.hpp"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace WindowsHostTest {

namespace fs = std::filesystem;
using Queltburner::TQueltBurner;
using QueltTest::PathText;
using QueltTest::ReadStandinLog;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;
using System::UnicodeString;
using Strings = std::vector<std::string>;

// The build names its programs by their host paths; under Wine a host path is a path on Z:.
fs::path WindowsPath(const std::string& Path);

extern const fs::path Standin;
extern const fs::path Cli;

// A log for the stand-in and a waiting component on the Win32 host that records its events.
struct WindowsWorld {
    TempDir Dir;
    std::string Log = (Dir.Path() / "nerocmd.log").string();
    ScopedEnv LogEnv{"NEROCMD_LOG", Log};
    ScopedEnv Exit{"NEROCMD_EXIT", std::nullopt};
    std::shared_ptr<Queltburner::HostServices> Host =
        std::make_shared<Queltburner::Win32::Win32HostServices>();
    std::unique_ptr<TQueltBurner> Burner = std::make_unique<TQueltBurner>(nullptr, Host);
    Strings Events;

    WindowsWorld() {
        Burner->NeroCmdLocation = PathText(Standin);
        Burner->SetShowMessages(false);
        Burner->SetSynchronous(true);
        Burner->SetOnSuccess([this](System::TObject*) { Events.emplace_back("OnSuccess"); });
        Burner->SetOnError([this](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
    }

    std::vector<QueltTest::LoggedRun> Runs() const {
        return fs::exists(Log) ? ReadStandinLog(Log) : std::vector<QueltTest::LoggedRun>{};
    }

    // Waits (from any thread, at most 5 s) until Count runs have logged a whole line each.
    void WaitForLoggedLines(std::size_t Count) const {
        for (int I = 0; I < 250; ++I) {
            std::ifstream In(Log, std::ios::binary);
            const std::string Text((std::istreambuf_iterator<char>(In)),
                                   std::istreambuf_iterator<char>());
            if (static_cast<std::size_t>(std::count(Text.begin(), Text.end(), '\n')) >= Count) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // Waits for a launch without waiting to have logged Count runs.
    std::vector<QueltTest::LoggedRun> RunsAfterLaunch(std::size_t Count) const {
        for (int I = 0; I < 250; ++I) {
            if (fs::exists(Log) && Runs().size() >= Count) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return Runs();
    }
};

} // namespace WindowsHostTest
