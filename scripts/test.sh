#!/usr/bin/env bash
# Installs what is missing, builds everything (Debug, ASan + UBSan) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh test

build=${QUORBILAN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900 "$@"
