#!/usr/bin/env bash
# Set-up, the formatting check, then the whole suite twice: a normal build
# and one under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=${JOBS:-2}
export QT_QPA_PLATFORM=offscreen

# A compiler cache makes a second run on the same machine (a fresh clone
# included: paths are taken relative to the clone) compile only what changed.
launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

run_suite() {
    local dir=$1 type=$2 sanitize=$3
    shift 3
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DMALVORN_SANITIZE="$sanitize" \
        "${launcher[@]}" "$@"
    # Timed apart, so that the log shows where the run's time goes.
    echo "-- build ($dir)"
    time cmake --build "$dir" -j "$jobs"
    echo "-- tests ($dir)"
    time (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

echo "== formatting =="
find src tests tools bench -name '*.cpp' -o -name '*.h' | sort | xargs clang-format --dry-run -Werror
echo "== file and function sizes =="
bash scripts/check_sizes.sh

echo "== build and test (release) =="
# Debug information as line tables only (-g1), in both builds: enough for a
# backtrace and for the sanitizers' reports (file and line). Full -g took
# about a third of an -O2 compile's CPU time and a tenth of an -O0 one's
# (README, "What the tests cost"). The setting stays in the folder's cache;
# to debug with variables, configure again with
# -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g -DNDEBUG".
run_suite build RelWithDebInfo OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
echo "== build and test (address + undefined behaviour sanitizers) =="
# Three of the kill tests' points under the sanitizers: each is a whole
# 200,000-row migration.
# Without the benchmarks: no test runs them.
MALVORN_KILL_POINTS=3 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_suite build-asan Debug ON \
    -DMALVORN_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG=-g1
