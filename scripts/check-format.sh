#!/usr/bin/env bash
# Fails when a tracked C or C++ source differs from the layout in .clang-format.
# With --fix it rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=(--dry-run --Werror)
if [ "${1:-}" = "--fix" ]; then
    mode=(-i)
fi
git ls-files -z -- '*.c' '*.cpp' '*.h' | xargs -0 clang-format-14 "${mode[@]}"
