#!/usr/bin/env bash
# Builds Hoverdeck (installing what is missing) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOVERDECK_BENCH=OFF >/dev/null
cmake --build build --target hoverdeck hoverdeck-drone
exec build/bin/hoverdeck "$@"
