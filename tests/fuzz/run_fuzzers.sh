#!/usr/bin/env bash
# Builds the fuzz targets with clang in BUILD_DIR and runs each for SECONDS on a scratch copy
# of its seed corpus; prints the executions each made. Exits non-zero on any fault found.
#   tests/fuzz/run_fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
seconds=$2
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --parallel 2 >/dev/null
status=0
for target in settings leading_number strict_number alarm_decoder; do
    corpus=$(mktemp -d)
    cp "$here/seeds/$target"/* "$corpus"/
    log=$(mktemp)
    if "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
        -artifact_prefix="$build/crash-$target-" "$corpus" >"$log" 2>&1; then
        echo "fuzz_$target: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') runs, no fault"
    else
        echo "fuzz_$target: FAULT"
        tail -n 40 "$log"
        status=1
    fi
    rm -rf "$corpus" "$log"
done
exit $status
