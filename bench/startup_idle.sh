#!/usr/bin/env bash
# Measures the built program against a minimal Qt Widgets window (and the same window with
# one text label, which adds the cost of drawing any text), in one run under one Xvfb:
# time from start until the window is mapped (median of RUNS starts each, alternating),
# peak RSS (VmHWM) a few seconds after start, and CPU time over IDLE seconds of idling with
# the countdown tick running. Prints a table with the ratios to the floor.
#   bench/startup_idle.sh [RUNS] [IDLE_SECONDS]      (defaults 15 and 60)
# Needs the project built (tools/setup.sh) and: xvfb libxcb1-dev pkg-config pulseaudio.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
idle=${2:-60}
root=$PWD
out=$(mktemp -d /tmp/timers-bench.XXXXXX)

source bench/common.sh
build_bench_helpers
start_bench_display :78
trap 'kill $bench_xvfb 2>/dev/null; rm -rf "$out"' EXIT

# Both programs start in an empty folder of their own, against a running (null) sound server,
# as on a desktop.
start() { # TITLE PROGRAM [ARGS] -> "ms pid"
    local dir
    dir=$(mktemp -d "$out/run.XXXXXX")
    (cd "$dir" && "$out/floor/window_wait" "$@" 2>/dev/null)
}
launch() { # WHICH -> "ms pid"
    case $1 in
        timers) start Timers "$program" ;;
        floor) start Minimal "$floor" ;;
        text) start "Minimal text" "$floor" --text ;;
    esac
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
hwm_kb() { awk '/VmHWM/ {print $2}' "/proc/$1/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

program=$root/build/bin/timers
floor=$out/floor/minimal_window
kinds=(timers floor text)
for which in "${kinds[@]}"; do : >"$out/$which.ms"; done
for _ in $(seq "$runs"); do
    for which in "${kinds[@]}"; do
        read -r ms pid < <(launch "$which")
        echo "$ms" >>"$out/$which.ms"
        kill "$pid"; wait "$pid" 2>/dev/null || true
    done
done

# One long-lived instance of each, side by side, for memory and idle CPU.
declare -A pids cpu0 cpu1 rss ms
for which in "${kinds[@]}"; do
    read -r _ pid < <(launch "$which")
    pids[$which]=$pid
done
sleep 3
for which in "${kinds[@]}"; do cpu0[$which]=$(cpu_ticks "${pids[$which]}"); done
sleep "$idle"
for which in "${kinds[@]}"; do
    cpu1[$which]=$(cpu_ticks "${pids[$which]}")
    rss[$which]=$(hwm_kb "${pids[$which]}")
    ms[$which]=$(median <"$out/$which.ms")
    kill "${pids[$which]}"
done

hz=$(getconf CLK_TCK)
awk -v runs="$runs" -v idle="$idle" -v hz="$hz" \
    -v tm="${ms[timers]}" -v fm="${ms[floor]}" -v xm="${ms[text]}" \
    -v tr="${rss[timers]}" -v fr="${rss[floor]}" -v xr="${rss[text]}" \
    -v tc="$((cpu1[timers] - cpu0[timers]))" -v fc="$((cpu1[floor] - cpu0[floor]))" \
    -v xc="$((cpu1[text] - cpu0[text]))" 'BEGIN {
    printf "%-36s %10s %10s %10s %9s %9s\n", "measure", "timers", "minimal", "min+text", "/minimal", "/min+text"
    printf "%-36s %10.1f %10.1f %10.1f %9.2f %9.2f\n", "start to window, ms (median of " runs ")", tm, fm, xm, tm / fm, tm / xm
    printf "%-36s %10d %10d %10d %9.2f %9.2f\n", "peak RSS, KiB", tr, fr, xr, tr / fr, tr / xr
    printf "%-36s %9.3f%% %9.3f%% %9.3f%%\n", "CPU over " idle " s idle, % of a core", 100 * tc / hz / idle, 100 * fc / hz / idle, 100 * xc / hz / idle
}'
