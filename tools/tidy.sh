#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the project's own sources, using BUILD_DIR's
# compile_commands.json; fails on any finding.   tools/tidy.sh BUILD_DIR
set -uo pipefail
cd "$(dirname "$0")/.."
build=$1
output=$(find app common comport countdown platform settings stopwatch tools tests -name '*.cpp' \
    -not -path 'tests/fuzz/*' -print0 | sort -z |
    xargs -0 -n 4 -P "$(nproc)" clang-tidy -p "$build" --quiet 2>&1)
status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' \
    <<<"$output" || true
if [ "$status" -ne 0 ]; then
    echo "clang-tidy: findings above"
    exit 1
fi
echo "clang-tidy: clean"
