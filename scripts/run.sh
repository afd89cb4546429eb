#!/usr/bin/env bash
# Set-up, build, and start the program's window. Safe to run again: set-up and
# build only do what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Every program the README names: the window, the command line, the Jet
# reader they start, the sample database maker and the benchmarks.
cmake --build build -j "${JOBS:-2}" --target malvorn malvorn-cli malvorn-jet-reader make-jet-sample \
    bench/all
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the window cannot open." >&2
    echo "run: start this from a desktop session (or over ssh -X), or use the command line:" >&2
    echo "run:   build/src/cli/malvorn-cli --help" >&2
    exit 1
fi
exec build/src/app/malvorn "$@"
