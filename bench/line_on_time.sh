#!/usr/bin/env bash
# How long the real program holds the COM line on for a countdown of n seconds. Under Xvfb,
# with a pseudo-terminal standing in for a USB adapter and modem_lines.so recording its lines,
# it presses Set and enters n, RUNS times for n = 2 and n = 5, each Set at a random phase
# within the wall-clock second; prints (line-on time - n) min, median and max.
#   bench/line_on_time.sh [RUNS]   (default 10)
# Needs the project built (tools/setup.sh) and: xvfb xdotool libxcb1-dev pkg-config.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
root=$PWD
out=$(mktemp -d /tmp/timers-line.XXXXXX)
source bench/common.sh
bench_needs xvfb xdotool libxcb1-dev pkg-config
build_bench_helpers modem_lines.so
start_bench_display
start_bench_adapter
printf '[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nyes\r\n' \
    >"$out/work/Timer_Control.ini"
(cd "$out/work" && TIMERS_SERIAL_DIR="$out/ports" TIMERS_MODEM_LOG="$out/modem.log" PULSE_SERVER=unix:/nonexistent \
    LD_PRELOAD="$root/build/bin/modem_lines.so" exec "$root/build/bin/timers" 2>"$out/stderr") &
program=$!
trap 'kill $program $bench_holder $bench_xvfb 2>/dev/null; rm -rf "$out"' EXIT
window=$(xdotool search --sync --onlyvisible --name '^Timers$' | head -n 1)
xdotool windowfocus --sync "$window"
xdotool key Tab # from Start to Set

for n in 2 5; do
    : >"$out/offsets.$n"
    for _ in $(seq "$runs"); do
        sleep "0.$((RANDOM % 1000))"
        before=0
        [ -f "$out/modem.log" ] && before=$(wc -l <"$out/modem.log")
        xdotool key space
        xdotool search --sync --onlyvisible --name '^Count Down Timer$' >/dev/null
        xdotool type "$n"
        xdotool key Return
        sleep "$((n + 2))"
        # The assertion after the port has opened (and dropped the lines Linux raised as it
        # opened), and the next de-assertion, in nanoseconds.
        tail -n +"$((before + 1))" "$out/modem.log" | grep " pts=$pts set " | awk -v n="$n" '
            /rts=1 hupcl=1/ && !on { on = $1 }
            /rts=0/ && on && !off { off = $1 }
            END { if (on && off) printf "%.3f\n", (off - on) / 1e9 - n; else print "missing" }' >>"$out/offsets.$n"
    done
    [ -n "${DEBUG:-}" ] && { cat "$out/stderr" "$out/modem.log" "$out/offsets.$n"; } >&2
    if grep -q missing "$out/offsets.$n"; then bench_fail "a run of n=$n saw no line go on and off"; fi
    sort -n "$out/offsets.$n" | awk -v n="$n" -v runs="$runs" '
        { a[NR] = $1 }
        END { printf "n=%d: line on for n + (min %.3f, median %.3f, max %.3f) s over %d runs\n", n, a[1], (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2), a[NR], runs }'
done
