// What the operation frame tests share: a component on a ready recording host that logs its
// events.
#pragma once

#include "QueltBurner.hpp"
#include "RecordingHost.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace OperationFrameTest {

using Queltburner::LaunchMode;
using Queltburner::TQueltBurner;
using QueltTest::RecordingHost;
using System::UnicodeString;
using Names = std::vector<std::string>;

inline const UnicodeString Tool = u"C:\\Nero\\NeroCmd.exe";

// A component on a ready host (drive E optical, tool present) that logs its events.
struct Frame {
    std::shared_ptr<RecordingHost> Host = std::make_shared<RecordingHost>();
    std::unique_ptr<TQueltBurner> Burner;
    std::vector<std::string> Events;

    Frame() {
        Host->MakeReady(u'E', Tool);
        Burner = std::make_unique<TQueltBurner>(nullptr, Host);
        Burner->NeroCmdLocation = Tool;
        Host->Calls.clear();
        Burner->SetOnSuccess([this](System::TObject* Sender) {
            EXPECT_EQ(Sender, Burner.get());
            Events.push_back("OnSuccess");
        });
        Burner->SetOnError([this](System::TObject* Sender, int Code) {
            EXPECT_EQ(Sender, Burner.get());
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
    }
};

} // namespace OperationFrameTest
