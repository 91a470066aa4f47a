#!/usr/bin/env bash
# The recorder against its peers on the same work, with 1, 2 and all of the machine's processors
# (taskset): xorriso with the same checksums, genisoimage without checksums, and a plain copy of
# the same bytes, for 500 MB in 100 files, 100,000 small files, 1,000 single entries and the
# estimate of 60,000 files (first, and repeated with nothing changed); medians of 3 repetitions,
# interleaved. Prints a markdown table per processor count (docs/performance.md).
# Usage: scripts/bench-peers.sh [BUILD_DIR]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/bench}
scripts/deps.sh
if ! dpkg-query -W -f='${Status}' libbenchmark-dev 2>/dev/null | grep -q "install ok installed"; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        libbenchmark-dev >/dev/null
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUELT_BUILD_BENCHMARKS=ON \
    -DQUELT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target quelt_recorder_bench

results=$(mktemp -d)
# The trees are made once and kept for every processor count.
export QUELT_BENCH_WORK="$results/work"
trap 'rm -rf "$results"' EXIT
rows='^(RecorderLargeTree|XorrisoMd5LargeTree|GenisoimageLargeTree|CatLargeTree|'
rows+='RecorderSmallFiles/100000/|XorrisoMkisofsSmallFiles/100000/1/|GenisoimageSmallFiles|'
rows+='CatSmallFiles|RecorderEntries/1000/|XorrisoEntries/1000/|GenisoimageEntries|CatEntries|'
rows+='RecorderEstimate|PeerPrintSize)'
all=$(nproc)
for cores in $(printf '%s\n' 1 2 "$all" | awk -v n="$all" '$1 <= n' | sort -un); do
    echo "Running the recorder against its peers on $cores of $all processors..." >&2
    taskset -c "0-$((cores - 1))" "$build_dir/bench/quelt_recorder_bench" \
        --benchmark_filter="$rows" --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true \
        --benchmark_format=json --benchmark_out="$results/cores$cores.json" \
        --benchmark_out_format=json >"$results/cores$cores.txt"
done

python3 - "$results" "$all" <<'PY'
import glob, json, os, re, sys

folder, machine = sys.argv[1], int(sys.argv[2])
cpu = "unknown"
with open("/proc/cpuinfo") as f:
    for line in f:
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
print(f"Machine: {machine} processors ({cpu}); medians of 3 repetitions, interleaved.\n")

def load(path):
    with open(path) as f:
        data = json.load(f)
    errors = [b["name"] for b in data["benchmarks"] if b.get("error_occurred")]
    if errors:
        sys.exit("a benchmark reported an error: " + ", ".join(errors))
    return {b["run_name"]: b for b in data["benchmarks"] if b.get("aggregate_name") == "median"}

def find(median, prefix):
    for name, b in median.items():
        if name.startswith(prefix):
            return b
    sys.exit(f"no benchmark {prefix}")

def ms(median, prefix):
    b = find(median, prefix)
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * scale

WORK = [
    ("500 MB in 100 files", "RecorderLargeTree", "XorrisoMd5LargeTree", "GenisoimageLargeTree",
     "CatLargeTree"),
    ("100,000 small files", "RecorderSmallFiles/100000/", "XorrisoMkisofsSmallFiles/100000/1/",
     "GenisoimageSmallFiles", "CatSmallFiles"),
    ("1,000 single entries", "RecorderEntries/1000/", "XorrisoEntries/1000/", "GenisoimageEntries",
     "CatEntries"),
    ("estimate of 60,000 files", "RecorderEstimate/0/", "PeerPrintSize/0/", "PeerPrintSize/1/",
     None),
]
for path in sorted(glob.glob(os.path.join(folder, "cores*.json")),
                   key=lambda p: int(re.search(r"cores(\d+)", p).group(1))):
    cores = int(re.search(r"cores(\d+)", path).group(1))
    median = load(path)
    print(f"\n**{cores} of {machine} processors**\n")
    print("| work | recorder | xorriso (same checksums) | ratio | genisoimage (no checksums) | "
          "ratio | copy floor | ratio |")
    print("|---|---|---|---|---|---|---|---|")
    for label, recorder, xorriso, genisoimage, copy in WORK:
        r = ms(median, recorder)
        cells = [label, f"{r:.0f} ms"]
        for peer in (xorriso, genisoimage, copy):
            if peer is None:
                cells += ["—", "—"]
            else:
                p = ms(median, peer)
                cells += [f"{p:.0f} ms", f"{r / p:.2f}x"]
        print("| " + " | ".join(cells) + " |")
    first, again = ms(median, "RecorderEstimate/0/"), ms(median, "RecorderEstimate/1/")
    print(f"| estimate repeated, nothing changed | {again:.0f} ms | first estimate {first:.0f} ms "
          f"| {again / first:.2f}x | | | | |")
    peak = find(median, "RecorderSmallFiles/100000/")["peak_rss_kb"] / 1024
    xpeak = find(median, "XorrisoMkisofsSmallFiles/100000/1/")["peak_rss_kb"] / 1024
    print(f"| peak memory, 100,000 small files | {peak:.1f} MB | {xpeak:.1f} MB | "
          f"{peak / xpeak:.2f}x | | | | |")
PY
