#!/usr/bin/env bash
# Installs what is missing, builds Talvoro with its tests and runs every test:
# the normal build, then (unless TALVORO_SANITIZERS=0) the AddressSanitizer +
# UBSan build and the ThreadSanitizer build, then (unless TALVORO_FUZZING=0)
# the fixed fuzz run of every fuzz target: the same seed and number of runs
# over the checked-in inputs each time, so it does the same work on every
# machine and every day (scripts/fuzz.sh --fixed). Exploring fuzz runs are
# made by hand (scripts/fuzz.sh SECONDS).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

run_suite() {
    local preset=$1
    echo "== $preset: configure and build"
    cmake --preset "$preset" -DTALVORO_BUILD_TESTS=ON >/dev/null
    cmake --build --preset "$preset"
    echo "== $preset: tests"
    ctest --preset "$preset"
}

run_suite default
if [[ "${TALVORO_SANITIZERS:-1}" != 0 ]]; then
    export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    # Memory that Qt and GLib use and free in their own threads is not checked: they are not
    # built for the sanitizer, their locks are out of its sight, and GCC 12's runtime can crash
    # while reporting such a free.
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp"
    run_suite asan
    run_suite tsan
fi

if [[ "${TALVORO_FUZZING:-1}" != 0 ]]; then
    echo "== fuzz: every target, fixed runs"
    scripts/fuzz.sh --fixed
fi
