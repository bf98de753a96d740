#!/usr/bin/env bash
# The project's static checks: clang-format on every C++ file, clang-tidy on the
# program's own sources (the checks in .clang-tidy).
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}"
echo "clang-format: ${#files[@]} files clean"
run-clang-tidy -quiet -p "$build" -j 2 "^$PWD/(src|tools)/.*\.cpp$" 2>&1 \
    | grep -v -E '^(clang-tidy|[0-9]+ warnings? generated|Suppressed|Use -header-filter|Running)' \
    | { ! grep -E 'warning:|error:'; }
echo "clang-tidy: clean"
