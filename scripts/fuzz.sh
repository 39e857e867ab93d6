#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one.
#   scripts/fuzz.sh            short run: 30 s per target (CI sets HOVERDECK_FUZZ_SECONDS=20)
#   scripts/fuzz.sh 1000000    long run: a million inputs per target
# Each target starts from its seeds in fuzz/corpus/<target>/, which it only reads;
# what it finds new goes to build-fuzz/corpus/<target>/. A crash, a sanitizer
# report of any kind or a non-zero exit fails the run. The full output of each
# target is in build-fuzz/<target>.log, the input that failed in build-fuzz/findings/;
# keep that as a regression input in fuzz/corpus/<target>/ once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
HOVERDECK_FUZZ=1 bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DHOVERDECK_FUZZ=ON -DHOVERDECK_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# fuzz_logbreaks takes no outside input, but every copy from the message log reads it.
targets=(fuzz_state fuzz_answer fuzz_playback fuzz_flightplan fuzz_generator fuzz_logbreaks)
cmake --build build-fuzz --target "${targets[@]}"

budget=${1:-}
if [[ -n "$budget" ]]; then limit=(-runs="$budget"); else limit=(-max_total_time="${HOVERDECK_FUZZ_SECONDS:-30}"); fi
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p build-fuzz/findings
failed=()
for t in "${targets[@]}"; do
    work=build-fuzz/corpus/$t
    log=build-fuzz/$t.log
    mkdir -p "$work"
    echo "== $t"
    # libFuzzer adds new inputs to the first folder only.
    corpora=("$work")
    [[ -d fuzz/corpus/$t ]] && corpora+=("fuzz/corpus/$t")
    status=0
    build-fuzz/fuzzers/$t "${limit[@]}" -max_len=4096 -timeout=20 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/findings/$t- "${corpora[@]}" >"$log" 2>&1 || status=$?
    grep -E '^(INFO: seed corpus|stat::number_of_executed_units|Done)' "$log" || true
    report='SUMMARY:|runtime error:|ERROR: |WARNING: .*Sanitizer'
    if ((status != 0)) || grep -qE "$report" "$log"; then
        { grep -E -B2 -A12 "$report" "$log" || tail -n 5 "$log"; } | head -n 40 >&2
        echo "finding in $t (exit status $status): see $log and build-fuzz/findings/" >&2
        failed+=("$t")
    fi
done
if ((${#failed[@]})); then
    echo "fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
