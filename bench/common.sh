# Sourced by the benchmark scripts.
#
#   bench_prepare TARGET...   builds the targets in a Release tree without
#                             sanitizers (a failed build stops the script with
#                             its output); sets $build and $work
#   bench_rounds ROUNDS FIXTURE SIDE...
#                             runs each SIDE (a shell function called with a
#                             fresh copy of FIXTURE as its only argument) once
#                             per round, the sides interleaved and their order
#                             rotated from round to round; every copy is made
#                             before the round and synced, and the disk is
#                             synced again before each clock starts. A side may
#                             set $side_ms to its own in-process time.
#   bench_row ...             prints one side's median and ratio (see below)
#   bench_copy_root_of FIXTURE
#                             the folder of the copies: SIDE's copy is the
#                             folder SIDE in it (the last round's copies stay
#                             there for checking the results)

bench_prepare() {
    cd "$(dirname "${BASH_SOURCE[0]}")/.."
    ./scripts/setup.sh bench
    build=build-bench
    local log
    if ! log=$(cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF 2>&1) \
        || ! log=$(cmake --build "$build" --parallel 4 --target "$@" 2>&1); then
        printf '%s\n' "$log" >&2
        echo "bench: the build failed, no figures" >&2
        exit 1
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/quorbilan-bench.XXXXXX")
    trap 'bench_cleanup' EXIT
}

bench_cleanup() {
    rm -rf "$work"
}

# Milliseconds since the epoch with microseconds, without starting a process.
now_ms() {
    local t=${EPOCHREALTIME/[.,]/}
    echo "$(( t / 1000 )).$(printf '%03d' $(( t % 1000 )))"
}

# "median min max" of the numbers given, one per argument.
bench_stats() {
    printf '%s\n' "$@" | sort -g | awk '
        { v[NR] = $1 }
        END {
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%s %s %s\n", m, v[1], v[NR]
        }'
}

# The folder that holds the copies of FIXTURE.
bench_copy_root_of() {
    echo "$(dirname "$1")/copies.$(basename "$1")"
}

bench_rounds() {
    local rounds=$1 fixture=$2
    shift 2
    local sides=("$@") n=$#
    local bench_copy_root
    bench_copy_root=$(bench_copy_root_of "$fixture")
    declare -gA bench_wall=() bench_own=()
    local round i side start wall
    for (( round = 0; round < rounds; ++round )); do
        rm -rf "$bench_copy_root"
        mkdir -p "$bench_copy_root"
        for side in "${sides[@]}"; do
            cp -a "$fixture" "$bench_copy_root/$side"
        done
        sync
        for (( i = 0; i < n; ++i )); do
            side=${sides[(i + round) % n]}
            side_ms=
            sync
            start=$(now_ms)
            if ! "$side" "$bench_copy_root/$side"; then
                echo "bench: $side failed in round $(( round + 1 )), no figures" >&2
                exit 1
            fi
            wall=$(awk -v a="$(now_ms)" -v b="$start" 'BEGIN { printf "%.3f", a - b }')
            bench_wall[$side]+="$wall "
            bench_own[$side]+="${side_ms:-$wall} "
        done
    done
}

# One row of figures from the last bench_rounds:
#   bench_row LABEL SIDE METRIC BASE_SIDE BASE_METRIC
# METRIC is "wall" (the whole command) or "own" (what the side reported in
# $side_ms, else the wall time). Prints the median time and the median, lowest
# and highest of the per-round ratio SIDE / BASE_SIDE.
bench_row() {
    local label=$1 side=$2 metric=$3 base=$4 baseMetric=$5
    local -n values="bench_$metric" baseValues="bench_$baseMetric"
    local mine=(${values[$side]}) theirs=(${baseValues[$base]}) ratios=() i
    for i in "${!mine[@]}"; do
        ratios+=("$(awk -v a="${mine[$i]}" -v b="${theirs[$i]}" 'BEGIN { printf "%.4f", a / b }')")
    done
    local ms r lo hi
    read -r ms _ _ <<<"$(bench_stats "${mine[@]}")"
    read -r r lo hi <<<"$(bench_stats "${ratios[@]}")"
    printf '  %-36s %9.1f ms  ratio %6.3f  (%.3f..%.3f over %d rounds)\n' "$label" "$ms" "$r" "$lo" "$hi" "${#ratios[@]}"
}
