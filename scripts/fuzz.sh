#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (address and undefined-behaviour sanitizers) in
# build/fuzz and runs each for FUZZ_SECONDS (default 30) on a scratch copy of its seed corpus, so
# that what a run discovers does not grow the committed seeds. Exits non-zero when a fuzzer finds a
# crash; the input that caused it is left in build/fuzz/findings/<target>/.
# Usage: scripts/fuzz.sh [target...]   (targets: composition argv registry formtext drivemap
#        grammar cuesheet mpeg disckind)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
build=build/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(composition argv registry formtext drivemap grammar cuesheet mpeg disckind)
fi

# The tools are configured for the recorder's library and the grammar, whose readers are fuzzed
# too; only the fuzz targets and what they link are built.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUELT_FUZZ=ON -DQUELT_BUILD_TOOLS=ON
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/quelt_fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    rm -rf "$corpus"
    mkdir -p "$corpus" "$findings"
    cp tests/fuzz/corpus/"$target"/* "$corpus"/
    log="$build/$target.log"
    echo "== $target: ${seconds}s"
    status=0
    # A target's dictionary (corpus/<target>.dict), when it has one, gives the fuzzer its words.
    dictionary=()
    if [ -f tests/fuzz/corpus/"$target".dict ]; then
        dictionary=(-dict=tests/fuzz/corpus/"$target".dict)
    fi
    "$build/tests/fuzz/quelt_fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        "${dictionary[@]}" -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
    # The last status line (execs, coverage, corpus) and the final execution count.
    grep -E '^#[0-9]+' "$log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
    if [ "$status" -ne 0 ]; then
        echo "!! $target failed (exit $status); see $log and $findings/"
        grep -E 'ERROR|property violated|runtime error' "$log" | head -n 5 || true
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "Fuzzers that found a crash: ${failed[*]}"
    exit 1
fi
echo "No crashes."
