#!/usr/bin/env bash
# Compacts a fixture of bloated databases through the Optimizer and, in the
# same run, an identical copy with the raw sqlite3 shell file by file; prints
# both times, their ratio, the Optimizer's peak memory and its stop latency
# on one large database.
#
#   bench/optimizer.sh [COUNT] [MIB_EACH] [STOP_DB_MIB]
set -euo pipefail

count=${1:-24}
mib=${2:-15}
stop_mib=${3:-200}

source "$(dirname "$0")/common.sh"
bench_prepare bench_optimizer
tool="$build/bench/bench_optimizer"


echo "Building $count databases of about $mib MiB each..."
"$tool" make "$work/fixture" "$count" "$mib"
cp -r "$work/fixture" "$work/raw"
cp -r "$work/fixture" "$work/ours"
echo "fixture: $(du -sm "$work/fixture" | cut -f1) MiB in $(ls "$work/fixture" | wc -l) files"
sync

start=$(now_ms)
for f in "$work"/raw/*.sqlite; do sqlite3 "$f" VACUUM; done
raw_ms=$(( $(now_ms) - start ))

ours_out=$("$tool" optimize "$work/ours")
ours_ms=$(awk '/^elapsed_ms/ {print $2}' <<<"$ours_out")
peak_kib=$(awk '/^peak_rss_kib/ {print $2}' <<<"$ours_out")

if ! cmp -s <(du -sb "$work/raw" | cut -f1) <(du -sb "$work/ours" | cut -f1); then
    echo "note: results differ in size: raw $(du -sb "$work/raw" | cut -f1) B, ours $(du -sb "$work/ours" | cut -f1) B"
fi

echo "sqlite3 VACUUM, file by file: ${raw_ms} ms"
echo "Optimizer:                    ${ours_ms} ms"
awk -v a="$ours_ms" -v b="$raw_ms" 'BEGIN { printf "ratio (Optimizer / sqlite3):  %.3f (goal <= 1.05)\n", a / b }'
awk -v k="$peak_kib" 'BEGIN { printf "peak memory of the Optimizer: %.1f MiB (goal < 64)\n", k / 1024 }'

echo "Building one database of about $stop_mib MiB for the stop latency..."
rm -rf "$work/raw" "$work/ours" "$work/fixture"
"$tool" make "$work/big" 1 "$stop_mib"
before=$(stat -c %s "$work/big/db00.sqlite")
cp "$work/big/db00.sqlite" "$work/big.orig"
# SQLite polls the stop flag only while it builds the new copy (about the first
# third of a VACUUM); a stop that arrives during the copy-back waits for its end.
for delay in 50 300; do
    cp "$work/big.orig" "$work/big/db00.sqlite"
    stop_out=$("$tool" stop "$work/big" "$delay")
    after=$(stat -c %s "$work/big/db00.sqlite")
    if [ "$after" -eq "$before" ]; then state="file unchanged"; else state="VACUUM had passed its last check and completed"; fi
    echo "stop latency, stop ${delay} ms into the VACUUM: $(awk '/^stop_latency_ms/ {print $2}' <<<"$stop_out") ms ($state)"
    big_peak=$(awk '/^peak_rss_kib/ {print $2}' <<<"$stop_out")
done
awk -v k="$big_peak" 'BEGIN { printf "peak memory on the large database: %.1f MiB\n", k / 1024 }'
