#!/usr/bin/env bash
# Set-up, build, and start the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "${JOBS:-2}" --target malvorn-cli
exec build/src/cli/malvorn-cli "$@"
