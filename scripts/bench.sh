#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and runs them in a private network
# namespace with only loopback up, so that whatever they send stays on this machine.
#   scripts/bench.sh              every benchmark (about five minutes)
#   scripts/bench.sh NAME...      some: roundtrip log stick playback startup statestream generator fileopen
# They print numbers and judge nothing; see bench/README.md for what each measures.
set -euo pipefail
cd "$(dirname "$0")/.."
all=(roundtrip log stick playback startup statestream generator fileopen)

if [[ "${1:-}" != --in-namespace ]]; then
    names=("$@")
    ((${#names[@]})) || names=("${all[@]}")
    for n in "${names[@]}"; do
        [[ " ${all[*]} " == *" $n "* ]] || { echo "unknown benchmark: $n (one of: ${all[*]})" >&2; exit 2; }
    done
    bash scripts/deps.sh
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHOVERDECK_BENCH=ON >/dev/null
    cmake --build build-bench --target hoverdeck-drone "${names[@]/#/bench_}"
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    exec $sudo unshare -n bash "$0" --in-namespace "${names[@]}"
fi

shift
ip link set lo up
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
xvfb=(xvfb-run -a -s "-screen 0 1600x1000x24")

for n in "$@"; do
    echo
    case $n in
        # Windows that must really be mapped run on an X server, the rest offscreen.
        startup|statestream|stick) QT_QPA_PLATFORM=xcb "${xvfb[@]}" "build-bench/bench/bench_$n" ;;
        *) QT_QPA_PLATFORM=offscreen "build-bench/bench/bench_$n" ;;
    esac
done
