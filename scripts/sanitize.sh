#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it, like scripts/test.sh, in a loopback-only network namespace (and,
# like it, fails on a warning in the product's code when HOVERDECK_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHOVERDECK_SANITIZE=ON -DHOVERDECK_BENCH=OFF \
    -DHOVERDECK_WERROR="${HOVERDECK_WERROR:-OFF}" >/dev/null
cmake --build build-asan
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
# Qt's own caches live for the whole process and read as leaks: leak checking is off.
$sudo env ASAN_OPTIONS=detect_leaks=0:halt_on_error=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    unshare -n sh -c 'ip link set lo up && xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 600'
