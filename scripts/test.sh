#!/usr/bin/env bash
# Installs what is missing, builds Talvoro with its tests and runs every test:
# the normal build, then (unless TALVORO_SANITIZERS=0) the AddressSanitizer +
# UBSan build and the ThreadSanitizer build, then (unless TALVORO_FUZZING=0)
# the fixed fuzz run of every fuzz target: the same seed and number of runs
# over the checked-in inputs each time, so it does the same work on every
# machine and every day (scripts/fuzz.sh --fixed). Exploring fuzz runs are
# made by hand (scripts/fuzz.sh SECONDS).
#
# Each build's tests run while the next build compiles: the tests spend most
# of their time waiting for servers, the character and the clock, and they are
# written to give the same answer under that load. Their output is printed
# whole once they end, so the log reads one suite after another.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build() {
    local preset=$1
    echo "== $preset: configure and build"
    cmake --preset "$preset" -DTALVORO_BUILD_TESTS=ON >/dev/null
    cmake --build --preset "$preset"
}

# Starts a preset's tests in the background; finish_tests prints their output and fails when they
# failed.
tests_pid=""
tests_preset=""
tests_log=""
start_tests() {
    tests_preset=$1
    tests_log=$(mktemp)
    ctest --preset "$tests_preset" >"$tests_log" 2>&1 &
    tests_pid=$!
}
finish_tests() {
    [[ -n "$tests_pid" ]] || return 0
    local rc=0
    wait "$tests_pid" || rc=$?
    echo "== $tests_preset: tests"
    cat "$tests_log"
    rm -f "$tests_log"
    tests_pid=""
    if [[ $rc != 0 ]]; then
        echo "== $tests_preset: tests failed" >&2
        exit "$rc"
    fi
}
# A build that fails ends the run; the tests already running are stopped with it.
trap '[[ -z "$tests_pid" ]] || kill "$tests_pid" 2>/dev/null || true' EXIT

build default
start_tests default
if [[ "${TALVORO_SANITIZERS:-1}" != 0 ]]; then
    export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    # Memory that Qt and GLib use and free in their own threads is not checked: they are not
    # built for the sanitizer, their locks are out of its sight, and GCC 12's runtime can crash
    # while reporting such a free.
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp"
    build asan
    finish_tests
    start_tests asan
    build tsan
    finish_tests
    start_tests tsan
fi

if [[ "${TALVORO_FUZZING:-1}" != 0 ]]; then
    echo "== fuzz: every target, fixed runs"
    scripts/fuzz.sh --fixed
fi
finish_tests
