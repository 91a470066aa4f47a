// What the fault injection tests share: every operation by name, and a component on a ready
// recording host with settings away from their defaults that logs its events.
#pragma once

#include "QueltBurner.hpp"
#include "RecordingHost.hpp"

#include "System.Classes.Streaming.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace FaultInjectionTest {

using Queltburner::HostHandle;
using Queltburner::RegistryValue;
using Queltburner::RegistryValueKind;
using Queltburner::TQueltBurner;
using QueltTest::HostCall;
using QueltTest::RecordingHost;
using System::UnicodeString;
using Names = std::vector<std::string>;

inline const UnicodeString Tool = u"C:\\Nero\\NeroCmd.exe";
inline const UnicodeString Image = u"C:\\Images\\disc.iso";

// Its own type, so that a test sees the very exception it threw and not a copy cut down to a base.
class InjectedFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Operation {
    const char* Name;
    std::function<int(TQueltBurner&)> Run;
};

inline const Operation Operations[] = {
    {"BurnData", [](TQueltBurner& B) { return B.BurnData(u'E'); }},
    {"BurnAudio", [](TQueltBurner& B) { return B.BurnAudio(u'E'); }},
    {"BurnVideo", [](TQueltBurner& B) { return B.BurnVideo(u'E'); }},
    {"BurnSuperVideo", [](TQueltBurner& B) { return B.BurnSuperVideo(u'E'); }},
    {"BurnDVDVideo", [](TQueltBurner& B) { return B.BurnDVDVideo(u'E'); }},
    {"BurnImage", [](TQueltBurner& B) { return B.BurnImage(Image, u'E'); }},
    {"Erase", [](TQueltBurner& B) { return B.Erase(u'E', true); }},
    {"Eject", [](TQueltBurner& B) { return B.Eject(u'E'); }},
    {"Burn", [](TQueltBurner& B) { return B.Burn(u'E'); }},
};

// A component on a ready host with settings away from their defaults, an existing file, an
// existing folder and a missing entry, so that every kind of host call occurs; it logs its events.
struct Rig {
    std::shared_ptr<RecordingHost> Host = std::make_shared<RecordingHost>();
    std::unique_ptr<TQueltBurner> Burner;
    Names Events;
    UnicodeString SettingsBefore;

    explicit Rig(bool Synchronous, std::shared_ptr<Queltburner::HostServices> Front = nullptr) {
        Host->MakeReady(u'E', Tool);
        Host->Files.insert(Image);
        Host->Files.insert(u"C:\\data\\notes.txt");
        Host->Directories.insert(u"C:\\data\\pictures");
        Burner = std::make_unique<TQueltBurner>(nullptr, Front ? Front : Host);
        Burner->NeroCmdLocation = Tool;
        Burner->SetSynchronous(Synchronous);
        Burner->SetTitle(u"Trip");
        Burner->SetArtist(u"Me");
        Burner->SetVerify(true);
        Burner->SetDiskType(Queltburner::dtAudio);
        Burner->Files()->Add(u"C:\\data\\notes.txt");
        Burner->Files()->Add(u"C:\\data\\pictures");
        Burner->Files()->Add(u"C:\\data\\absent");
        Burner->SetOnSuccess([this](System::TObject*) { Events.emplace_back("OnSuccess"); });
        Burner->SetOnError([this](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
        SettingsBefore = Settings();
        Host->Calls.clear();
    }

    UnicodeString Settings() const {
        return System::Classes::WriteComponentText(*Burner) + u"|" + Burner->NeroCmdLocation;
    }

    void ExpectClean(const std::string& Case) const {
        EXPECT_EQ(Host->OpenHandles(), 0U) << Case;
        EXPECT_EQ(Host->UnknownReleases, 0) << Case;
        EXPECT_EQ(Settings(), SettingsBefore) << Case;
    }
};

inline std::string CaseName(const Operation& Op, bool Synchronous, const std::string& Fault) {
    return std::string(Op.Name) + (Synchronous ? " waiting, " : " not waiting, ") + Fault;
}

} // namespace FaultInjectionTest
