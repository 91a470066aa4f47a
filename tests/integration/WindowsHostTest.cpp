// The component through the Win32 host, with the stand-in NeroCmd.exe as a real process: the
// registry, drive types, the raw command line the tool receives, show states, exit codes, the
// application name, and the batch-file rule. Runs under Wine (drive E a CD-ROM drive, the vendor
// value written by the test script) as on Windows.
#include "QueltBurner.hpp"
#include "StandinLog.hpp"
#include "TestFiles.hpp"
#include "Win32HostServices.hpp"

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

namespace fs = std::filesystem;
using Queltburner::TQueltBurner;
using QueltTest::PathText;
using QueltTest::ReadStandinLog;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;
using System::UnicodeString;
using Strings = std::vector<std::string>;

// The build names its programs by their host paths; under Wine a host path is a path on Z:.
fs::path WindowsPath(const std::string& Path) {
    if (!Path.empty() && Path.front() == '/') {
        std::string Windows = "Z:" + Path;
        std::replace(Windows.begin(), Windows.end(), '/', '\\');
        return Windows;
    }
    return Path;
}

const fs::path Standin = WindowsPath(QUELT_STANDIN_PATH);
const fs::path Cli = WindowsPath(QUELT_CLI_PATH);
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

// A batch-file tool runs through the command interpreter; values it would read its own way are
// never handed to it.
TEST(WindowsHost, BatchFileToolRefusesValuesTheInterpreterWouldRead) {
    WindowsWorld W;
    const fs::path Marker = W.Dir.Path() / "ran.txt";
    const fs::path Batch = W.Dir.Write("tool.bat", "@echo off\r\necho ran> \"" + Marker.string() +
                                                       "\"\r\nexit /b 0\r\n");
    W.Burner->NeroCmdLocation = PathText(Batch);
    W.Burner->Files()->Add(PathText(Marker.parent_path()));
    for (const char16_t* Title : {u"100%", u"%PATH%", u"Hi!", u"say \"x\"", u"a\nb"}) {
        W.Burner->SetTitle(Title);
        W.Events.clear();
        EXPECT_EQ(W.Burner->BurnData(u'E'), -1);
        EXPECT_EQ(W.Events, Strings{"OnError(-1)"});
        EXPECT_FALSE(fs::exists(Marker));
    }
    // The same tool with plain values runs.
    W.Burner->SetTitle(u"Plain title");
    EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
    EXPECT_TRUE(fs::exists(Marker));
}

// CreateProcessW takes at most 32,767 code units including the terminating NUL. A longer command
// line must fail to start rather than reach the tool cut short; one at the limit runs whole.
TEST(WindowsHost, CommandLineAtTheSystemLimitRunsAndPastItIsAFailedStart) {
    const std::u16string Tool = PathText(Standin);
    const std::u16string Program =
        Tool.find_first_of(u" \t") == std::u16string::npos ? Tool : u"\"" + Tool + u"\"";
    const std::u16string Head = Program + u" --write --drivename \"E\" --real --title \"";
    const std::u16string Tail = u"\" --recursive --speed 4 --iso \"NEW\" --underrun_prot ";
    for (const std::size_t Length : {std::size_t{32766}, std::size_t{32767}, std::size_t{32768}}) {
        const std::u16string Title(Length - Head.size() - Tail.size(), u'x');
        const std::u16string Expected = Head + Title + Tail;
        ASSERT_EQ(Expected.size(), Length);
        for (const bool Synchronous : {true, false}) {
            const std::string Case =
                std::to_string(Length) + (Synchronous ? " waiting" : " not waiting");
            WindowsWorld W;
            W.Burner->SetSynchronous(Synchronous);
            W.Burner->SetTitle(Title);
            const int Result = W.Burner->BurnData(u'E');
            if (Length <= 32766) {
                EXPECT_EQ(Result, 0) << Case;
                const auto Runs = W.RunsAfterLaunch(1);
                ASSERT_EQ(Runs.size(), 1U) << Case;
                ASSERT_TRUE(Runs[0].CommandLine.has_value()) << Case;
                EXPECT_EQ(Runs[0].CommandLine->size(), Length) << Case;
                EXPECT_TRUE(*Runs[0].CommandLine == QueltTest::Utf8(Expected)) << Case;
            } else {
                EXPECT_EQ(Result, -1) << Case;
                EXPECT_EQ(W.Events, Synchronous ? Strings{"OnError(-1)"} : Strings{}) << Case;
                // Give a launch that should not have happened the time to show up in the log.
                const auto Runs = W.RunsAfterLaunch(1);
                const std::string Received =
                    Runs.empty() || !Runs[0].CommandLine ? std::string() : *Runs[0].CommandLine;
                EXPECT_TRUE(Runs.empty())
                    << Case << ": the tool received " << Received.size()
                    << " code units ending in \""
                    << Received.substr(Received.size() - std::min<std::size_t>(Received.size(), 24))
                    << "\"";
            }
        }
    }
}

} // namespace

namespace {

// The tool's lines and progress through pipes the Win32 host reads with overlapped reads.
TEST(WindowsHostWatching, StandinProgressAndLinesArriveInOrder) {
    WindowsWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    const ScopedEnv Error{"NEROCMD_STDERR", "a warning"};
    Strings Seen;
    W.Burner->SetOnProgress([&Seen](System::TObject*, const UnicodeString& Phase, double Percent) {
        Seen.push_back(QueltTest::Utf8(Phase) + " " + std::to_string(Percent).substr(0, 5));
    });
    Strings Lines;
    W.Burner->SetOnOutput([&Lines](System::TObject*, const UnicodeString& Line, bool IsError) {
        Lines.push_back((IsError ? "err:" : "out:") + QueltTest::Utf8(Line));
    });
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(Seen, (Strings{"preparing 0.000", "preparing 100.0", "writing 0.000", "writing 25.00",
                             "writing 50.00", "writing 75.00", "writing 100.0"}));
    ASSERT_EQ(Lines.size(), 9U);
    EXPECT_EQ(Lines.front(), "out:NeroCmd stand-in: would open the tray of drive E");
    EXPECT_EQ(Lines.back(), "err:NeroCmd stand-in: a warning");
    EXPECT_EQ(W.Events, Strings{"OnSuccess"});
}

TEST(WindowsHostWatching, CancelFromAnotherThreadAndTimeoutEndTheTool) {
    WindowsWorld W;
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "30000"};
    for (int Run = 0; Run < 3; ++Run) {
        // The cancel comes once the tool has started (it logs before it waits): a cancel before
        // that would end a tool that never got as far as the log, which proves nothing.
        std::thread Canceller([&W, Run] {
            W.WaitForLoggedLines(static_cast<std::size_t>(Run) + 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(50 * Run));
            W.Burner->Cancel();
        });
        const auto Start = std::chrono::steady_clock::now();
        EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultCancelled) << Run;
        Canceller.join();
        EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10)) << Run;
    }
    // Long enough for a loaded machine to start the tool under the emulator, far below its 30 s.
    W.Burner->SetTimeout(3000);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultTimedOut);
    const auto Took = std::chrono::steady_clock::now() - Start;
    EXPECT_GE(Took, std::chrono::milliseconds(3000));
    EXPECT_LT(Took, std::chrono::seconds(10));
    EXPECT_EQ(W.Events, (Strings{"OnError(-4)", "OnError(-4)", "OnError(-4)", "OnError(-5)"}));
    // Every run reached the tool, and each was ended: none is left waiting out its 30 s.
    EXPECT_EQ(W.Runs().size(), 4U);
}

} // namespace

namespace {

// Jobs on the Win32 host: the stand-in's progress as the job's, and a cancel right after the start
// that the tool never outlives.
TEST(WindowsHostJobs, AJobWatchesTheStandinAndKeepsAnEarlyCancel) {
    WindowsWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    std::vector<double> Overall;
    Queltburner::TJobEvents Events;
    Events.OnProgress = [&Overall](const Queltburner::TJobProgress& P) {
        Overall.push_back(P.Overall);
    };
    const auto Job = W.Burner->StartEject(u'E', Events);
    EXPECT_EQ(Job->Wait().Result, 0);
    ASSERT_FALSE(Overall.empty());
    EXPECT_TRUE(std::is_sorted(Overall.begin(), Overall.end()));
    EXPECT_EQ(Overall.back(), 100);

    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "30000"};
    const auto Start = std::chrono::steady_clock::now();
    const auto Cancelled = W.Burner->StartEject(u'E');
    Cancelled->Cancel();
    EXPECT_EQ(Cancelled->Wait().Error, Queltburner::TBurnError::Cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10));
    EXPECT_TRUE(W.Events.empty()) << "a job fires only its own events";
}

} // namespace
