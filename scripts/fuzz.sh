#!/usr/bin/env bash
# Long fuzz runs: scripts/fuzz.sh [SECONDS] [TARGET...]
# Builds the fuzz targets (through the normal build) and runs each one for
# SECONDS (default 600), at most FUZZ_PARALLEL (default 3) at once, niced,
# one process each. Corpora grow across runs in build/tests/fuzz/long/<target>;
# an input that crashes, hangs or eats memory is left there in artifacts/ and
# belongs, once fixed, in tests/fuzz/regressions/<target>/, which ctest
# replays (not used as a corpus here: large inputs would slow the run).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-600}
shift || true
targets=("$@")
parallel=${FUZZ_PARALLEL:-3}

./scripts/setup.sh
build=${QUORBILAN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzztargets
build=$(cd "$build" && pwd)
fuzzBuild=$build/tests/fuzz/clang/tests/fuzz
if [ ${#targets[@]} -eq 0 ]; then
    for binary in "$fuzzBuild"/fuzz_*; do
        targets+=("${binary##*/fuzz_}")
    done
fi

run_target() {
    local target=$1
    local dir=$build/tests/fuzz/long/$target
    mkdir -p "$dir/corpus" "$dir/artifacts"
    # Absolute paths: a target may change its current folder.
    (cd "$dir" && LANG=C.UTF-8 nice "$fuzzBuild/fuzz_$target" -timeout=5 -rss_limit_mb=512 \
        -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
        -dict="$root/tests/fuzz/dict/$target.dict" \
        "$dir/corpus" "$fuzzBuild/seeds/$target" >"$dir/log" 2>&1) || true
}

running=0
for target in "${targets[@]}"; do
    echo "fuzzing $target for $seconds s (log: $build/tests/fuzz/long/$target/log)"
    run_target "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$parallel" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

status=0
printf '\n%-16s %12s %8s %8s %8s %10s  %s\n' target executions exec/s cov ft corpus findings
for target in "${targets[@]}"; do
    dir=$build/tests/fuzz/long/$target
    if [ ! -f "$dir/log" ]; then
        printf '%-16s %12s\n' "$target" "no log"
        status=1
        continue
    fi
    last=$(grep -E '^#[0-9]+' "$dir/log" | tail -1 || true)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log")
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corpus=$(ls "$dir/corpus" | wc -l)
    findings=$(ls "$dir/artifacts" | wc -l)
    printf '%-16s %12s %8s %8s %8s %10s  %s\n' "$target" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$corpus" "$findings"
    if [ "$findings" -ne 0 ]; then
        ls "$dir/artifacts" | sed "s|^|    $dir/artifacts/|"
        status=1
    fi
done
exit $status
