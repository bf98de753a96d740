#!/usr/bin/env bash
# run-fuzzer.sh FUZZER CORPUS short|long
# short: a fixed seed and a fixed number of runs, for the test suite.
# long:  ten minutes, or $FUZZ_SECONDS, for `make fuzz`.
# New inputs go to a scratch folder; the committed corpus is only read.
set -euo pipefail
fuzzer=$1 corpus=$2 mode=${3:-short}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
if [ "$mode" = short ]; then
    exec "$fuzzer" -seed=1 -runs="${FUZZ_RUNS:-30000}" -max_len=4096 -timeout=10 \
        -print_final_stats=1 "$scratch" "$corpus"
else
    "$fuzzer" -max_total_time="${FUZZ_SECONDS:-600}" -max_len=65536 -timeout=10 \
        -print_final_stats=1 "$scratch" "$corpus" 2>&1 | tail -n 20
fi
