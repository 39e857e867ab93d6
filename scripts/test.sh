#!/usr/bin/env bash
# Builds Hoverdeck (installing what is missing) and runs every test inside a
# private network namespace with only loopback up, so that no datagram can
# leave the machine whatever a test does. HOVERDECK_WERROR=ON makes a warning in
# the product's own code fail the build (CI sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHOVERDECK_WERROR="${HOVERDECK_WERROR:-OFF}" >/dev/null
cmake --build build
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
$sudo unshare -n sh -c 'ip link set lo up && xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir build --output-on-failure -j "$(nproc)"'
