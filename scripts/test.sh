#!/usr/bin/env bash
# Installs what is missing, checks the layout of every source, builds the
# Windows program (scripts/build-windows.sh: the first run also builds Qt for
# Windows into its cache) and everything else (Debug, ASan + UBSan, warnings as
# errors), and runs every test, the Windows program's under Wine among them.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh test

./scripts/check-format.sh

# Before the Linux build configures: its ctest registers the Windows program's
# tests only when the program is there.
./scripts/build-windows.sh

build=${QUORBILAN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900 "$@"
