#!/usr/bin/env bash
# Renders the Windows program's main window under Wine, in the windowsvista
# style over a few Firefox and Chrome profiles, into
# docs/main-window-windows.png. Builds the Windows program first
# (scripts/build-windows.sh: Qt for Windows comes from its cache, the first
# build of that cache takes a while), then runs the screenshot program of the
# Linux build's Windows tests in a freshly prepared Wine prefix under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh windows >&2
./scripts/build-windows.sh >&2

windowsBuild=${QUORBILAN_WINDOWS_BUILD_DIR:-$PWD/build-windows}
build=${QUORBILAN_RUN_BUILD_DIR:-build-release}
# Configured after the Windows build: the Windows program's tests, and this
# program among them, exist only when its deployed folder does.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF \
    -DQUORBILAN_WINDOWS_BUILD_DIR="$windowsBuild" >/dev/null
cmake --build "$build" --parallel "${QUORBILAN_JOBS:-4}" --target windows_screenshot >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= sh tests/winprogram/prefix.sh template "$work/prefix"
windowsQt=$(sed -n 's/^QUORBILAN_WINDOWS_QT:[^=]*=//p' "$windowsBuild/CMakeCache.txt")

mkdir -p docs
xvfb-run -a -s "-screen 0 1280x1024x24" env \
    QUORBILAN_WINDOWS_BUILD="$windowsBuild" \
    QUORBILAN_WINDOWS_DEPLOY="$windowsBuild/deploy" \
    QUORBILAN_WINDOWS_QT="$windowsQt" \
    QUORBILAN_WINE_TEMPLATE_PREFIX="$work/prefix" \
    WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LANG=C.UTF-8 \
    "$build/tests/winprogram/windows_screenshot" docs/main-window-windows.png
