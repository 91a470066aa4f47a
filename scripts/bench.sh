#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them, then prints a markdown table of each measurement
# against its floor measured in the same run, with the machine it ran on. Ratios, not absolute
# times, are what carry over between machines.
# Usage: scripts/bench.sh [BUILD_DIR]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/bench}
scripts/deps.sh
# Google Benchmark, and Qt 6 Core for the QProcess peer (without it that row says it was skipped).
bench_missing=()
for package in libbenchmark-dev qt6-base-dev; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        bench_missing+=("$package")
    fi
done
if [[ ${#bench_missing[@]} -gt 0 ]]; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${bench_missing[@]}" >/dev/null
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUELT_BUILD_BENCHMARKS=ON \
    -DQUELT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target quelt_bench quelt_recorder_bench

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
# The JSON goes to a file of its own: the stand-in tool writes a line to standard output on every
# run, which would otherwise end up in the middle of it. Repetitions are interleaved so that a
# change in the machine's load hits a measurement and its floor alike.
echo "Running the benchmarks (a few minutes)..." >&2
"$build_dir/bench/quelt_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true --benchmark_format=json \
    --benchmark_out="$results/results.json" --benchmark_out_format=json >"$results/console.txt"

python3 - "$results/results.json" <<'PY'
import json, os, sys

with open(sys.argv[1]) as f:
    data = json.load(f)
median = {b["run_name"]: b for b in data["benchmarks"] if b.get("aggregate_name") == "median"}
if any(b.get("error_occurred") for b in data["benchmarks"]):
    sys.exit("a benchmark reported an error: " + ", ".join(
        b["name"] for b in data["benchmarks"] if b.get("error_occurred")))

SCALE = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}

def micros(name, clock):
    b = median[name]
    return b[clock] * SCALE[b["time_unit"]]

def show_time(us):
    return f"{us / 1000:.2f} ms" if us >= 1000 else f"{us:.1f} µs"

def show_bytes(n):
    return f"{n / 1e6:.2f} MB"

rows = []
def timed(label, subject, floor, clock, goal):
    s, f = micros(subject, clock), micros(floor, clock)
    rows.append((label, show_time(s), show_time(f), s / f, goal))

def memory(label, name, goal):
    b = median[name]
    rows.append((label, show_bytes(b["peak_extra_bytes"]) + " peak extra",
                 show_bytes(b["command_line_bytes"]) + " command line", b["ratio"], goal))

# Runs that start a process are timed on the wall clock (the caller waits for the tool); the rest
# on the CPU clock, which a busy machine disturbs less.
timed("Eject, waiting, POSIX host vs posix_spawn + waitpid (stand-in tool)",
      "EjectWaitedLibrary/0/min_time:2.000/real_time", "EjectWaitedFloor/0/min_time:2.000/real_time", "real_time", 1.05)
timed("Eject, waiting, POSIX host vs posix_spawn + waitpid (a tool that does nothing)",
      "EjectWaitedLibrary/1/min_time:2.000/real_time", "EjectWaitedFloor/1/min_time:2.000/real_time", "real_time", 1.05)
# The waiting Eject and its peers, each round running every way once in a shuffled order: the
# counters are each way's median over the rounds of a repetition.
rounds = median["EjectPeersInRounds/1/min_time:2.000/real_time"]
def round_row(label, subject, floor, goal):
    if subject not in rounds or floor not in rounds:
        rows.append((label, "skipped (Qt 6 Core was not found)", "—", None, goal))
        return
    rows.append((label, show_time(rounds[subject]), show_time(rounds[floor]),
                 rounds[subject] / rounds[floor], goal))
round_row("Eject, waiting, POSIX host vs posix_spawn + waitpid, interleaved rounds (a tool that does "
          "nothing)", "library_us", "floor_us", 1.05)
round_row("QProcess start + waitForFinished vs posix_spawn + waitpid, interleaved rounds (a tool that "
          "does nothing)", "qprocess_us", "floor_us", None)
round_row("Eject, waiting, POSIX host vs QProcess start + waitForFinished, interleaved rounds (a tool "
          "that does nothing)", "library_us", "qprocess_us", 1.0)
timed("BurnData, 10,000 existing files, waiting, POSIX host vs stat loop + posix_spawn + waitpid "
      "(stand-in tool)", "BurnDataPosixLibrary/10000/0/real_time",
      "BurnDataPosixFloor/10000/0/real_time", "real_time", 1.2)
timed("BurnData, 10,000 existing files, waiting, POSIX host vs stat loop + posix_spawn + waitpid "
      "(a tool that does nothing)", "BurnDataPosixLibrary/10000/1/real_time",
      "BurnDataPosixFloor/10000/1/real_time", "real_time", 1.2)
timed("Composition alone (free file tests), 10,000 entries vs u16string appends",
      "ComposeWithoutLookups/10000", "ComposeFloor/10000", "cpu_time", 3.0)
timed("Scaling: composition alone 100,000 vs 10,000 entries", "ComposeWithoutLookups/100000",
      "ComposeWithoutLookups/10000", "cpu_time", 12.0)
timed("Composition with set-lookup file tests, 10,000 entries vs u16string appends",
      "ComposeLibrary/10000", "ComposeFloor/10000", "cpu_time", None)
timed("Composition, 1,000 entries vs u16string appends", "ComposeLibrary/1000",
      "ComposeFloor/1000", "cpu_time", None)
timed("Composition, 100,000 entries vs u16string appends", "ComposeLibrary/100000",
      "ComposeFloor/100000", "cpu_time", None)
timed("Bench host's set lookups alone, 10,000 entries vs u16string appends", "HostLookups/10000",
      "ComposeFloor/10000", "cpu_time", None)
# The bench host's lookups are not the component's work: against a floor that does them too, the
# ratio shows what the component itself adds.
lookups = micros("HostLookups/10000", "cpu_time") + micros("ComposeFloor/10000", "cpu_time")
composed = micros("ComposeLibrary/10000", "cpu_time")
rows.append(("Composition, 10,000 entries vs set lookups + u16string appends", show_time(composed),
             show_time(lookups), composed / lookups, None))
timed("Scaling: composition 10,000 vs 1,000 entries", "ComposeLibrary/10000",
      "ComposeLibrary/1000", "cpu_time", None)
timed("Scaling: composition with lookups 100,000 vs 10,000 entries", "ComposeLibrary/100000",
      "ComposeLibrary/10000", "cpu_time", None)
timed("Scaling: u16string appends 100,000 vs 10,000 entries", "ComposeFloor/100000",
      "ComposeFloor/10000", "cpu_time", None)
timed("Eject, waiting, output captured vs the same run not captured (stand-in tool)",
      "EjectCaptured/1/min_time:2.000/real_time", "EjectCaptured/0/min_time:2.000/real_time",
      "real_time", 1.1)
timed("100 MB of a tool's output through OnOutput vs the same bytes read from a pipe (cat's speed)",
      "OutputThroughTheEvent/real_time", "OutputThroughAPipe/real_time", "real_time", 2.0)
memory("Peak extra heap, BurnData with 100,000 entries (composition)",
       "ComposePeakMemory/100000/iterations:3", 3.0)
memory("Peak extra heap, BurnData with 10,000 files through the POSIX host (whole run)",
       "BurnDataPosixPeakMemory/10000/iterations:3/real_time", None)

cpu = "unknown"
with open("/proc/cpuinfo") as f:
    for line in f:
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
print(f"Machine: {os.cpu_count()} CPUs ({cpu}); load average {os.getloadavg()[0]:.2f}; "
      f"medians of 5 repetitions.\n")
print("| benchmark | time | floor | ratio | goal | met? |")
print("|---|---|---|---|---|---|")
for label, subject, floor, ratio, goal in rows:
    goal_text = f"≤ {goal:g}x" if goal is not None else "—"
    if ratio is None:
        print(f"| {label} | {subject} | {floor} | — | {goal_text} | — |")
        continue
    met = ("yes" if ratio <= goal else "no") if goal is not None else "—"
    print(f"| {label} | {subject} | {floor} | {ratio:.2f}x | {goal_text} | {met} |")
PY

# The recorder, against genisoimage, xorriso's mkisofs emulation and a plain copy, on virtual discs.
echo "Running the recorder's benchmarks (several minutes)..." >&2
"$build_dir/bench/quelt_recorder_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true --benchmark_format=json \
    --benchmark_out="$results/recorder.json" --benchmark_out_format=json >"$results/recorder.txt"
python3 - "$results/recorder.json" <<'PY'
import json, sys

with open(sys.argv[1]) as f:
    data = json.load(f)
runs = {}
for b in data["benchmarks"]:
    if b.get("error_occurred"):
        sys.exit("a recorder benchmark reported an error: " + b["name"])
    # Medians where there are repetitions; the single run where there is one.
    if b.get("run_type") == "aggregate":
        if b.get("aggregate_name") == "median":
            runs[b["run_name"]] = b
    else:
        runs.setdefault(b["run_name"], b)
def ms(name):
    b = runs[name]
    return b["real_time"] * {"ms": 1.0, "s": 1000.0, "us": 0.001}[b["time_unit"]]
def find(prefix):
    return next(n for n in runs if n.startswith(prefix))
print("\n| recorder benchmark | time | floor | ratio | goal | met? |")
print("|---|---|---|---|---|---|")
for label, subject, floor, goal in [
        ("500 MB in 100 files to a virtual disc vs genisoimage -R -J + fsync", "RecorderLargeTree", "GenisoimageLargeTree", 1.2),
        ("500 MB in 100 files to a virtual disc vs the same bytes copied into one file + fsync", "RecorderLargeTree", "CatLargeTree", 1.5),
        ("100,000 small files vs xorriso -as mkisofs -R -J", "RecorderSmallFiles/100000", "XorrisoMkisofsSmallFiles/100000/0", 1.2),
        ("Audio CD of 10 WAV tracks of 30 s to a virtual disc vs the same bytes copied into one file + fsync", "RecorderAudioCd", "CatAudioTracks", 1.5),
        ("DVD-Video, 300 MB VIDEO_TS to a virtual disc vs genisoimage -dvd-video -udf + fsync", "RecorderDvdVideo", "GenisoimageDvdVideo", 1.2),
        # The same work (checksums of every file and of the session) done by xorriso itself.
        ("500 MB in 100 files vs xorriso -as mkisofs -R -J --md5 + fsync (the same checksums)", "RecorderLargeTree", "XorrisoMd5LargeTree", None),
        ("500 MB in 100 files given as 100 entries vs xorriso -as mkisofs -R -J --md5 + fsync", "RecorderLargeEntries", "XorrisoMd5LargeTree", 1.1),
        ("500 MB in 100 entries with --verify vs xorriso writing it (--md5 + fsync), then -check_md5_r and -compare_l", "RecorderLargeVerify", ("XorrisoMd5LargeTree", "XorrisoCheckLargeTree"), 1.2),
        ("100,000 small files in 100 folders vs xorriso -as mkisofs -R -J --md5 (the same checksums)", "RecorderSmallFiles/100000", "XorrisoMkisofsSmallFiles/100000/1", 1.1),
        ("1,000 small files as 1,000 entries vs xorriso mapping the same entries (-map each, last name first) + fsync", "RecorderEntries/1000/", "XorrisoEntries/1000/", 1.2),
        ("100,000 small files as 100,000 entries vs xorriso mapping the same entries (-map each, last name first) + fsync", "RecorderEntries/100000/", "XorrisoEntries/100000/", 1.2),
        # Entries one by one cost no more than the same files found in their folder, and twice the
        # entries take about twice the time (the fixed cost of a run makes it less).
        ("2,000 small files as 2,000 entries vs the same files given as their one folder", "RecorderEntries/2000/", "RecorderEntryFolder/2000/", 3.0),
        ("Scaling: 2,000 entries vs 1,000 entries", "RecorderEntries/2000/", "RecorderEntries/1000/", 3.0),
        # Linear: a hundred times the entries take at most a hundred times as long (the fixed
        # cost of a run makes it less).
        ("Scaling: 100,000 entries vs 1,000 entries", "RecorderEntries/100000/", "RecorderEntries/1000/", 100.0)]:
    floors = floor if isinstance(floor, tuple) else (floor,)
    s, f = ms(find(subject)), sum(ms(find(name)) for name in floors)
    goal_text = f"≤ {goal:g}x" if goal is not None else "—"
    met = ("yes" if s / f <= goal else "no") if goal is not None else "—"
    print(f"| {label} | {s:.0f} ms | {f:.0f} ms | {s / f:.2f}x | {goal_text} | {met} |")
def peak(prefix):
    return runs[find(prefix)]["peak_rss_kb"] / 1024
subject, floor = peak("RecorderSmallFiles/100000"), peak("XorrisoMkisofsSmallFiles/100000/1")
print(f"| Peak memory, 100,000 small files in 100 folders vs xorriso -as mkisofs -R -J --md5 | "
      f"{subject:.1f} MB | {floor:.1f} MB | {subject / floor:.2f}x | ≤ 1.1x | "
      f"{'yes' if subject / floor <= 1.1 else 'no'} |")
print(f"\nRecorder peak memory (largest process): one 5 MB file {peak('RecorderOneFile/0'):.1f} MB, "
      f"one 4 GiB file {peak('RecorderOneFile/1'):.1f} MB; 10,000 small files "
      f"{peak('RecorderSmallFiles/10000'):.1f} MB, 100,000 small files {peak('RecorderSmallFiles/100000'):.1f} MB.")
PY

