#!/usr/bin/env bash
# Measures the built program against a minimal Qt Widgets window (and the same window with
# one text label, which adds the cost of drawing any text) and against KDE's KTimer from
# Debian (package ktimer, installed here if missing), in one run under one Xvfb:
# time from start until the window is mapped (median of RUNS starts each, alternating),
# peak RSS (VmHWM) a few seconds after start, and CPU time over IDLE seconds of idling with
# the countdown tick running. Prints a table with the ratios to the floor.
#   bench/startup_idle.sh [RUNS] [IDLE_SECONDS]      (defaults 15 and 60)
# Needs the project built (tools/setup.sh) and: xvfb xdotool libxcb1-dev pkg-config dbus.
# Run it inside tests/with_pulseaudio.sh, so that every program finds a sound server.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
idle=${2:-60}
root=$PWD
out=$(mktemp -d /tmp/timers-bench.XXXXXX)

source bench/common.sh
bench_needs xvfb xdotool libxcb1-dev pkg-config dbus ktimer
build_bench_helpers
start_bench_display
# A session bus, as on a desktop (KTimer will not start without one).
{ read -r DBUS_SESSION_BUS_ADDRESS; read -r session_bus; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS
trap 'kill $bench_xvfb $session_bus 2>/dev/null; rm -rf "$out"' EXIT

# Both programs start in an empty folder of their own, against a running (null) sound server,
# as on a desktop.
start() { # TITLE PROGRAM [ARGS] -> "ms pid"
    local dir
    dir=$(mktemp -d "$out/run.XXXXXX")
    (cd "$dir" && "$out/floor/window_wait" "$@" 2>"$dir/stderr" ||
        { echo "no window from $2:" >&2; cat "$dir/stderr" >&2; })
}
launch() { # WHICH -> "ms pid"
    case $1 in
        timers) start Timers "$program" ;;
        floor) start Minimal "$floor" ;;
        text) start "Minimal text" "$floor" --text ;;
        ktimer) start "Timer Settings — KTimer" ktimer ;;
    esac
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
hwm_kb() { awk '/VmHWM/ {print $2}' "/proc/$1/status"; }
# CPU time of all the process's threads in nanoseconds (schedstat, finer than clock ticks).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { printf "%d\n", sum }'; }

program=$root/build/bin/timers
floor=$out/floor/minimal_window
kinds=(timers floor text ktimer)
for which in "${kinds[@]}"; do : >"$out/$which.ms"; done
for _ in $(seq "$runs"); do
    for which in "${kinds[@]}"; do
        read -r ms pid < <(launch "$which") || true
        [ -n "$ms" ] || bench_fail "$which showed no window"
        echo "$ms" >>"$out/$which.ms"
        kill "$pid"; wait "$pid" 2>/dev/null || true
    done
done

# One long-lived instance of each, side by side, for memory and idle CPU.
declare -A pids cpu0 cpu1 rss ms
for which in "${kinds[@]}"; do
    read -r _ pid < <(launch "$which") || true
    [ -n "$pid" ] || bench_fail "$which showed no window"
    pids[$which]=$pid
done
sleep 3
for which in "${kinds[@]}"; do cpu0[$which]=$(cpu_ns "${pids[$which]}"); done
sleep "$idle"
for which in "${kinds[@]}"; do
    cpu1[$which]=$(cpu_ns "${pids[$which]}")
    rss[$which]=$(hwm_kb "${pids[$which]}")
    ms[$which]=$(median <"$out/$which.ms")
    kill "${pids[$which]}"
done

for which in "${kinds[@]}"; do
    echo "$which ${ms[$which]} ${rss[$which]} $((cpu1[$which] - cpu0[$which]))"
done | awk -v runs="$runs" -v idle="$idle" '
    { name[NR] = $1; ms[$1] = $2; rss[$1] = $3; cpu[$1] = $4 }
    END {
        printf "%-12s %14s %10s %14s %11s %11s %12s\n", "program", "start to window", "/minimal", "peak RSS KiB", "/minimal",
            "/KTimer", "idle CPU"
        for (i = 1; i <= NR; ++i) {
            n = name[i]
            printf "%-12s %11.1f ms %10.2f %14d %11.2f %11.2f %11.4f%%\n", n, ms[n], ms[n] / ms["floor"], rss[n],
                rss[n] / rss["floor"], rss[n] / rss["ktimer"], 100 * cpu[n] / 1e9 / idle
        }
        printf "(start: median of %d starts; idle CPU: %% of one core over %d s; timers start / KTimer start: %.2f)\n",
            runs, idle, ms["timers"] / ms["ktimer"]
    }'
