#!/usr/bin/env bash
# Renders the main window (the profiles page in light and dark mode, and the
# log page after a run, the update and download dialogs) over a small set of
# sample profiles under Xvfb, into docs/; then the Windows program's main
# window under Wine into docs/main-window-windows.png (screenshot-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh screenshot >&2

build=${QUORBILAN_RUN_BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF >/dev/null
cmake --build "$build" --parallel "${QUORBILAN_JOBS:-4}" --target mainwindow_screenshots >&2

mkdir -p docs
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
    "$build/tests/app/mainwindow_screenshots" docs

./scripts/screenshot-windows.sh
