// The component's own work with no platform work under it: BurnData through a host whose file
// tests answer from a set and whose process start only notes the command line. Its floor is the
// same final text built by plain appends to one std::u16string.
#include "AllocationCounter.hpp"
#include "BenchData.hpp"
#include "ComposeOnlyHost.hpp"
#include "QueltBurner.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

namespace QueltBench {

namespace {

std::shared_ptr<ComposeOnlyHost> HostWithEntries(std::size_t Count) {
    std::unordered_set<System::UnicodeString> Existing(
        EntryTexts().begin(), EntryTexts().begin() + static_cast<std::ptrdiff_t>(Count));
    Existing.insert(StandinPathText());
    return std::make_shared<ComposeOnlyHost>(std::move(Existing));
}

// Times BurnData with Count entries through Host, which only notes the command line.
void TimeComposition(benchmark::State& State, const std::shared_ptr<ComposeOnlyHost>& Host) {
    const auto Count = static_cast<std::size_t>(State.range(0));
    Queltburner::TQueltBurner Burner(nullptr, Host);
    PrepareBurner(Burner, Count);
    for (auto _ : State) {
        if (Burner.BurnData(u'E') != 0) {
            State.SkipWithError("BurnData did not return 0");
            break;
        }
    }
    State.counters["command_line_units"] = static_cast<double>(Host->LastCommandLineLength());
}

void ComposeLibrary(benchmark::State& State) {
    TimeComposition(State, HostWithEntries(static_cast<std::size_t>(State.range(0))));
}

// The same with file tests that cost nothing: the component's composition alone.
void ComposeWithoutLookups(benchmark::State& State) {
    TimeComposition(State, std::make_shared<ComposeOnlyHost>());
}

// The same text as the component's, from the same pieces: the fixed head, then each entry in
// double quotes and a blank. The entries need no escaping, so the pieces are the whole text.
void ComposeFloor(benchmark::State& State) {
    const auto Count = static_cast<std::size_t>(State.range(0));
    const System::UnicodeString Expected = DataCommandLine(Count);
    const System::UnicodeString Head =
        Count == 0 ? Expected : Expected.substr(0, Expected.find(u'"' + EntryTexts()[0]));
    const std::vector<System::UnicodeString>& Entries = EntryTexts();
    std::u16string Text;
    for (auto _ : State) {
        Text = Head;
        for (std::size_t Index = 0; Index < Count; ++Index) {
            Text += u'"';
            Text += Entries[Index];
            Text += u"\" ";
        }
        benchmark::DoNotOptimize(Text.data());
        // A fresh string each run, as the component starts one for each command line.
        std::u16string().swap(Text);
    }
    Text = Head;
    for (std::size_t Index = 0; Index < Count; ++Index) {
        Text += u'"';
        Text += Entries[Index];
        Text += u"\" ";
    }
    if (Text != Expected) {
        State.SkipWithError("the floor does not build the component's text");
    }
}

// For the record: what the bench host's set lookups alone cost, one per entry.
void HostLookups(benchmark::State& State) {
    const auto Count = static_cast<std::size_t>(State.range(0));
    const std::shared_ptr<ComposeOnlyHost> Host = HostWithEntries(Count);
    const std::vector<System::UnicodeString>& Entries = EntryTexts();
    for (auto _ : State) {
        std::size_t Found = 0;
        for (std::size_t Index = 0; Index < Count; ++Index) {
            Found += Host->FileExists(Entries[Index]) ? 1U : 0U;
        }
        benchmark::DoNotOptimize(Found);
    }
}

// The highest heap use one BurnData adds on top of what was live before it, against the bytes of
// the command line it composes.
void ComposePeakMemory(benchmark::State& State) {
    const auto Count = static_cast<std::size_t>(State.range(0));
    const std::shared_ptr<ComposeOnlyHost> Host = HostWithEntries(Count);
    Queltburner::TQueltBurner Burner(nullptr, Host);
    PrepareBurner(Burner, Count);
    MeasurePeakExtraHeap(State, Burner, [&Host] { return Host->LastCommandLineLength(); });
}

} // namespace

BENCHMARK(ComposeLibrary)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ComposeWithoutLookups)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ComposeFloor)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(HostLookups)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ComposePeakMemory)->Arg(100'000)->Iterations(3)->Unit(benchmark::kMicrosecond);

} // namespace QueltBench
