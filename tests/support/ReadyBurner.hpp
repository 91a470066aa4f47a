// A component on a recording host where drive E is optical and the tool exists, with the calls of
// its creation forgotten, so that a test sees only what the operation under test does.
#pragma once

#include "QueltBurner.hpp"
#include "RecordingHost.hpp"

#include <memory>
#include <string>
#include <vector>

namespace QueltTest {

inline const UnicodeString ReadyTool = u"C:\\Nero\\NeroCmd.exe";

struct ReadyBurner {
    std::shared_ptr<RecordingHost> Host = std::make_shared<RecordingHost>();
    std::unique_ptr<Queltburner::TQueltBurner> Burner;
    std::vector<std::string> Events;

    ReadyBurner() {
        Host->MakeReady(u'E', ReadyTool);
        Burner = std::make_unique<Queltburner::TQueltBurner>(nullptr, Host);
        Burner->NeroCmdLocation = ReadyTool;
        Burner->SetOnSuccess([this](System::TObject*) { Events.emplace_back("OnSuccess"); });
        Burner->SetOnError([this](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
        Host->Calls.clear();
    }

    // Entries that exist: files and folders.
    void AddFile(const UnicodeString& Path) {
        Host->Files.insert(Path);
        Burner->Files()->Add(Path);
    }
    void AddFolder(const UnicodeString& Path) {
        Host->Directories.insert(Path);
        Burner->Files()->Add(Path);
    }

    // The command line of the last start, without the tool's path at its head.
    UnicodeString LastOptions() const {
        const UnicodeString& Line = Host->LastStart().CommandLine;
        return Line.rfind(ReadyTool, 0) == 0 ? Line.substr(ReadyTool.size())
                                             : u"<tool missing> " + Line;
    }
};

} // namespace QueltTest
