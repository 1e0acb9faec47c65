#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools
    libsqlite3-dev sqlite3
    libtinyxml2-dev libfmt-dev libspdlog-dev
    zlib1g-dev libbz2-dev liblzma-dev libssl-dev openssl
    xvfb xauth xdotool
    g++-mingw-w64-x86-64-posix wine64 wine
    util-linux procps time
    dbus-daemon
    ca-certificates python3
    # The desktop portal and GSettings for the dark-mode tests and the dark
    # screenshot.
    libglib2.0-bin gsettings-desktop-schemas xdg-desktop-portal xdg-desktop-portal-gtk
)

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
