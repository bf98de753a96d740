#!/usr/bin/env bash
# Runs every benchmark and prints its tables (Markdown, readable in a terminal too): the
# panel's, then tarn-bridge's.
#   scripts/bench.sh BUILD              the default run, about 3 minutes
#   scripts/bench.sh BUILD --full       long holds and many samples, about 25 minutes
# Further options go to tarn-bench (see tarn-bench --help). The programs open only
# pseudo-terminals they make themselves. With no display, a virtual X display is used when
# xvfb-run is there, so that the start-up is also measured on the xcb platform.
set -euo pipefail
build=${1:-build}
[ $# -gt 0 ] && shift
bin="$build/bin"
for program in tarn-bench tarn-bench-window tarn-bench-bridge tarn-bridge tarn-sim; do
    [ -x "$bin/$program" ] || { echo "$bin/$program is missing: build the benchmarks target" >&2; exit 1; }
done
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

echo "Measuring; the table follows when every benchmark has run (load now: $(cut -d' ' -f1-3 /proc/loadavg))." >&2
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run > /dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/tarn-bench" "$@"
else
    "$bin/tarn-bench" "$@"
fi
# tarn-bridge's own table; --full is the only option it shares.
echo
bridge_args=()
for arg in "$@"; do [ "$arg" = --full ] && bridge_args+=(--full); done
"$bin/tarn-bench-bridge" "${bridge_args[@]}"
