# Sourced by the benchmark scripts: builds the given targets in a Release tree
# without sanitizers and makes a work folder that is removed at exit.
#   bench_prepare TARGET...   sets $build and $work
bench_prepare() {
    cd "$(dirname "${BASH_SOURCE[0]}")/.."
    ./scripts/setup.sh bench
    build=build-bench
    # Quiet when it works; a failed build shows why instead of ending silently.
    mkdir -p "$build"
    if ! { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORBILAN_SANITIZE=OFF \
            && cmake --build "$build" --target "$@"; } >"$build/bench-build.log" 2>&1; then
        cat "$build/bench-build.log" >&2
        echo "bench: building $* failed (log above, also in $build/bench-build.log)" >&2
        exit 1
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/quorbilan-bench.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

now_ms() { date +%s%3N; }
