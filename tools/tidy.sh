#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the program's own sources and the tools, using
# BUILD_DIR's compile_commands.json; prints a line as each file is done and fails on any finding.
#   tools/tidy.sh BUILD_DIR
set -uo pipefail
cd "$(dirname "$0")/.."
build=$1

if [ "${2:-}" = --file ]; then # one file, run by the loop below: its line, and its findings
    output=$(clang-tidy -p "$build" --quiet "$3" 2>&1)
    status=$?
    findings=$(grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' \
        <<<"$output")
    if [ "$status" -eq 0 ]; then printf 'clang-tidy: %s\n' "$3"; else printf 'clang-tidy: %s\n%s\n' "$3" "$findings"; fi
    exit "$status"
fi

# The tests are left out: QTest's macros make them slow to analyse, and the warnings-as-errors
# build checks them.
mapfile -d '' files < <(find app common comport countdown ctl desktop input output raise recent remote runlog serial settings sound stopwatch system tools tray -name '*.cpp' -print0 | sort -z)
echo "clang-tidy: ${#files[@]} files, $(nproc) at a time"
if printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P "$(nproc)" bash tools/tidy.sh "$build" --file; then
    echo "clang-tidy: clean"
else
    echo "clang-tidy: findings above"
    exit 1
fi
