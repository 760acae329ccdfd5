#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) and runs each for SECONDS
# (default 60), one after another, then prints executions and coverage per target.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Each target starts from its seeds in fuzz/corpus/<target> and the inputs that once broke it in
# fuzz/regressions/<target>; what a run adds to the corpus is kept in build/fuzz/run/corpus and
# grows from run to run. An input that breaks a target is written to
# build/fuzz/run/artifacts/<target>/: mend the fault, then copy the input into
# fuzz/regressions/<target>/ so that the normal test suite replays it (FuzzReplay.*).
# Exit status 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    targets=()
    for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

run=build/fuzz/run
failed=0
summary=()
for target in "${targets[@]}"; do
    corpus=$run/corpus/$target
    artifacts=$run/artifacts/$target
    log=$run/logs/$target.log
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    inputs=("$corpus")
    [[ -d fuzz/regressions/$target ]] && inputs+=("fuzz/regressions/$target")
    echo "== $target: $seconds s"
    status=0
    QT_QPA_PLATFORM=offscreen build/fuzz/fuzz/fuzz_"$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "${inputs[@]}" >"$log" 2>&1 ||
        status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
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
        "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$(ls "$corpus" | wc -l)" "$result")")
done

echo
echo "== fuzzing, $seconds s per target"
printf '%s\n' "${summary[@]}"
exit $failed
