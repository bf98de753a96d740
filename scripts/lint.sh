#!/usr/bin/env bash
# The project's static checks: clang-format on every C++ file in git, and clang-tidy (the
# checks in .clang-tidy) on every source file of the programs, the benchmarks and the
# scripts' programs.
#   scripts/lint.sh BUILD    BUILD: a configured tree whose compile_commands.json lists
#                            each source file itself (no unity build, no precompiled header)
# It fails when a file it should check is missing from the compile database, and when it
# checked no file at all. LINT_JOBS (default 2) clang-tidy processes run at once.
# clang-tidy is version 22 (CLANG_TIDY to change it), which leaves the system headers (Qt,
# the standard library) unanalysed: three times quicker here than Debian 12's default, 14.
# clang-format stays 14, the version the committed formatting was made with.
set -euo pipefail
build=${1:-build}
jobs=${LINT_JOBS:-2}
tidy=${CLANG_TIDY:-clang-tidy-22}
cd "$(dirname "$0")/.."

fail() { echo "lint: $*" >&2; exit 1; }
command -v "$tidy" > /dev/null || fail "$tidy is not installed (make deps installs it)"

mapfile -t files < <(git ls-files '*.cpp' '*.h')
[ ${#files[@]} -gt 0 ] || fail "no C++ file to format"
clang-format --dry-run -Werror "${files[@]}"
echo "clang-format: ${#files[@]} files clean"

database=$build/compile_commands.json
[ -f "$database" ] || fail "$database does not exist; configure $build first"
root=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
mapfile -t sources < <(git ls-files 'src/*.cpp' 'tools/*.cpp' 'bench/*.cpp' 'scripts/*.cpp')
[ ${#sources[@]} -gt 0 ] || fail "no source file to check"
listed=$(sed -n 's|^ *"file": "'"$root"'/\(.*\)",\{0,1\}$|\1|p' "$database" | sort -u)
unlisted=$(printf '%s\n' "${sources[@]}" | sort | comm -23 - <(printf '%s\n' "$listed"))
[ -z "$unlisted" ] || fail "not in $database, so not checked:"$'\n'"$unlisted"

# A file that includes its own moc output needs it generated: run its target's code
# generation step alone, without the rest of the build that comes before it there.
mapfile -t needs_moc < <(grep -l '^#include ".*\.moc"' "${sources[@]}" || true)
for file in "${needs_moc[@]}"; do
    object=$(grep -B1 -F "\"file\": \"$root/$file\"" "$database" | sed -n 's|.* -o \([^ ]*\) .*|\1|p')
    step=$(printf '%s\n' "$object" | sed -n 's|^\(.*/\)\{0,1\}CMakeFiles/\([^/]*\)\.dir/.*|\1\2_autogen/timestamp|p')
    [ -n "$step" ] || fail "no target compiles $file"
    sh -c "$(ninja -C "$build" -t commands -s "$step")" > /dev/null
done

# One log per file; a file counts as checked once clang-tidy has passed it.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
export build logs tidy
printf '%s\0' "${sources[@]}" | xargs -0 -n 1 -P "$jobs" sh -c '
    log="$logs/$(printf %s "$1" | tr / _)"
    if "$tidy" -quiet -p "$build" "$1" > "$log.out" 2>&1; then touch "$log.passed"; fi
    ' sh || true
checked=$(find "$logs" -name '*.passed' | wc -l)
if [ "$checked" -ne ${#sources[@]} ]; then
    cat "$logs"/*.out | grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' >&2 || true
    fail "clang-tidy passed $checked of ${#sources[@]} files; the findings above must be fixed"
fi
echo "clang-tidy: $checked files clean"
