#!/usr/bin/env bash
# The console tool as users run it: `quorbilan /Firefox:all` over a profile of
# bloated databases against `sqlite3 FILE VACUUM` over an identical copy, file
# by file, in the same run; then `quorbilan /list` over a large discovery
# fixture of all thirty programs.
#
#   bench/console.sh [COUNT] [MIB_EACH] [LIST_ROUNDS]
set -euo pipefail

count=${1:-24}
mib=${2:-15}
rounds=${3:-5}

source "$(dirname "$0")/common.sh"
bench_prepare bench_optimizer bench_discovery quorbilan
program="$build/app/quorbilan"

# A private user: settings, data folders and the single-instance socket.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/tmp" LANG=C.UTF-8
mkdir -p "$HOME" "$TMPDIR"

profile="Mozilla/Firefox/Profiles/bench.default"
echo "Building a Firefox profile of $count databases of about $mib MiB each..."
"$build/bench/bench_optimizer" make "$work/ours/Roaming/$profile" "$count" "$mib"
printf '[Profile0]\nName=bench\nIsRelative=1\nPath=Profiles/bench.default\n' \
    > "$work/ours/Roaming/Mozilla/Firefox/profiles.ini"
cp -r "$work/ours" "$work/raw"
sync

start=$(now_ms)
for f in "$work/raw/Roaming/$profile"/*.sqlite; do sqlite3 "$f" VACUUM; done
raw_ms=$(( $(now_ms) - start ))

start=$(now_ms)
APPDATA="$work/ours/Roaming" LOCALAPPDATA="$work/ours/Local" "$program" /Firefox:all >/dev/null
ours_ms=$(( $(now_ms) - start ))

echo "sqlite3 VACUUM, file by file:  ${raw_ms} ms"
echo "quorbilan /Firefox:all:        ${ours_ms} ms"
awk -v a="$ours_ms" -v b="$raw_ms" 'BEGIN { printf "ratio (quorbilan / sqlite3):   %.3f (goal <= 1.05)\n", a / b }'

rm -rf "$work/ours" "$work/raw"
"$build/bench/bench_discovery" make "$work/tree" 6 4
echo "discovery fixture: $(find "$work/tree" -type f | wc -l) files"
times=()
for _ in $(seq "$rounds"); do
    start=$(now_ms)
    APPDATA="$work/tree/Roaming" LOCALAPPDATA="$work/tree/Local" "$program" /list >/dev/null
    times+=($(( $(now_ms) - start )))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "quorbilan /list (median of $rounds): ${median} ms"
