#!/usr/bin/env bash
# Builds Hoverdeck (installing what is missing) and runs every test inside a
# private network namespace with only loopback up, so that no datagram can
# leave the machine whatever a test does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
$sudo unshare -n sh -c 'ip link set lo up && xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir build --output-on-failure -j "$(nproc)"'
