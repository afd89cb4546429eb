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
    # Given the times of an earlier run, ctest starts the longest tests first
    # instead of finding one at the end; a new sanitizer folder takes the
    # release run's times (the same tests, in about the same proportions).
    local costs=Testing/Temporary/CTestCostData.txt
    if [ ! -f "$dir/$costs" ] && [ -f "build/$costs" ]; then
        mkdir -p "$dir/Testing/Temporary" && cp "build/$costs" "$dir/$costs"
    fi
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
# about a third of an -O2 compile's CPU time and an eighth of an -O0 one's
# (README, "What the tests cost"). The setting stays in the folder's cache;
# to debug with variables, configure again with
# -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g -DNDEBUG".
run_suite build RelWithDebInfo OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
echo "== build and test (address + undefined behaviour sanitizers) =="
# Smaller counts under the sanitizers (the release run keeps the full ones):
# two of the kill tests' points, each a whole 200,000-row migration (about
# 40 s of CPU each here), and 40 damaged files of each Jet version for the
# reader's fuzz test instead of 150 (13 s of CPU instead of 43).
# Without the benchmarks: no test runs them.
MALVORN_KILL_POINTS=2 MALVORN_READER_FUZZ_FILES=40 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_suite build-asan Debug ON \
    -DMALVORN_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG=-g1
