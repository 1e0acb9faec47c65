#!/usr/bin/env bash
# Installs what is missing, checks the layout of every source, builds
# everything (Debug, ASan + UBSan, warnings as errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh test

./scripts/check-format.sh

build=${QUORBILAN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900 "$@"
