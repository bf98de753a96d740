#!/usr/bin/env bash
# The project's static checks: clang-format on every C++ file, clang-tidy (the checks in
# .clang-tidy) on the program's own sources.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}"
echo "clang-format: ${#files[@]} files clean"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
run-clang-tidy -quiet -p "$build" -j 2 "^$PWD/(src|tools|bench)/.*\.cpp$" > "$log" 2>&1 || true
if grep -E 'warning:|error:' "$log"; then
    echo "clang-tidy: the findings above must be fixed" >&2
    exit 1
fi
echo "clang-tidy: $(grep -c '^clang-tidy' "$log") files clean"
