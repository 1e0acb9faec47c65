#!/usr/bin/env bash
# Installs what is missing, builds the program (Release) and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh >&2

build=${QUORBILAN_RUN_BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target quorbilan >&2

exec "$build/app/quorbilan" "$@"
