# Sourced by the benchmark scripts: builds the given targets in a Release tree
# without sanitizers and makes a work folder that is removed at exit.
#   bench_prepare TARGET...   sets $build and $work
bench_prepare() {
    cd "$(dirname "${BASH_SOURCE[0]}")/.."
    ./scripts/setup.sh
    build=build-bench
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF >/dev/null
    cmake --build "$build" --target "$@" >/dev/null
    work=$(mktemp -d "${TMPDIR:-/tmp}/quorbilan-bench.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

now_ms() { date +%s%3N; }
