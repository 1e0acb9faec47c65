#!/usr/bin/env bash
# Compacts a fixture of bloated databases through the Optimizer and the raw
# sqlite3 shell file by file, each on its own fresh copy, interleaved over
# ROUNDS rounds; prints both times, their ratio, the Optimizer's peak memory,
# and on one large database how long a stop request waits, stopped at several
# points of the VACUUM.
#
#   bench/optimizer.sh [COUNT] [MIB_EACH] [STOP_DB_MIB] [ROUNDS]
set -euo pipefail

count=${1:-24}
mib=${2:-15}
stop_mib=${3:-200}
rounds=${4:-5}

source "$(dirname "$0")/common.sh"
bench_prepare bench_optimizer
tool="$build/bench/bench_optimizer"

echo "Building $count databases of about $mib MiB each..."
"$tool" make "$work/many/fixture" "$count" "$mib"
echo "fixture: $(du -sm "$work/many/fixture" | cut -f1) MiB in $(ls "$work/many/fixture" | wc -l) files"

sqlite3_loop() {
    local f
    for f in "$1"/*.sqlite; do sqlite3 "$f" VACUUM; done
}
optimizer() {
    local out
    out=$("$tool" optimize "$1")
    side_ms=$(awk '$1 == "elapsed_ms" {print $2}' <<<"$out")
    peak_kib=$(awk '$1 == "peak_rss_kib" {print $2}' <<<"$out")
}
bench_rounds "$rounds" "$work/many/fixture" sqlite3_loop optimizer
bench_row "sqlite3 VACUUM, file by file" sqlite3_loop wall sqlite3_loop wall
bench_row "Optimizer (own time)" optimizer own sqlite3_loop wall
copies=$(bench_copy_root_of "$work/many/fixture")
raw_bytes=$(du -sb "$copies/sqlite3_loop" | cut -f1)
ours_bytes=$(du -sb "$copies/optimizer" | cut -f1)
[ "$raw_bytes" = "$ours_bytes" ] || echo "note: results differ in size: raw $raw_bytes B, ours $ours_bytes B"
awk -v k="$peak_kib" 'BEGIN { printf "peak memory of the Optimizer: %.1f MiB (goal < 64)\n", k / 1024 }'
rm -rf "$work/many"

echo "Building one database of about $stop_mib MiB for the stop latency..."
"$tool" make "$work/big.orig" 1 "$stop_mib"
fresh_big() {
    rm -rf "$work/big"
    cp -a "$work/big.orig" "$work/big"
    sync # else closing the file waits on the copy's write-back
}
fresh_big
full_ms=$("$tool" optimize "$work/big" | awk '$1 == "elapsed_ms" {print $2}')
echo "one VACUUM of the large database: $full_ms ms"
before=$(stat -c %s "$work/big.orig/db00.sqlite")
# SQLite polls the stop flag only while it builds the compacted copy; a stop
# that arrives during the copy-back waits for its end.
for percent in 5 10 20 30 50 80; do
    delay=$(( full_ms * percent / 100 ))
    fresh_big
    stop_out=$("$tool" stop "$work/big" "$delay")
    after=$(stat -c %s "$work/big/db00.sqlite")
    if [ "$after" -eq "$before" ]; then state="stopped, file unchanged"; else state="too late, the file was compacted"; fi
    printf 'stop at %2d %% (%5d ms): waited %5s ms, %s\n' "$percent" "$delay" \
        "$(awk '$1 == "stop_latency_ms" {print $2}' <<<"$stop_out")" "$state"
    big_peak=$(awk '$1 == "peak_rss_kib" {print $2}' <<<"$stop_out")
done
awk -v k="$big_peak" 'BEGIN { printf "peak memory on the large database: %.1f MiB\n", k / 1024 }'
