#!/usr/bin/env bash
# Times the whole profile discovery (every program searches its profiles and
# locates its executable, every profile lists its SQLite files and adds up
# their sizes, as the profiles tree shows them) over a large
# fixture of all thirty programs, against a raw loop that only opens each of
# the same files and reads its 16-byte header, in the same run. Discovery
# itself reads 16 bytes of each file; the bytes-per-file figure also counts
# the programs' profile lists.
#
#   bench/discovery.sh [PROFILES_PER_PROGRAM] [EXTRA_DATABASES_PER_PROFILE] [ROUNDS]
set -euo pipefail

profiles=${1:-6}
databases=${2:-4}
rounds=${3:-15}

source "$(dirname "$0")/common.sh"
bench_prepare bench_discovery
tool="$build/bench/bench_discovery"


echo "Building 30 programs with $profiles profiles each, $databases extra databases per profile..."
"$tool" make "$work/tree" "$profiles" "$databases"
echo "fixture: $(find "$work/tree" -type f | wc -l) files, $(du -sm "$work/tree" | cut -f1) MiB"
sync

out=$("$tool" discover "$work/tree" "$rounds")
get() { awk -v k="$1" '$1 == k {print $2}' <<<"$out"; }

echo "profiles found:          $(get profiles) ($(get databases) databases, $(get database_bytes) bytes)"
echo "files examined:          $(get files_examined)"
echo "discovery (median):      $(get discovery_ms) ms, $(get files_per_second) files/s"
echo "raw 16-byte reads:       $(get raw_header_reads_ms) ms, $(get raw_files_per_second) files/s"
echo "ratio (discovery / raw):  $(get ratio_median) per round, $(get ratio_min)..$(get ratio_max) over $rounds rounds"
echo "bytes read per file:     $(get bytes_read_per_file)"
