// The component through the Win32 host, with the stand-in NeroCmd.exe as a real process: the
// registry, drive types, the raw command line the tool receives, show states, exit codes and the
// application name. Runs under Wine (drive E a CD-ROM drive, the vendor value written by the test
// script) as on Windows.
#include "WindowsHostSupport.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

namespace {

using namespace WindowsHostTest;

const std::wstring NeroKey = L"Software\\ahead\\Nero - Burning Rom\\General";
const std::wstring NeroValue = L"RegisteredTypesNeroPath";

// Sets the vendor value for the life of the object, and puts back what was there.
class ScopedRegistryValue {
public:
    ScopedRegistryValue(DWORD Type, const void* Data, DWORD Size) {
        DWORD OldSize = sizeof FOld;
        FHadOld = RegGetValueW(HKEY_CURRENT_USER, NeroKey.c_str(), NeroValue.c_str(), RRF_RT_ANY,
                               &FOldType, FOld, &OldSize) == ERROR_SUCCESS;
        FOldSize = OldSize;
        if (Data == nullptr) {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, NeroKey.c_str(), NeroValue.c_str());
        } else {
            EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, NeroKey.c_str(), NeroValue.c_str(), Type,
                                      Data, Size),
                      ERROR_SUCCESS);
        }
    }
    static ScopedRegistryValue Text(const std::wstring& Value) {
        return {REG_SZ, Value.c_str(), static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t))};
    }
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue(ScopedRegistryValue&&) = delete;
    ScopedRegistryValue& operator=(ScopedRegistryValue&&) = delete;
    ~ScopedRegistryValue() {
        if (FHadOld) {
            RegSetKeyValueW(HKEY_CURRENT_USER, NeroKey.c_str(), NeroValue.c_str(), FOldType, FOld,
                            FOldSize);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, NeroKey.c_str(), NeroValue.c_str());
        }
    }

private:
    bool FHadOld = false;
    DWORD FOldType = 0;
    BYTE FOld[4096]{};
    DWORD FOldSize = 0;
};

TEST(WindowsHost, DiscoveryReadsTheRealRegistry) {
    const fs::path ToolFolder = Standin.parent_path();
    TempDir Empty;
    const DWORD Number = 1;
    const struct {
        const char* Case;
        std::function<std::unique_ptr<ScopedRegistryValue>()> Set;
        UnicodeString Expected;
    } Rows[] = {
        {"value naming a file in the tool's folder",
         [&] {
             return std::make_unique<ScopedRegistryValue>(
                 REG_SZ, (ToolFolder / "nero.exe").wstring().c_str(),
                 static_cast<DWORD>(((ToolFolder / "nero.exe").wstring().size() + 1) * 2));
         },
         PathText(ToolFolder) + u"\\NeroCmd.exe"},
        {"missing value", [] { return std::make_unique<ScopedRegistryValue>(REG_SZ, nullptr, 0); },
         u""},
        {"value of another type",
         [&] {
             return std::make_unique<ScopedRegistryValue>(REG_DWORD, &Number,
                                                          static_cast<DWORD>(sizeof Number));
         },
         u""},
        {"folder without the tool",
         [&] {
             return std::make_unique<ScopedRegistryValue>(
                 REG_SZ, (Empty.Path() / "x.exe").wstring().c_str(),
                 static_cast<DWORD>(((Empty.Path() / "x.exe").wstring().size() + 1) * 2));
         },
         u""},
    };
    // The current folder holds no NeroCmd.exe, so a bare name finds nothing.
    const fs::path Before = fs::current_path();
    fs::current_path(Empty.Path());
    for (const auto& Row : Rows) {
        const auto Value = Row.Set();
        const TQueltBurner Burner(nullptr,
                                  std::make_shared<Queltburner::Win32::Win32HostServices>());
        EXPECT_EQ(Burner.NeroCmdLocation, Row.Expected) << Row.Case;
    }
    fs::current_path(Before);
}

TEST(WindowsHost, TheTestScriptsRegistryValueFindsTheStandin) {
    const TQueltBurner Burner(nullptr);
    EXPECT_EQ(fs::path(Burner.NeroCmdLocation), Standin.parent_path() / "NeroCmd.exe");
}

TEST(WindowsHost, OnlyTheCdRomDrivePassesTheDriveCheck) {
    WindowsWorld W;
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(W.Burner->Eject(u'e'), 0);
    EXPECT_EQ(W.Burner->Eject(u'C'), -2);
    EXPECT_EQ(W.Burner->Eject(u'Q'), -2);
    EXPECT_EQ(W.Runs().size(), 2U);
}

// The tool receives, character for character, the command line the component composed.
TEST(WindowsHost, TheToolReceivesTheComposedCommandLine) {
    WindowsWorld W;
    const std::string Track = (W.Dir.Path() / "track1.wav").string();
    const std::string Folder = (W.Dir.MakeDir("pictures")).string();
    W.Dir.Write("track1.wav", "a");
    const std::string Image = W.Dir.Write("disc.iso", "iso").string();
    W.Burner->Files()->Add(QueltTest::Utf16(Track));
    W.Burner->Files()->Add(QueltTest::Utf16(Folder + "\\"));
    const std::string Tool = Standin.string();
    const std::string Entries = " \"" + Track + "\" \"" + Folder + "\\\\\" ";
    const struct {
        const char* Case;
        std::function<int(TQueltBurner&)> Run;
        std::string Expected;
    } Rows[] = {
        {"data", [](TQueltBurner& B) { return B.BurnData(u'E'); },
         Tool +
             " --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" "
             "--underrun_prot" +
             Entries},
        {"audio", [](TQueltBurner& B) { return B.BurnAudio(u'E'); },
         Tool + " --write --drivename \"E\" --real --recursive --speed 4 --audio" + Entries},
        {"video", [](TQueltBurner& B) { return B.BurnVideo(u'E'); },
         Tool + " --write --drivename \"E\" --real --videocd --recursive --speed 4" + Entries},
        {"super video", [](TQueltBurner& B) { return B.BurnSuperVideo(u'E'); },
         Tool + " --write --drivename \"E\" --real --svideocd --recursive --speed 4" + Entries},
        {"dvd-video", [](TQueltBurner& B) { return B.BurnDVDVideo(u'E'); },
         Tool +
             " --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" "
             "--underrun_prot --dvd "
             "--create_iso_fs --create_udf_fs --iso-no-joliet --dvdvideo_realloc" +
             Entries},
        {"image", [&Image](TQueltBurner& B) { return B.BurnImage(QueltTest::Utf16(Image), u'E'); },
         Tool + " --write --drivename \"E\" --real --image \"" + Image +
             "\" --speed 4 --underrun_prot "},
        {"quick erase", [](TQueltBurner& B) { return B.Erase(u'E', false); },
         Tool + " --erase --drivename \"E\""},
        {"full erase", [](TQueltBurner& B) { return B.Erase(u'E', true); },
         Tool + " --erase  --entire --drivename \"E\""},
        {"eject", [](TQueltBurner& B) { return B.Eject(u'E'); },
         Tool + " --eject --drivename \"E\""},
    };
    std::size_t Count = 0;
    for (const auto& Row : Rows) {
        W.Events.clear();
        EXPECT_EQ(Row.Run(*W.Burner), 0) << Row.Case;
        EXPECT_EQ(W.Events, Strings{"OnSuccess"}) << Row.Case;
        const auto Runs = W.Runs();
        ASSERT_EQ(Runs.size(), ++Count) << Row.Case;
        EXPECT_EQ(Runs.back().CommandLine, Row.Expected) << Row.Case;
        EXPECT_TRUE(Runs.back().Accepted) << Row.Case;
    }
    // The folder written with its trailing backslash reaches the tool as one argument.
    EXPECT_EQ(W.Runs().front().Argv.back(), Folder + "\\");
}

TEST(WindowsHost, ShowStateFollowsHideNeroCmdWaitingAndNot) {
    WindowsWorld W;
    std::vector<unsigned> Expected;
    for (const bool Synchronous : {true, false}) {
        for (const bool Hide : {false, true}) {
            W.Burner->SetSynchronous(Synchronous);
            W.Burner->SetHideNeroCmd(Hide);
            EXPECT_EQ(W.Burner->Eject(u'E'), 0);
            Expected.push_back(Hide ? 0U : 1U);
            W.RunsAfterLaunch(Expected.size());
        }
    }
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 4U);
    for (std::size_t I = 0; I < Runs.size(); ++I) {
        EXPECT_EQ(Runs[I].Show, Expected[I]) << I;
    }
}

TEST(WindowsHost, ExitCodesComeBackAsSignedResults) {
    WindowsWorld W;
    const struct {
        const char* Exit;
        int Result;
        const char* Event;
    } Rows[] = {{"0", 0, "OnSuccess"},
                {"3", 3, "OnError(3)"},
                {"4294967294", -2, "OnError(-2)"},
                {"2147483648", INT32_MIN, "OnError(-2147483648)"}};
    for (const auto& Row : Rows) {
        ScopedEnv Exit{"NEROCMD_EXIT", Row.Exit};
        W.Events.clear();
        EXPECT_EQ(W.Burner->Eject(u'E'), Row.Result) << Row.Exit;
        EXPECT_EQ(W.Events, Strings{Row.Event}) << Row.Exit;
    }
}

// The tool started is the one checked: a program named like the path's first word never runs.
TEST(WindowsHost, ToolInAFolderWithABlankStartsAndNotTheFirstWord) {
    WindowsWorld W;
    const fs::path Folder = W.Dir.MakeDir("Nero Burning");
    fs::copy_file(Standin, Folder / "NeroCmd.exe");
    fs::copy_file(Cli, W.Dir.Path() / "Nero.exe"); // would exit 2 if it ran
    W.Burner->NeroCmdLocation = PathText(Folder / "NeroCmd.exe");
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(W.Events, Strings{"OnSuccess"});
    W.Burner->SetSynchronous(false);
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    const auto Runs = W.RunsAfterLaunch(2);
    ASSERT_EQ(Runs.size(), 2U);
    EXPECT_EQ(Runs[0].CommandLine,
              "\"" + (Folder / "NeroCmd.exe").string() + "\" --eject --drivename \"E\"");
    EXPECT_EQ(Runs[0].Argv[0], (Folder / "NeroCmd.exe").string());
}

// A bare tool name is the file in the current folder that the tool check found; Windows' own
// search would first try the folder of the running program, where a decoy waits here.
TEST(WindowsHost, BareToolNameRunsTheCheckedFileNotASearchResult) {
    WindowsWorld W;
    wchar_t Module[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, Module, MAX_PATH), 0U);
    const fs::path Decoy = fs::path(Module).parent_path() / "NeroCmd.exe";
    ASSERT_FALSE(fs::exists(Decoy));
    fs::copy_file(Cli, Decoy); // would exit 2 if it ran
    const fs::path Folder = W.Dir.MakeDir("cwd");
    fs::copy_file(Standin, Folder / "NeroCmd.exe");
    const fs::path Before = fs::current_path();
    fs::current_path(Folder);
    W.Burner->NeroCmdLocation = u"NeroCmd.exe";
    const int Result = W.Burner->Eject(u'E');
    fs::current_path(Before);
    fs::remove(Decoy);
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(W.Runs().size(), 1U);
}

TEST(WindowsHost, ToolThatCannotStartIsMinusOneWaitingOrNot) {
    WindowsWorld W;
    W.Burner->NeroCmdLocation = PathText(W.Dir.Write("NeroCmd.exe", "not a program"));
    EXPECT_EQ(W.Burner->Eject(u'E'), -1);
    EXPECT_EQ(W.Events, Strings{"OnError(-1)"});
    W.Burner->SetSynchronous(false);
    EXPECT_EQ(W.Burner->Eject(u'E'), -1);
    EXPECT_EQ(W.Events, Strings{"OnError(-1)"});
}

} // namespace
