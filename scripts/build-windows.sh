#!/usr/bin/env bash
# Builds the Windows program with mingw-w64: Qt 6 and the other libraries for
# Windows are built once from Debian's own source packages into a cache folder
# outside the checkout, then quorbilan.exe is built against them and left with
# every DLL and plugin it needs in build-windows/deploy/, zipped beside it.
#
#   scripts/build-windows.sh [--libraries-only]
#
# QUORBILAN_WINDOWS_CACHE names the cache folder (default
# ${XDG_CACHE_HOME:-$HOME/.cache}/quorbilan/windows), QUORBILAN_WINDOWS_BUILD_DIR
# the program's build folder (default build-windows). Each library lives in a
# folder named after its source version and a hash of how it is built, so a
# change of either builds it again and a rerun reuses it. The tools' own output
# goes to the log the script names; on failure its tail is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

librariesOnly=0
case "${1:-}" in
"") ;;
--libraries-only) librariesOnly=1 ;;
*)
    echo "usage: $0 [--libraries-only]" >&2
    exit 2
    ;;
esac

./scripts/setup.sh windows

cache=${QUORBILAN_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorbilan/windows}
build=${QUORBILAN_WINDOWS_BUILD_DIR:-build-windows}
jobs=${QUORBILAN_WINDOWS_JOBS:-$(nproc)}
toolchain=$root/cmake/mingw-w64-x86_64.cmake
triplet=x86_64-w64-mingw32
mkdir -p "$cache/sources" "$cache/logs"
# One build of the libraries at a time per cache: a second run waits here.
exec 9>"$cache/.lock"
if ! flock -n 9; then
    echo "Another build is using $cache; waiting for it"
    flock 9
fi
log=$cache/logs/build-windows-$(date -u +%Y%m%d-%H%M%S).log
: >"$log"
echo "Building the Windows program; the tools' output goes to $log"

step=0
stage() {
    step=$((step + 1))
    printf '[%s] %d. %s\n' "$(date -u +%H:%M:%S)" "$step" "$*"
    printf '\n==== %s\n' "$*" >>"$log"
}
fail() {
    echo "Failed: $*; the end of $log:" >&2
    tail -n 40 "$log" >&2
    exit 1
}
# Runs a tool with its output in the log.
logged() {
    "$@" >>"$log" 2>&1 || fail "$*"
}

# --- Sources ------------------------------------------------------------------
# Debian's source packages, through a deb-src list of our own: the machine's
# apt configuration is left alone.
aptState=$cache/apt
mkdir -p "$aptState/parts" "$aptState/lists/partial"
cat >"$aptState/parts/debian-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt=(apt-get -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$aptState/parts"
    -o "Dir::State::Lists=$aptState/lists" -o Debug::NoDropPrivs=true -o APT::Sandbox::User=root)
sourcePackages=(qt6-base sqlite3 bzip2 xz-utils tinyxml2 fmtlib spdlog)

stage "Source packages: ${sourcePackages[*]}"
if "${apt[@]}" update -qq >>"$log" 2>&1; then
    (cd "$cache/sources" && logged "${apt[@]}" source --download-only -qq "${sourcePackages[@]}")
else
    echo "  the source lists could not be updated; using the sources already in the cache" | tee -a "$log"
fi

# The newest .dsc of a source package in the cache.
dscOf() {
    local found
    found=$(ls "$cache/sources/$1"_*.dsc 2>/dev/null | sort -V | tail -n 1)
    [ -n "$found" ] || fail "no source package $1 in $cache/sources"
    echo "$found"
}
versionOf() {
    basename "$(dscOf "$1")" .dsc | sed "s/^$1_//"
}

# Unpacks a source package (with Debian's patches) into a fresh work folder.
unpack() {
    local package=$1 into=$2
    rm -rf "$into"
    mkdir -p "$(dirname "$into")"
    logged dpkg-source --no-check -x "$(dscOf "$package")" "$into"
}

compilerVersion=$($triplet-g++-posix -dumpfullversion)
# A hash of everything that decides how a library is built.
recipeHash() {
    { printf '%s\n' "$@" "$compilerVersion"; cat "$toolchain"; } | sha256sum | cut -c1-12
}

# --- Qt -------------------------------------------------------------------------
# Our patches of Qt for this build, applied in name order.
qtPatches=("$root"/scripts/windows/qtbase-*.patch)
qtOptions=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    # Dynamic OpenGL stays on with FEATURE_opengl=OFF and fails to build.
    -DINPUT_opengl=no
    -DFEATURE_schannel=ON
    -DFEATURE_openssl=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_printsupport=OFF
    # The Direct2D platform plugin: not used, and it builds the Wintab sources too.
    -DFEATURE_direct2d=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_zstd=OFF
    -DFEATURE_freetype=OFF
    -DFEATURE_system_zlib=OFF
    -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_png=OFF
    -DFEATURE_system_jpeg=OFF
    -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_doubleconversion=OFF
)
qtVersion=$(versionOf qt6-base)
qtPrefix=$cache/qt-$qtVersion-$(recipeHash "${qtOptions[@]}" "$(cat "${qtPatches[@]}")")

if [ -f "$qtPrefix/.complete" ]; then
    stage "Qt $qtVersion for Windows: in the cache ($qtPrefix)"
else
    work=$cache/work/qtbase
    # An interrupted build of the same sources goes on where it stopped; a
    # patch added since is applied on top.
    if [ -f "$work/source-version" ] && [ "$(cat "$work/source-version")" = "$qtVersion" ]; then
        stage "Qt $qtVersion for Windows: resuming the build in $work"
    else
        stage "Qt $qtVersion for Windows: unpacking"
        rm -rf "$work"
        unpack qt6-base "$work/src"
        echo "$qtVersion" >"$work/source-version"
        : >"$work/patches-applied"
    fi
    for qtPatch in "${qtPatches[@]}"; do
        patchName=$(basename "$qtPatch")
        if ! grep -qxF "$patchName" "$work/patches-applied"; then
            logged patch -d "$work/src" -p1 -i "$qtPatch"
            echo "$patchName" >>"$work/patches-applied"
        fi
    done
    stage "Qt $qtVersion for Windows: configuring"
    rm -rf "$qtPrefix"
    logged cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$qtPrefix" "${qtOptions[@]}"
    stage "Qt $qtVersion for Windows: building with $jobs jobs (about 6400 CPU-seconds)"
    logged cmake --build "$work/build" --parallel "$jobs"
    stage "Qt $qtVersion for Windows: installing"
    logged cmake --install "$work/build"
    rm -rf "$work"
    touch "$qtPrefix/.complete"
fi

# --- The other libraries, static ------------------------------------------------
depsKey=()
for p in sqlite3 bzip2 xz-utils tinyxml2 fmtlib spdlog; do depsKey+=("$p=$(versionOf "$p")"); done
depsPrefix=$cache/libs-$(recipeHash "${depsKey[@]}" "$(sed -n '/^# >>> libraries/,/^# <<< libraries/p' "$0")")

# >>> libraries (this block is part of the cache key)
cmakeLibrary() {
    local package=$1
    shift
    local work=$cache/work/$package
    unpack "$package" "$work/src"
    logged cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$depsPrefix" \
        -DCMAKE_PREFIX_PATH="$depsPrefix" -DCMAKE_FIND_ROOT_PATH="$depsPrefix;/usr/$triplet" "$@"
    logged cmake --build "$work/build" --parallel "$jobs"
    logged cmake --install "$work/build"
    rm -rf "$work"
}
buildSqlite() {
    local work=$cache/work/sqlite3
    unpack sqlite3 "$work/src"
    # The amalgamation is made by the source tree's own tools on this machine.
    (cd "$work/src" && logged ./configure --disable-tcl && logged make sqlite3.c)
    mkdir -p "$depsPrefix/include" "$depsPrefix/lib"
    logged $triplet-gcc-posix -O2 -c "$work/src/sqlite3.c" -o "$work/sqlite3.o" \
        -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_FTS3_PARENTHESIS \
        -DSQLITE_ENABLE_FTS4 -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_RTREE -DSQLITE_OMIT_LOAD_EXTENSION
    logged $triplet-ar rcs "$depsPrefix/lib/libsqlite3.a" "$work/sqlite3.o"
    cp "$work/src/sqlite3.h" "$work/src/sqlite3ext.h" "$depsPrefix/include/"
    rm -rf "$work"
}
buildBzip2() {
    local work=$cache/work/bzip2
    unpack bzip2 "$work/src"
    mkdir -p "$depsPrefix/include" "$depsPrefix/lib"
    local objects=()
    for f in blocksort huffman crctable randtable compress decompress bzlib; do
        logged $triplet-gcc-posix -O2 -D_FILE_OFFSET_BITS=64 -c "$work/src/$f.c" -o "$work/$f.o"
        objects+=("$work/$f.o")
    done
    logged $triplet-ar rcs "$depsPrefix/lib/libbz2.a" "${objects[@]}"
    cp "$work/src/bzlib.h" "$depsPrefix/include/"
    rm -rf "$work"
}
buildLibraries() {
    rm -rf "$depsPrefix"
    stage "SQLite $(versionOf sqlite3) for Windows"
    buildSqlite
    stage "bzip2 $(versionOf bzip2) for Windows"
    buildBzip2
    stage "liblzma $(versionOf xz-utils) for Windows"
    cmakeLibrary xz-utils -DBUILD_TESTING=OFF -DENABLE_NLS=OFF
    stage "tinyxml2 $(versionOf tinyxml2) for Windows"
    cmakeLibrary tinyxml2 -Dtinyxml2_BUILD_TESTING=OFF -DBUILD_TESTING=OFF
    stage "fmt $(versionOf fmtlib) for Windows"
    cmakeLibrary fmtlib -DFMT_TEST=OFF -DFMT_DOC=OFF
    stage "spdlog $(versionOf spdlog) for Windows"
    cmakeLibrary spdlog -DSPDLOG_FMT_EXTERNAL=ON -DSPDLOG_BUILD_EXAMPLE=OFF -DSPDLOG_BUILD_TESTS=OFF
    touch "$depsPrefix/.complete"
}
# <<< libraries

if [ -f "$depsPrefix/.complete" ]; then
    stage "SQLite, bzip2, liblzma, tinyxml2, fmt, spdlog for Windows: in the cache ($depsPrefix)"
else
    buildLibraries
fi
rm -rf "$cache/work"

flock -u 9
[ "$librariesOnly" = 1 ] && exit 0

# --- The program ----------------------------------------------------------------
stage "quorbilan.exe: configuring in $build"
logged cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_PREFIX_PATH="$qtPrefix;$depsPrefix" \
    -DCMAKE_FIND_ROOT_PATH="$qtPrefix;$depsPrefix;/usr/$triplet" \
    -DQUORBILAN_WINDOWS_QT="$qtPrefix"
stage "quorbilan.exe: building"
logged cmake --build "$build" --parallel "$jobs"
stage "quorbilan.exe: deploying to $build/deploy"
logged cmake --build "$build" --target deploy
zip=$(ls "$build"/Quorbilan-*-win64.zip)
echo "Done: $build/deploy/quorbilan.exe and $zip"
