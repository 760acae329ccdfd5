#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) and runs them, one after another,
# then prints executions and coverage per target. Two kinds of run:
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   exploring: each target for SECONDS (default 60) with a
#                                           new random seed each time, run by hand
#   scripts/fuzz.sh --fixed [TARGET...]     the test suite's run: each target the same number of
#                                           runs (FixedRuns below) with the same seed over a fresh
#                                           copy of the checked-in inputs, so that every run of it
#                                           does exactly the same work and finds the same things
#
# Each target starts from its seeds in fuzz/corpus/<target> and the inputs that once broke it in
# fuzz/regressions/<target>. An exploring run keeps what it adds to the corpus in
# build/fuzz/run/corpus, which grows from run to run; a fixed run starts from the checked-in seeds
# every time (build/fuzz/fixed/corpus is made afresh). An input that breaks a target is written to
# build/fuzz/<run|fixed>/artifacts/<target>/: mend the fault, then copy the input into
# fuzz/regressions/<target>/ under a name that says what it broke, so that the normal test suite
# replays it (FuzzReplay.*) and every later fixed run starts from it.
# Exit status 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs per target in a fixed run: about 20 s each on a machine of two cores shared with another
# build; a target not listed gets DefaultFixedRuns.
declare -A FixedRuns=(
    [settings_file]=200000
    [pop3_session]=50000
    [header_block]=300000
    [header_text]=18000
    [speech_markup]=15000
    [character_file]=30000
    [help_file]=40000
    [imap_response]=25000
)
DefaultFixedRuns=20000
FixedSeed=20261209

fixed=0
if [[ "${1:-}" == --fixed ]]; then
    fixed=1
    shift
    seconds=
else
    seconds=${1:-60}
    shift || true
fi
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    targets=()
    for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

same_addresses=()
if [[ $fixed == 1 ]]; then
    run=build/fuzz/fixed
    rm -rf "$run"
    if setarch --addr-no-randomize true 2>/dev/null; then
        same_addresses=(setarch --addr-no-randomize)
    else
        echo "fuzz: addresses cannot be kept from being randomised here; runs may differ a little"
    fi
else
    run=build/fuzz/run
fi
# Caches that system libraries keep on purpose are not leaks of the program's.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failed=0
summary=()
started=$(date +%s)
for target in "${targets[@]}"; do
    corpus=$run/corpus/$target
    artifacts=$run/artifacts/$target
    log=$run/logs/$target.log
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    inputs=("$corpus")
    [[ -d fuzz/regressions/$target ]] && inputs+=("fuzz/regressions/$target")
    if [[ $fixed == 1 ]]; then
        runs=${FixedRuns[$target]:-$DefaultFixedRuns}
        echo "== $target: $runs runs"
        # No time limit anywhere, and nothing read again while it runs (-reload): a slow machine
        # does the same work, only later. Qt's hashes get a fixed seed, and addresses are not
        # randomised (the values the target compares feed the mutations, pointers among them),
        # so the target walks the same paths each time.
        limits=(-runs="$runs" -seed="$FixedSeed" -reload=0 -timeout=120)
        export QT_HASH_SEED=0
    else
        echo "== $target: $seconds s"
        limits=(-max_total_time="$seconds" -timeout=10)
    fi
    status=0
    QT_QPA_PLATFORM=offscreen "${same_addresses[@]}" build/fuzz/fuzz/fuzz_"$target" "${limits[@]}" \
        -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "${inputs[@]}" >"$log" 2>&1 || status=$?
    done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    if [[ $status -ne 0 ]]; then
        failed=1
        result="FOUND (exit $status): see $log and $artifacts/"
        tail -40 "$log"
    else
        result="nothing found"
    fi
    summary+=("$(printf '%-16s %12s runs %8s/s  cov %6s  ft %6s  corpus %5s  %s' "$target" \
        "${done_runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$(ls "$corpus" | wc -l)" "$result")")
done

echo
if [[ $fixed == 1 ]]; then
    echo "== fuzzing, fixed runs (seed $FixedSeed), $(($(date +%s) - started)) s"
else
    echo "== fuzzing, $seconds s per target"
fi
printf '%s\n' "${summary[@]}"
exit $failed
