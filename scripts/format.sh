#!/usr/bin/env bash
# Formats the C++ sources with the project's .clang-format. With --check it
# changes nothing and fails on the first difference instead (CI runs that).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == --check ]]; then
    clang-format --dry-run --Werror "${files[@]}"
else
    clang-format -i "${files[@]}"
fi
