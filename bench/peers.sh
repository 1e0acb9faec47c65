#!/usr/bin/env bash
# The console tool against its peers on three workloads:
#   - 200 databases of about 108 KiB on disk,
#   - the same on tmpfs (/dev/shm),
#   - a browser-like profile set on disk (a Firefox and a Chrome profile where
#     the programs keep them, about 62 files and 88 MB: databases with indexes
#     and scattered free pages, and the profiles' other files),
# each tool on its own fresh, synced copy, interleaved over ROUNDS rounds:
#   floor      vacuum_floor, the same SQLite calls in one plain C process
#   quorbilan  the console tool: `quorbilan /Firefox:FOLDER` for the small
#              databases, `quorbilan /Firefox:all /Chrome:all` for the profiles
#   optimizer  the Optimizer in process (bench_optimizer), timed inside
#   sqlite3    `sqlite3 FILE VACUUM`, file by file
#   bleachbit  BleachBit's sqlite.vacuum action, when bleachbit is installed
# Ratios are to the floor: whole process against whole process, and the
# Optimizer's own time against the floor's own time. For each tool it prints
# the files it compacted and the bytes after, checked on its copy, and its
# peak RSS on one large database.
#
#   bench/peers.sh [ROUNDS] [LARGE_DB_MIB]
set -euo pipefail

rounds=${1:-11}
large_mib=${2:-128}

source "$(dirname "$0")/common.sh"
bench_prepare bench_optimizer vacuum_floor quorbilan
floor_tool="$build/bench/vacuum_floor"
optimizer_tool="$build/bench/bench_optimizer"
program="$build/app/quorbilan"

shm=$(mktemp -d /dev/shm/quorbilan-bench.XXXXXX)
bench_cleanup() { rm -rf "$work" "$shm"; }

# A private user for the console tool and BleachBit; no program is installed.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LANG=C.UTF-8
export APPDATA="$work/home/Roaming" LOCALAPPDATA="$work/home/Local"
mkdir -p "$APPDATA" "$LOCALAPPDATA" "$XDG_CONFIG_HOME"

bleachbit=$(command -v bleachbit || true)

# mkdb PATH KIB: a database of about KIB KiB, a third of its rows deleted
# again so that VACUUM has scattered free pages to reclaim.
mkdb() {
    local rows=$(( $2 * 1024 / 260 + 1 ))
    sqlite3 "$1" "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;
        CREATE TABLE places(id INTEGER PRIMARY KEY, url TEXT, title TEXT, visits INTEGER, last INTEGER);
        CREATE INDEX places_url ON places(url);
        CREATE INDEX places_last ON places(last);
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
        INSERT INTO places(url, title, visits, last)
            SELECT 'https://' || lower(hex(randomblob(24))) || '.example/', hex(randomblob(16)),
                   abs(random() % 100), abs(random()) FROM n;
        DELETE FROM places WHERE id % 3 = 0;" >/dev/null
}

# mkfile PATH KIB: a file that is not a database.
mkfile() {
    head -c "$(( $2 * 1024 ))" /dev/urandom > "$1"
}

# Each fixture lists its profile folders, relative to it, in folders.txt
# beside it, and says in quorbilan_args.txt how the console tool is asked for
# them ({} stands for the copy).
make_many() {
    local dir=$1/fixture/profile
    mkdir -p "$dir"
    for v in 0 1 2 3 4 5 6 7; do mkdb "$dir/v$v.tmp" 108; done
    for i in $(seq -w 0 199); do cp "$dir/v$(( 10#$i % 8 )).tmp" "$dir/db$i.sqlite"; done
    rm "$dir"/v*.tmp
    echo profile > "$1/folders.txt"
    echo "/Firefox:{}/profile" > "$1/quorbilan_args.txt"
}

# A Firefox profile and a Chromium profile where the programs keep them, as
# the console tool finds them with `/Firefox:all /Chrome:all`.
make_browser() {
    local ff=Roaming/Mozilla/Firefox/Profiles/k2x9.default-release chrome="Local/Google/Chrome/User Data/Default"
    local spec
    mkdir -p "$1/fixture/$ff" "$1/fixture/$chrome"
    printf '[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/k2x9.default-release\n' \
        > "$1/fixture/Roaming/Mozilla/Firefox/profiles.ini"
    printf '{"profile":{"info_cache":{"Default":{"name":"Person 1"}}}}\n' \
        > "$1/fixture/Local/Google/Chrome/User Data/Local State"
    printf '%s\n' "$ff" "$chrome" > "$1/folders.txt"
    echo "/Firefox:all /Chrome:all" > "$1/quorbilan_args.txt"
    ff=$1/fixture/$ff
    chrome=$1/fixture/$chrome
    for spec in places.sqlite:24000 favicons.sqlite:9000 cookies.sqlite:2500 formhistory.sqlite:900 \
        webappsstore.sqlite:3000 permissions.sqlite:96 content-prefs.sqlite:224 storage.sqlite:48 \
        protections.sqlite:64 credentialstate.sqlite:32 key4.db:288 cert9.db:224 \
        storage-sync-v2.sqlite:32 domain_to_categories.sqlite:1500; do
        mkdb "$ff/${spec%:*}" "$(( ${spec#*:} * 6 / 5 ))"
    done
    for spec in prefs.js:20 times.json:1 sessionstore.jsonlz4:600 compatibility.ini:1 extensions.json:100 \
        handlers.json:2 search.json.mozlz4:40 xulstore.json:1 containers.json:1 addonStartup.json.lz4:20 \
        SiteSecurityServiceState.bin:12 pkcs11.txt:1 .parentlock:0; do
        mkfile "$ff/${spec%:*}" "${spec#*:}"
    done
    for spec in History:20000 Favicons:8000 Cookies:3000 "Web Data:5000" "Login Data:256" \
        "Login Data For Account:64" "Top Sites:32" Shortcuts:512 "Network Action Predictor:1500" \
        "Affiliation Database:300" heavy_ad_intervention_opt_out.db:16 "Account Web Data:128" \
        "Media History:400" DIPS:64 Conversions:48 "Trust Tokens:32" SharedStorage:32 \
        BrowsingTopicsSiteData:48 MediaDeviceSalts:16 "Extension Cookies:64" first_party_sets.db:32; do
        mkdb "$chrome/${spec%:*}" "$(( ${spec#*:} * 6 / 5 ))"
    done
    for spec in Preferences:60 "Secure Preferences:20" Bookmarks:50 "Visited Links:128" \
        TransportSecurity:40 "Network Persistent State:8" LOCK:0 LOG:1 LOG.old:1 \
        "Current Session:900" "Current Tabs:200" "Last Session:800" "Last Tabs:150" \
        "Bookmarks.bak:50"; do
        mkfile "$chrome/${spec%:*}" "${spec#*:}"
    done
}

# The databases of a fixture, relative to it: what the sqlite3 loop and
# BleachBit are given, and what the results are checked on.
list_databases() {
    (cd "$1" && find . -type f -print0 | while IFS= read -r -d '' f; do
        if [ "$(head -c 16 "$f" | od -An -c | tr -d ' \n')" = 'SQLiteformat3\0' ]; then
            printf '%s\n' "${f#./}"
        fi
    done | sort -f)
}

# The profile folders of a copy, one per line.
folders_of() {
    local f
    while IFS= read -r f; do printf '%s\n' "$1/$f"; done < "$folders"
}

# The sides; each gets its own copy of the fixture as $1.
floor() {
    local out
    mapfile -t dirs < <(folders_of "$1")
    out=$("$floor_tool" "${dirs[@]}")
    side_ms=$(awk '$1 == "elapsed_ms" {print $2}' <<<"$out")
}
quorbilan() {
    local args
    read -r -a args <<<"${quorbilan_args//\{\}/$1}"
    APPDATA="$1/Roaming" LOCALAPPDATA="$1/Local" "$program" "${args[@]}" >/dev/null
}
optimizer() {
    local out
    mapfile -t dirs < <(folders_of "$1")
    out=$("$optimizer_tool" optimize "${dirs[@]}")
    side_ms=$(awk '$1 == "elapsed_ms" {print $2}' <<<"$out")
}
sqlite3_loop() {
    local f
    while IFS= read -r f; do sqlite3 "$1/$f" VACUUM; done < "$databases"
}
bleachbit_clean() {
    "$bleachbit" --clean quorbilanbench.vacuum >/dev/null 2>&1
}

# BleachBit's own cleaner file: one sqlite.vacuum action per database of its copy.
write_bleachbit_cleaner() {
    local copy=$1 dir="$XDG_CONFIG_HOME/bleachbit/cleaners" f
    mkdir -p "$dir"
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<cleaner id="quorbilanbench"><label>bench</label>'
        echo '<option id="vacuum"><label>vacuum</label><description>vacuum</description>'
        while IFS= read -r f; do
            printf '<action command="sqlite.vacuum" search="file" path="%s"/>\n' "$copy/$f" \
                | sed 's/&/\&amp;/g'
        done < "$databases"
        echo '</option></cleaner>'
    } > "$dir/quorbilanbench.xml"
}

sides=(floor quorbilan optimizer sqlite3_loop)
[ -n "$bleachbit" ] && sides+=(bleachbit_clean)
label() {
    case $1 in
        floor) echo "C floor (vacuum_floor)" ;;
        quorbilan) echo "quorbilan console" ;;
        optimizer) echo "Optimizer in process" ;;
        sqlite3_loop) echo "sqlite3 FILE VACUUM loop" ;;
        bleachbit_clean) echo "bleachbit sqlite.vacuum" ;;
    esac
}

# Files a tool changed and the databases' bytes after, on its copy of the last round.
results_of() {
    local copy=$1 fixture=$2 f changed=0 bytes=0
    while IFS= read -r f; do
        cmp -s "$copy/$f" "$fixture/$f" || changed=$(( changed + 1 ))
        bytes=$(( bytes + $(stat -c %s "$copy/$f") ))
    done < "$databases"
    echo "$changed files compacted, $bytes bytes after"
}

run_workload() {
    local title=$1 root=$2
    local fixture=$root/fixture
    databases=$root/databases.txt
    folders=$root/folders.txt
    quorbilan_args=$(cat "$root/quorbilan_args.txt")
    list_databases "$fixture" > "$databases"
    local before=0 f
    while IFS= read -r f; do before=$(( before + $(stat -c %s "$fixture/$f") )); done < "$databases"
    echo
    echo "== $title: $(find "$fixture" -type f | wc -l) files, $(wc -l < "$databases") databases, $before bytes"
    [ -n "$bleachbit" ] && write_bleachbit_cleaner "$(bench_copy_root_of "$fixture")/bleachbit_clean"
    bench_rounds "$rounds" "$fixture" "${sides[@]}"
    local side
    for side in "${sides[@]}"; do
        if [ "$side" = optimizer ]; then
            bench_row "$(label "$side") (own time)" "$side" own floor own
        elif [ "$side" = floor ]; then
            bench_row "$(label "$side") (own time)" "$side" own floor own
            bench_row "$(label "$side")" "$side" wall floor wall
        else
            bench_row "$(label "$side")" "$side" wall floor wall
        fi
        printf '      %s\n' "$(results_of "$(bench_copy_root_of "$fixture")/$side" "$fixture")"
    done
}

echo "Building the fixtures..."
make_many "$work/many"
run_workload "200 small databases on disk ($work)" "$work/many"

mkdir -p "$shm/many"
cp -a "$work/many/fixture" "$work/many/folders.txt" "$work/many/quorbilan_args.txt" "$shm/many/"
rm -rf "$work/many"
run_workload "200 small databases on tmpfs ($shm)" "$shm/many"
rm -rf "$shm/many"

make_browser "$work/browser"
run_workload "browser profiles on disk" "$work/browser"
rm -rf "$work/browser"

echo
echo "== peak RSS on one database of about $large_mib MiB (disk)"
mkdir -p "$work/large/fixture/profile"
mkdb "$work/large/fixture/profile/large.sqlite" $(( large_mib * 1024 ))
databases=$work/large/databases.txt
echo profile/large.sqlite > "$databases"
folders=$work/large/folders.txt
echo profile > "$folders"
quorbilan_args="/Firefox:{}/profile"
[ -n "$bleachbit" ] && write_bleachbit_cleaner "$work/large/copy"
for side in "${sides[@]}"; do
    rm -rf "$work/large/copy"
    cp -a "$work/large/fixture" "$work/large/copy"
    sync
    rss=$( { /usr/bin/time -f 'peak_rss_kib %M' bash -c "$(declare -f "$side" folders_of); $(declare -p floor_tool optimizer_tool program databases folders quorbilan_args bleachbit 2>/dev/null); $side \"\$1\"" _ "$work/large/copy" >/dev/null; } 2>&1 \
        | awk '$1 == "peak_rss_kib" {print $2}')
    printf '  %-36s %7.1f MiB\n' "$(label "$side")" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
done
