#!/usr/bin/env bash
# Installs what is missing, builds the program (Release) and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh >&2

build=${QUORBILAN_RUN_BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" >&2

if [ ! -x "$build/app/quorbilan" ]; then
    echo "The program is not built yet: only the libraries and tests exist." >&2
    exit 1
fi
exec "$build/app/quorbilan" "$@"
