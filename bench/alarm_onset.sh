#!/usr/bin/env bash
# How soon the alarm is heard after a countdown ends: the time from the completion's drop of
# the COM line (recorded by modem_lines.so on a pseudo-terminal) to the first loud sample
# that reaches a PulseAudio null sink (onset_recorder on its monitor). For each alarm file
# (the build's short alarm.wav, 60 s of 192 kHz 8-channel FLAC, 131 s of Opus), each of RUNS
# runs starts the real program under Xvfb and runs two 1-second countdowns with Alarm
# checked: the first alarm after start (the sound module loads then) and a later one. Prints
# min, median and max of each, in milliseconds; stops with status 1 if any alarm went unheard.
#   bench/alarm_onset.sh [RUNS]   (default 10)
# Needs the project built (tools/setup.sh) and: xvfb xdotool libxcb1-dev libpulse-dev
# pkg-config pulseaudio pulseaudio-utils. Starts its own PulseAudio server.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${TIMERS_TEST_PULSE_PID:-}" ] || exec tests/with_pulseaudio.sh "$0" "$@"
runs=${1:-10}
root=$PWD
out=$(mktemp -d /tmp/timers-onset.XXXXXX)
source bench/common.sh
bench_needs xvfb xdotool libxcb1-dev libpulse-dev pkg-config pulseaudio pulseaudio-utils
build_bench_helpers modem_lines.so
start_bench_display
start_bench_adapter
[ -x "$out/floor/onset_recorder" ] || { echo "bench/alarm_onset.sh: onset_recorder was not built: install libpulse-dev" >&2; exit 1; }
"$out/floor/long_alarm" flac 60 "$out/long.flac"
"$out/floor/long_alarm" opus 131 "$out/long.opus"
"$out/floor/onset_recorder" timers_sink.monitor >"$out/onsets" 2>"$out/recorder.err" &
recorder=$!
program=
trap 'kill $program $recorder $bench_holder $bench_xvfb 2>/dev/null; rm -rf "$out"' EXIT
printf '[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nyes\r\n' \
    >"$out/work/Timer_Control.ini"

# Presses Set, enters 1, waits for the alarm; prints the onset's delay after the line drop.
alarm_delay_ms() {
    local drops_before onsets_before
    drops_before=$(grep -c " pts=$pts set dtr=0 rts=0 hupcl=1" "$out/modem.log" 2>/dev/null || true)
    onsets_before=$(wc -l <"$out/onsets")
    xdotool key space
    xdotool search --sync --onlyvisible --name '^Count Down Timer$' >/dev/null
    xdotool type 1
    xdotool key Return
    for _ in $(seq 200); do
        [ "$(wc -l <"$out/onsets")" -gt "$onsets_before" ] && break
        sleep 0.05
    done
    sleep 2 # the alarm plays to its end
    local drop onset
    drop=$(grep " pts=$pts set dtr=0 rts=0 hupcl=1" "$out/modem.log" | sed -n "$((drops_before + 1))p" | cut -d' ' -f1)
    onset=$(sed -n "$((onsets_before + 1))p" "$out/onsets")
    if [ -z "$drop" ] || [ -z "$onset" ]; then echo missing; return; fi
    awk -v a="$drop" -v b="$onset" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }'
}

# The sound server's first stream ever is dated early by the sink's monitor (seen here: up to
# 0.7 s before the program asked for the sound); a desktop's server has played before, so
# one sound plays before the measured ones.
paplay "$root/build/bin/alarm.wav"
sleep 1
status=0
for alarm in "$root/build/bin/alarm.wav" "$out/long.flac" "$out/long.opus"; do
    cp "$alarm" "$out/work/alarm.wav"
    : >"$out/first"
    : >"$out/later"
    for _ in $(seq "$runs"); do
        (cd "$out/work" && TIMERS_SERIAL_DIR="$out/ports" TIMERS_MODEM_LOG="$out/modem.log" \
            DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent LD_PRELOAD="$root/build/bin/modem_lines.so" \
            exec "$root/build/bin/timers" 2>>"$out/stderr") &
        program=$!
        window=$(xdotool search --sync --onlyvisible --name '^Timers$' | head -n 1)
        xdotool windowfocus --sync "$window"
        xdotool key Tab # from Start to Set
        alarm_delay_ms >>"$out/first"
        alarm_delay_ms >>"$out/later"
        kill -TERM "$program"
        wait "$program" || true
        program=
    done
    [ -n "${DEBUG:-}" ] && cat "$out/stderr" "$out/first" "$out/later" "$out/onsets" "$out/modem.log" >&2
    for which in first later; do
        unheard=$(grep -c missing "$out/$which" || true)
        if [ "$unheard" -gt 0 ]; then
            echo "$(basename "$alarm"), $which alarm: $unheard of $runs alarms were not heard" >&2
            status=1
            continue
        fi
        sort -n "$out/$which" | awk -v which="$which" -v runs="$runs" -v alarm="$(basename "$alarm")" '
            { a[NR] = $1 }
            END { printf "%s, %s alarm: line drop to sound %.1f / %.1f / %.1f ms (min / median / max) over %d runs\n",
                  alarm, which, a[1], (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2), a[NR], runs }'
    done
done
exit $status
