// Finding NeroCmd.exe through the registry when a component is created.
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using Queltburner::RegistryValueKind;
using Queltburner::TQueltBurner;
using QueltTest::RecordingHost;
using System::UnicodeString;

// Writes paths with the platform's separator: '/' on POSIX, '\' on Windows.
UnicodeString P(std::u16string_view Text) {
    UnicodeString Out(Text);
    for (char16_t& C : Out) {
        if (C == u'|') {
            C = System::Sysutils::PathDelim;
        }
    }
    return Out;
}

TEST(Discovery, ReadsTheVendorValueOnceAtCreation) {
    auto Host = std::make_shared<RecordingHost>();
    const TQueltBurner Burner(nullptr, Host);
    ASSERT_EQ(Host->Calls.size(), 2U);
    EXPECT_EQ(Host->Calls[0].Name, "ReadUserString");
    EXPECT_EQ(Host->Calls[0].Args,
              (std::vector<UnicodeString>{u"Software\\ahead\\Nero - Burning Rom\\General",
                                          u"RegisteredTypesNeroPath"}));
    EXPECT_EQ(Host->Calls[1].Name, "FileExists");
    EXPECT_EQ(Host->Calls[1].Args, std::vector<UnicodeString>{u"NeroCmd.exe"});
}

TEST(Discovery, CandidateIsTheValuesFolderPlusTheToolName) {
    const struct {
        const char* Case;
        RegistryValueKind Kind;
        UnicodeString Value;
        UnicodeString ExistingFile; // empty: no file exists
        UnicodeString Expected;
    } Rows[] = {
        {"file in a folder holding the tool", RegistryValueKind::Text, P(u"|opt|nero|nero.exe"),
         P(u"|opt|nero|NeroCmd.exe"), P(u"|opt|nero|NeroCmd.exe")},
        {"folder with trailing separator", RegistryValueKind::Text, P(u"|opt|nero|"),
         P(u"|opt|nero|NeroCmd.exe"), P(u"|opt|nero|NeroCmd.exe")},
        {"folder lacks the tool", RegistryValueKind::Text, P(u"|opt|nero|nero.exe"), u"", u""},
        {"missing value, tool in the current folder", RegistryValueKind::Missing, u"",
         u"NeroCmd.exe", u"NeroCmd.exe"},
        {"missing value, no tool", RegistryValueKind::Missing, u"", u"", u""},
        {"value of another type", RegistryValueKind::OtherType, P(u"|opt|nero|nero.exe"),
         u"NeroCmd.exe", u"NeroCmd.exe"},
        {"value without a separator", RegistryValueKind::Text, u"nero.exe", u"NeroCmd.exe",
         u"NeroCmd.exe"},
        {"folder name with blanks", RegistryValueKind::Text, P(u"|opt|Nero Burning Rom|x"),
         P(u"|opt|Nero Burning Rom|NeroCmd.exe"), P(u"|opt|Nero Burning Rom|NeroCmd.exe")},
    };
    for (const auto& Row : Rows) {
        auto Host = std::make_shared<RecordingHost>();
        Host->Registry = {Row.Kind, Row.Value};
        if (!Row.ExistingFile.empty()) {
            Host->Files.insert(Row.ExistingFile);
        }
        const TQueltBurner Burner(nullptr, Host);
        EXPECT_EQ(Burner.NeroCmdLocation, Row.Expected) << Row.Case;
    }
}

TEST(Discovery, ARegistryFailureMeansNotRegistered) {
    auto Host = std::make_shared<RecordingHost>();
    Host->Registry = {RegistryValueKind::Text, P(u"|opt|nero|nero.exe")};
    Host->Files = {P(u"|opt|nero|NeroCmd.exe"), u"NeroCmd.exe"};
    Host->BeforeAnswer = [](const QueltTest::HostCall& Call) {
        if (Call.Name == "ReadUserString") {
            throw std::runtime_error("registry unreadable");
        }
    };
    const TQueltBurner Burner(nullptr, Host);
    EXPECT_EQ(Burner.NeroCmdLocation, u"NeroCmd.exe");
}

// The candidate's folder is the value up to and including its last separator.
TEST(Discovery, FolderOfTheValueEndsAtItsLastSeparator) {
    const struct {
        UnicodeString Path;
        UnicodeString Folder;
    } Rows[] = {
        {u"", u""},
        {u"name.exe", u""},
        {P(u"|"), P(u"|")},
        {P(u"a|b|"), P(u"a|b|")},
        {P(u"a|b|c.exe"), P(u"a|b|")},
        {P(u"||server|share|x"), P(u"||server|share|")},
        // Only the platform's separator counts.
        {System::Sysutils::PathDelim == u'/' ? u"C:\\x\\y" : u"/x/y", u""},
    };
    for (const auto& Row : Rows) {
        auto Host = std::make_shared<RecordingHost>();
        Host->Registry = {RegistryValueKind::Text, Row.Path};
        Host->Files = {Row.Folder + u"NeroCmd.exe"};
        const TQueltBurner Burner(nullptr, Host);
        EXPECT_EQ(Burner.NeroCmdLocation, Row.Folder + u"NeroCmd.exe")
            << System::Sysutils::UTF8Encode(Row.Path);
    }
}

} // namespace
