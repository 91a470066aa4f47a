// A temporary world for the integration tests: drive E mapped through QUELT_DRIVES, a log for the
// stand-in tool, no registry, and a waiting component on a POSIX host that records its events.
#pragma once

#include "ChildProcess.hpp"
#include "PosixHostServices.hpp"
#include "QueltBurner.hpp"
#include "StandinLog.hpp"
#include "TestFiles.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace QueltTest {

inline const std::filesystem::path Standin = QUELT_STANDIN_PATH;
inline const std::string Cli = QUELT_CLI_PATH;

// A temporary world: drive E mapped, a log for the stand-in, a component on a POSIX host.
struct RealWorld {
    TempDir Dir;
    std::string Log = (Dir.Path() / "nerocmd.log").string();
    ScopedEnv Drives{"QUELT_DRIVES", "E=" + (Dir.Path() / "disc.iso").string()};
    ScopedEnv LogEnv{"NEROCMD_LOG", Log};
    ScopedEnv Exit{"NEROCMD_EXIT", std::nullopt};
    ScopedEnv Delay{"NEROCMD_DELAY_MS", std::nullopt};
    ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "missing.reg").string()};
    std::shared_ptr<Queltburner::Posix::PosixHostServices> Host =
        std::make_shared<Queltburner::Posix::PosixHostServices>();
    std::unique_ptr<Queltburner::TQueltBurner> Burner =
        std::make_unique<Queltburner::TQueltBurner>(nullptr, Host);
    std::vector<std::string> Events;

    // A host that starts its tools on Path (by default the one this process's runtime asks for).
    explicit RealWorld(
        Queltburner::Posix::StartPath Path = Queltburner::Posix::StartPathOfThisProcess())
        : Host(std::make_shared<Queltburner::Posix::PosixHostServices>(Path)),
          Burner(std::make_unique<Queltburner::TQueltBurner>(nullptr, Host)) {
        Burner->NeroCmdLocation = PathText(Standin);
        Burner->SetShowMessages(false);
        Burner->SetSynchronous(true);
        Burner->SetOnSuccess([this](System::TObject*) { Events.push_back("OnSuccess"); });
        Burner->SetOnError([this](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
    }

    std::vector<LoggedRun> Runs() const { return ReadStandinLog(Log); }
};

} // namespace QueltTest
