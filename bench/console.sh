#!/usr/bin/env bash
# The console tool as users run it: `quorbilan /Firefox:all` over a profile of
# bloated databases against `sqlite3 FILE VACUUM` file by file, each on its own
# fresh copy, interleaved over ROUNDS rounds; then `quorbilan /list` over a
# large discovery fixture of all thirty programs against `quorbilan /?`, the
# same process without the discovery.
#
#   bench/console.sh [COUNT] [MIB_EACH] [ROUNDS]
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
"$build/bench/bench_optimizer" make "$work/compact/fixture/Roaming/$profile" "$count" "$mib"
printf '[Profile0]\nName=bench\nIsRelative=1\nPath=Profiles/bench.default\n' \
    > "$work/compact/fixture/Roaming/Mozilla/Firefox/profiles.ini"
mkdir -p "$work/compact/fixture/Local"

sqlite3_loop() {
    local f
    for f in "$1/Roaming/$profile"/*.sqlite; do sqlite3 "$f" VACUUM; done
}
compact_all() {
    APPDATA="$1/Roaming" LOCALAPPDATA="$1/Local" "$program" /Firefox:all >/dev/null
}
bench_rounds "$rounds" "$work/compact/fixture" sqlite3_loop compact_all
bench_row "sqlite3 VACUUM, file by file" sqlite3_loop wall sqlite3_loop wall
bench_row "quorbilan /Firefox:all" compact_all wall sqlite3_loop wall
rm -rf "$work/compact"

"$build/bench/bench_discovery" make "$work/list/fixture" 6 4
echo "discovery fixture: $(find "$work/list/fixture" -type f | wc -l) files"
start_only() {
    APPDATA="$1/Roaming" LOCALAPPDATA="$1/Local" "$program" /? >/dev/null
}
list() {
    APPDATA="$1/Roaming" LOCALAPPDATA="$1/Local" "$program" /list >/dev/null
}
bench_rounds "$rounds" "$work/list/fixture" start_only list
bench_row "quorbilan /? (start and exit)" start_only wall start_only wall
bench_row "quorbilan /list" list wall start_only wall
