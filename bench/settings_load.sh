#!/usr/bin/env bash
# Start-up with settings files of 0 bytes, 1 MB, 10 MB and 100 MB (line feeds, then a valid
# block of settings): time from start until the main window is mapped, and peak RSS (VmHWM)
# once it shows; one run each under one Xvfb, with the ratios to the empty file.
#   bench/settings_load.sh
# Needs the project built (tools/setup.sh) and: xvfb libxcb1-dev pkg-config.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(mktemp -d /tmp/timers-settings.XXXXXX)
source bench/common.sh
bench_needs xvfb libxcb1-dev pkg-config
build_bench_helpers
start_bench_display
trap 'kill $bench_xvfb 2>/dev/null; rm -rf "$out"' EXIT
block='[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nyes\r\n'

# A first start, not measured, warms the font and library caches for all.
mkdir "$out/warm"
read -r _ pid < <(cd "$out/warm" && TIMERS_SERIAL_DIR="$out" "$out/floor/window_wait" Timers "$root/build/bin/timers" 2>/dev/null)
kill "$pid"

for mb in 0 1 10 100; do
    dir="$out/$mb"
    mkdir "$dir"
    if [ "$mb" -gt 0 ]; then
        { head -c "$((mb * 1000000))" /dev/zero | tr '\0' '\n'; printf "$block"; } >"$dir/Timer_Control.ini"
    else
        : >"$dir/Timer_Control.ini"
    fi
    read -r ms pid < <(cd "$dir" && TIMERS_SERIAL_DIR="$out" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
        "$out/floor/window_wait" Timers "$root/build/bin/timers" 2>"$dir/stderr") || true
    sleep 1
    rss=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$ms" ] && [ -n "$rss" ] || bench_fail "no window or no memory figure with $mb MB: $(cat "$dir/stderr")"
    kill "$pid"
    echo "$mb $ms $rss"
done | awk '
    NR == 1 { ms0 = $2; rss0 = $3 }
    { printf "%4d MB: %8.1f ms to the window (x %.2f), peak RSS %6.1f MB (x %.2f, +%.1f MB)\n", $1, $2, $2 / ms0,
          $3 / 1024, $3 / rss0, ($3 - rss0) / 1024 }'
