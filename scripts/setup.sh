#!/usr/bin/env bash
# Installs the Debian packages a task needs. Safe to run again: it only calls
# apt-get when something is missing.
#   scripts/setup.sh [run|screenshot|bench|windows|test]
#     run         building and running the program (scripts/run.sh)
#     screenshot  that, Xvfb and GSettings (scripts/screenshot.sh)
#     bench       that and the sqlite3 shell the benchmarks compare with
#     windows     that, mingw-w64, Wine and the tools that build Qt and the
#                 other libraries for Windows (scripts/build-windows.sh)
#     test        everything the tests need: also Xvfb, openssl, D-Bus,
#                 mingw-w64 and Wine (the default)
set -euo pipefail

profile=${1:-test}

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
    libsqlite3-dev
    libtinyxml2-dev libfmt-dev libspdlog-dev
    zlib1g-dev libbz2-dev liblzma-dev libssl-dev
    # GSettings, read in process for the desktop's light/dark preference.
    libglib2.0-dev
    # The update service's built-in root certificates are made from these.
    ca-certificates
)
case "$profile" in
run) ;;
screenshot)
    # The dark picture's preference goes through GSettings.
    packages+=(xvfb xauth libglib2.0-bin gsettings-desktop-schemas)
    ;;
bench)
    packages+=(sqlite3)
    ;;
windows) ;;
test)
    packages+=(
        sqlite3 openssl
        # The fuzz targets' compiler and its sanitizer runtime.
        clang-14 libclang-rt-14-dev
        # The layout check of every source.
        clang-format-14
        util-linux procps time
        dbus-daemon
        python3
        # The desktop portal and GSettings for the dark-mode tests.
        libglib2.0-bin gsettings-desktop-schemas xdg-desktop-portal xdg-desktop-portal-gtk
    )
    ;;
*)
    echo "usage: $0 [run|screenshot|bench|windows|test]" >&2
    exit 2
    ;;
esac

if [ "$profile" = windows ] || [ "$profile" = test ]; then
    packages+=(
        g++-mingw-w64-x86-64-posix wine64 wine libz-mingw-w64-dev
        # Wine's own fonts: without them Qt falls back to a serif face.
        fonts-wine
        # Unpacking Debian's source packages; SQLite's amalgamation is made with tclsh.
        dpkg-dev patch tcl zip xvfb xauth xdotool
    )
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
