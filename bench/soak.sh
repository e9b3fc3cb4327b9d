#!/usr/bin/env bash
# Runs the program's stateful random test (random sequences of Set, Cancel, Esc, script calls,
# boxes, field edits, unplugged adapters and SIGTERM, checked against the model of when a line
# may be up) for SECONDS, from a new seed each time; a failure prints its seed, which
# TIMERS_RANDOM_SEED replays. Needs the test build: bash tools/test.sh (or its sanitizer stage).
#   bench/soak.sh [SECONDS] [FIRST_SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
seed=${2:-$(date +%s)}
test=build-asan/bin/tst_program
[ -x "$test" ] || { echo "soak: $test is missing; build the tests first: bash tools/test.sh" >&2; exit 1; }
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
# QTest ends a test function after 5 minutes unless told otherwise.
ASAN_OPTIONS=verify_asan_link_order=0 QT_QPA_PLATFORM=offscreen XDG_STATE_HOME="$state" \
    QTEST_FUNCTION_TIMEOUT=$(((seconds + 600) * 1000)) \
    TIMERS_RANDOM_SEED=$seed TIMERS_RANDOM_SEQUENCES=1000000 TIMERS_RANDOM_SECONDS="$seconds" \
    "$test" randomSequencesKeepTheDeviceSafe 2>&1 | grep -v '^QWARN' | grep -E 'FAIL|seed|sequences|Loc|Totals|^[0-9]'
