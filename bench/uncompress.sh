#!/usr/bin/env bash
# Decompresses a gzip and an xz file of a text payload through QCompress and,
# in the same run, through the command-line `gzip -dc` and `xz -dc`: both as
# whole processes writing to /dev/null, in interleaved rounds (the order swaps
# every round), with the page cache synced before each clock starts. Prints
# the median time of each and the median and spread of the per-round ratio.
#
#   bench/uncompress.sh [MIB] [ROUNDS]
set -euo pipefail

mib=${1:-8}
rounds=${2:-9}

source "$(dirname "$0")/common.sh"
bench_prepare bench_uncompress
tool="$build/bench/bench_uncompress"
now_ns() { date +%s%N; }

"$tool" make "$work/payload" "$mib"
gzip -6 -c "$work/payload" > "$work/payload.gz"
xz -6 -c "$work/payload" > "$work/payload.xz"
echo "payload: $(du -k "$work/payload" | cut -f1) KiB; gzip $(du -k "$work/payload.gz" | cut -f1) KiB, xz $(du -k "$work/payload.xz" | cut -f1) KiB"

for format in gzip xz; do
    packed="$work/payload.$( [ "$format" = gzip ] && echo gz || echo xz )"
    "$tool" run "$packed" "$format" | cmp -s - "$work/payload" || { echo "$format: output differs"; exit 1; }

    ours=()
    baseline=()
    ratios=()
    for ((round = 1; round <= rounds; ++round)); do
        for side in $( ((round % 2)) && echo "ours base" || echo "base ours"); do
            sync
            start=$(now_ns)
            if [ "$side" = ours ]; then
                "$tool" run "$packed" "$format" > /dev/null
                ours_ns=$(( $(now_ns) - start ))
            else
                "$format" -dc "$packed" > /dev/null
                base_ns=$(( $(now_ns) - start ))
            fi
        done
        ours+=("$ours_ns")
        baseline+=("$base_ns")
        ratios+=("$(awk -v a="$ours_ns" -v b="$base_ns" 'BEGIN { printf "%.4f", a / b }')")
    done

    median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
    spread() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.3f .. %.3f", lo, hi }'; }
    printf '%-4s  QCompress %7.1f ms   %s -dc %7.1f ms   ratio median %.3f (spread %s, %d rounds)\n' \
        "$format" "$(awk -v n="$(median "${ours[@]}")" 'BEGIN { print n / 1e6 }')" "$format" \
        "$(awk -v n="$(median "${baseline[@]}")" 'BEGIN { print n / 1e6 }')" \
        "$(median "${ratios[@]}")" "$(spread "${ratios[@]}")" "$rounds"
done
