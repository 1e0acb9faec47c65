#!/usr/bin/env bash
# Installs what is missing, builds the program (Release) and starts it with the
# given arguments, in the folder it was called from (relative profile paths
# keep their meaning).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh" run >&2

build=${QUORBILAN_RUN_BUILD_DIR:-$root/build-release}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target quorbilan >&2

exec "$build/app/quorbilan" "$@"
