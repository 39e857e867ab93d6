#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one.
#   scripts/fuzz.sh            short run: 30 s per target (what CI does)
#   scripts/fuzz.sh 1000000    long run: a million inputs per target
# Findings are written to build-fuzz/findings/; keep each as a regression input in
# fuzz/corpus/<target>/ once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
HOVERDECK_FUZZ=1 bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DHOVERDECK_FUZZ=ON -DHOVERDECK_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(fuzz_state fuzz_answer fuzz_playback fuzz_flightplan fuzz_generator)
cmake --build build-fuzz --target "${targets[@]}"

budget=${1:-}
mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
    work=build-fuzz/corpus/$t
    mkdir -p "$work" "fuzz/corpus/$t"
    if [[ -n "$budget" ]]; then limit=(-runs="$budget"); else limit=(-max_total_time="${HOVERDECK_FUZZ_SECONDS:-30}"); fi
    echo "== $t"
    build-fuzz/fuzzers/$t "${limit[@]}" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/findings/$t- "$work" "fuzz/corpus/$t" 2>&1 |
        grep -E '^(stat::number_of_executed_units|==|SUMMARY|Done)' || true
    if ls build-fuzz/findings/$t-* >/dev/null 2>&1; then
        echo "finding in $t: see build-fuzz/findings/" >&2
        exit 1
    fi
done
