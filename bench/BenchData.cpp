#include "BenchData.hpp"

#include "AllocationCounter.hpp"

#include "CommandLineSplit.hpp"
#include "ComposeOnlyHost.hpp"
#include "QueltBurner.hpp"
#include "System.SysUtils.hpp"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <unordered_set>

namespace QueltBench {

namespace {

std::string& EntryFolder() {
    static std::string Folder;
    return Folder;
}

// Names shaped like real ones (a folder and a numbered file), all of one length.
std::string EntryName(std::size_t Index) {
    char Name[32];
    std::snprintf(Name, sizeof Name, "/entry-%06zu.dat", Index);
    return EntryFolder() + Name;
}

std::vector<std::string>& MutableEntryPaths() {
    static std::vector<std::string> Paths;
    return Paths;
}

std::vector<System::UnicodeString>& MutableEntryTexts() {
    static std::vector<System::UnicodeString> Texts;
    return Texts;
}

} // namespace

const std::string& StandinPath() {
    static const std::string Path = QUELT_STANDIN_PATH;
    return Path;
}

const System::UnicodeString& StandinPathText() {
    static const System::UnicodeString Text = System::Sysutils::UTF8ToString(StandinPath());
    return Text;
}

const std::string& ToolPath(BenchTool Tool) {
    static const std::string NoOp = QUELT_NOOP_TOOL_PATH;
    return Tool == BenchTool::NoOp ? NoOp : StandinPath();
}

const std::vector<System::UnicodeString>& EntryTexts() {
    return MutableEntryTexts();
}

const std::vector<std::string>& EntryPaths() {
    return MutableEntryPaths();
}

void CreateEntryFiles() {
    std::string Template = "/tmp/queltbench-XXXXXX";
    if (mkdtemp(Template.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder for the entries");
    }
    EntryFolder() = Template;
    auto& Paths = MutableEntryPaths();
    auto& Texts = MutableEntryTexts();
    Paths.reserve(MaxEntries);
    Texts.reserve(MaxEntries);
    for (std::size_t Index = 0; Index < MaxEntries; ++Index) {
        Paths.push_back(EntryName(Index));
        Texts.push_back(System::Sysutils::UTF8ToString(Paths.back()));
    }
    for (std::size_t Index = 0; Index < ExistingFileCount; ++Index) {
        const int Descriptor = open(Paths[Index].c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (Descriptor < 0) {
            throw std::runtime_error("cannot create " + Paths[Index]);
        }
        close(Descriptor);
    }
}

void RemoveEntryFiles() noexcept {
    if (EntryFolder().empty()) {
        return;
    }
    const auto& Paths = MutableEntryPaths();
    for (std::size_t Index = 0; Index < ExistingFileCount && Index < Paths.size(); ++Index) {
        (void)unlink(Paths[Index].c_str());
    }
    (void)rmdir(EntryFolder().c_str());
    EntryFolder().clear();
}

void PrepareBurner(Queltburner::TQueltBurner& Burner, std::size_t Count, BenchTool Tool) {
    Burner.NeroCmdLocation = System::Sysutils::UTF8ToString(ToolPath(Tool));
    Burner.SetSynchronous(true);
    Burner.SetShowMessages(false);
    Burner.Files()->Clear();
    for (std::size_t Index = 0; Index < Count; ++Index) {
        Burner.Files()->Add(EntryTexts()[Index]);
    }
}

namespace {

template <typename Operation>
System::UnicodeString Captured(std::size_t Count, Operation Run) {
    std::unordered_set<System::UnicodeString> Existing(
        EntryTexts().begin(), EntryTexts().begin() + static_cast<std::ptrdiff_t>(Count));
    Existing.insert(StandinPathText());
    auto Host = std::make_shared<ComposeOnlyHost>(std::move(Existing));
    Host->KeepCommandLines(true);
    Queltburner::TQueltBurner Burner(nullptr, Host);
    PrepareBurner(Burner, Count);
    if (Run(Burner) != 0) {
        throw std::runtime_error("the component did not run its command line");
    }
    return Host->LastCommandLine();
}

} // namespace

System::UnicodeString DataCommandLine(std::size_t Count) {
    return Captured(Count, [](Queltburner::TQueltBurner& Burner) { return Burner.BurnData(u'E'); });
}

PeerFactory& QProcessPeer() {
    static PeerFactory Factory = nullptr;
    return Factory;
}

System::UnicodeString EjectCommandLine() {
    return Captured(0, [](Queltburner::TQueltBurner& Burner) { return Burner.Eject(u'E'); });
}

std::vector<std::string> ArgvOf(const System::UnicodeString& CommandLine) {
    std::vector<std::string> Argv;
    for (const System::UnicodeString& Item : Queltburner::SplitCommandLine(CommandLine)) {
        Argv.push_back(System::Sysutils::UTF8Encode(Item));
    }
    return Argv;
}

std::vector<std::string> ArgvWithTool(const System::UnicodeString& CommandLine, BenchTool Tool) {
    std::vector<std::string> Argv = ArgvOf(CommandLine);
    if (!Argv.empty()) {
        Argv.front() = ToolPath(Tool);
    }
    return Argv;
}

void MeasurePeakExtraHeap(benchmark::State& State, Queltburner::TQueltBurner& Burner,
                          const std::function<std::size_t()>& LineLength) {
    std::size_t PeakExtra = 0;
    for (auto _ : State) {
        const std::size_t Before = LiveHeapBytes();
        ResetHeapPeak();
        if (Burner.BurnData(u'E') != 0) {
            State.SkipWithError("BurnData did not return 0");
            break;
        }
        PeakExtra = std::max(PeakExtra, PeakHeapBytes() - Before);
    }
    const double LineBytes = static_cast<double>(LineLength() * 2);
    State.counters["peak_extra_bytes"] = static_cast<double>(PeakExtra);
    State.counters["command_line_bytes"] = LineBytes;
    State.counters["ratio"] = static_cast<double>(PeakExtra) / LineBytes;
}

} // namespace QueltBench
