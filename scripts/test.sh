#!/usr/bin/env bash
# Builds and runs every test: the Linux build, the recorder's real-drive paths in an emulated
# drive, the same tests under the address and undefined-behaviour sanitizers, a bounded run of
# every fuzz target, the Windows build under Wine, a build of the benchmarks, and the format and
# lint checks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test

jobs=$(nproc)

echo "== Linux build and tests"
cmake --preset linux
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"

# The recorder's real-drive paths, against the SCSI CD-ROM drives of a QEMU guest and an emulated
# DVD writer (tgt over iSCSI, handed through to the guest): real discs written, no KVM needed.
echo "== The recorder's real-drive paths in QEMU's emulated drives and an emulated DVD writer"
scripts/drive-tests.sh build/linux

echo "== Linux with address and undefined-behaviour sanitizers"
cmake --preset linux-sanitize
cmake --build --preset linux-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset linux-sanitize -j "$jobs"

# The component's cancel and wait run on several threads; the thread sanitizer checks them through
# the recording host, and through the real POSIX host, which under this runtime starts its tools
# on its plain path (fork, exec and waitpid: the waiter is a process sharing the application's
# memory, which the runtime cannot follow).
echo "== Component threads and the POSIX host under the thread sanitizer"
cmake --preset linux-tsan
cmake --build build/linux-tsan -j "$jobs" --target quelt_unit_tests quelt_integration_tests \
    quelt_recorder_unit_tests
TSAN_OPTIONS=halt_on_error=1 build/linux-tsan/tests/quelt_unit_tests --gtest_filter='WatchedRun*:Jobs*'
TSAN_OPTIONS=halt_on_error=1 build/linux-tsan/tests/quelt_integration_tests \
    --gtest_filter='WatchedRunPosix*:PosixHost*:PosixLimits*:JobsPosix*'
# The recorder's own threads: the checksum workers, the walk beside the mapping, and the lookups
# answered again on the mapping's thread only.
TSAN_OPTIONS=halt_on_error=1 build/linux-tsan/tests/quelt_recorder_unit_tests \
    --gtest_filter='RecorderChecksums*:RecorderSourceWalk*:RecorderRepeatedLookups*'

echo "== Fuzzing, ${FUZZ_SECONDS:-30} s a target"
FUZZ_SECONDS=${FUZZ_SECONDS:-30} scripts/fuzz.sh

echo "== Windows (MinGW-w64) build, tests under Wine"
cmake --preset windows
cmake --build --preset windows -j "$jobs"
scripts/wine-tests.sh build/windows

echo "== Benchmarks (built, not run: scripts/bench.sh runs them)"
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUELT_BUILD_BENCHMARKS=ON \
    -DQUELT_BUILD_TESTS=OFF -DQUELT_WARNINGS_AS_ERRORS=ON
cmake --build build/bench -j "$jobs" --target quelt_bench quelt_recorder_bench

echo "== Format and lint"
scripts/lint.sh build/linux

echo "All tests passed."
