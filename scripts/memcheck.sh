#!/usr/bin/env bash
# Runs the unit tests and the integration tests under Valgrind's memcheck: any invalid read or
# write, use of an uninitialised value, or definitely lost block fails the run. The sanitizer build
# finds most of these too, but only in code it instrumented; memcheck also sees GoogleTest, the
# standard library and the optimised release build that is actually shipped. Under valgrind the
# POSIX host starts its tools on its plain path (valgrind cannot run the waiter); the tools
# themselves run natively.
# Usage: scripts/memcheck.sh [extra gtest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

if ! command -v valgrind >/dev/null; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends valgrind >/dev/null
fi

[[ -f build/linux/CMakeCache.txt ]] || cmake --preset linux
# Always bring the build up to date, so that the run checks the sources as they are now.
cmake --build --preset linux --target quelt_unit_tests quelt_integration_tests

# Every test runs: the unit tests take about half a minute under memcheck on an idle machine, the
# integration tests a few minutes, so no case has to be left out for time.
# Valgrind cannot go on when an exec fails (it ends the process with exit code 101), so the two
# cases of tools that cannot be executed stay out of its run; every other integration test runs.
cannot_exec='PosixHost.ToolThatCannotBeExecutedIsAFailedStart:PosixLimits.ArgumentListPastTheKernelsLimitIsAFailedStart'
for binary in build/linux/tests/quelt_unit_tests build/linux/tests/quelt_integration_tests; do
    echo "== $binary under memcheck"
    valgrind --tool=memcheck --leak-check=full --error-exitcode=1 \
        --errors-for-leak-kinds=definite --show-leak-kinds=definite \
        "$binary" --gtest_brief=1 --gtest_filter="-$cannot_exec" "$@"
done
