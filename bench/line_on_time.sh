#!/usr/bin/env bash
# How long the COM line is on against the time asked, for this tree's program and for a baseline
# built from an older commit, in one run. Each build runs on Qt's offscreen platform on a private
# session bus, with a pseudo-terminal standing in for a USB adapter (RTS on port 1, Alarm checked
# so that no box waits) and modem_lines.so recording its lines. For each build, idle and then
# beside two CPU-bound loops, it runs RUNS countdowns each of 0.7 s, 4 s and 12.5 s through
# `timers-ctl set`, each at a random phase within the second, and waits for each to end
# (`timers-ctl wait`). The on-time is the recorded rise of RTS after the port opened to the next
# drop; the error is on-time - asked, against what was asked for both builds (a build that counts
# whole seconds runs 0.7 as 1 s and 12.5 as 12 s). Prints one table: mean error, 95th
# percentile and largest of |error|, in ms, and this tree's 95th percentile over the baseline's.
#   bench/line_on_time.sh [RUNS] [BASELINE_REF]   (defaults 20 and e43410f)
# Run time: about RUNS x 90 s (30 minutes for 20 runs, 5 for 3), plus, the first time for a
# baseline, its build (about 10 minutes on 2 busy cores; kept in build-bench-baseline/).
# DEBUG=1 keeps the logs and says where.
# Needs this tree's build/ configured by tools/setup.sh test (it builds timers, timers-ctl and
# modem_lines.so there; the baseline uses that modem_lines.so too) and: dbus gcc.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
baseline_ref=${2:-e43410f}
root=$PWD
out=$(mktemp -d /tmp/timers-line.XXXXXX)
source bench/common.sh
bench_needs dbus gcc cmake
[[ $runs =~ ^[1-9][0-9]*$ ]] || bench_fail "RUNS must be a positive whole number, not '$runs'"
lengths=(0.7 4 12.5)

program=
bus=
bench_holder=
loops=()
cleanup() {
    kill $program ${loops[@]+"${loops[@]}"} $bus $bench_holder 2>/dev/null || true
    if [ -n "${DEBUG:-}" ]; then echo "logs kept in $out" >&2; else rm -rf "$out"; fi
}
trap cleanup EXIT

# This tree's program, brought up to date.
[ -f build/CMakeCache.txt ] || bench_fail "build/ is not configured: bash tools/setup.sh test first"
cmake --build build --target timers timers-ctl modem_lines -j2 >"$out/build.log" 2>&1 ||
    bench_fail "this tree's program did not build (build/ needs the tests: bash tools/setup.sh test): $(tail -n 5 "$out/build.log")"
current_label=$(git describe --always --dirty)

# The baseline, built once per commit from an export of it.
baseline_sha=$(git rev-parse --verify "$baseline_ref^{commit}") || bench_fail "no commit '$baseline_ref'"
baseline=$root/build-bench-baseline/$baseline_sha
if [ ! -x "$baseline/build/bin/timers" ] || [ ! -x "$baseline/build/bin/timers-ctl" ]; then
    echo "building the baseline $baseline_ref in $baseline (once)" >&2
    rm -rf "$baseline"
    mkdir -p "$baseline/src"
    git archive "$baseline_sha" | tar -x -C "$baseline/src"
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    { cmake -S "$baseline/src" -B "$baseline/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${launcher[@]}" &&
        cmake --build "$baseline/build" --target timers timers-ctl -j2; } >"$out/baseline.log" 2>&1 ||
        bench_fail "the baseline did not build: $(tail -n 5 "$out/baseline.log")"
fi
baseline_label=$(git rev-parse --short "$baseline_sha")

mkdir -p "$out/floor" "$out/home" "$out/runtime"
chmod 700 "$out/runtime"
cc -O2 -o "$out/floor/pty_hold" tests/pty_hold.c || bench_fail "the pty holder did not build"
start_bench_adapter
dbus-daemon --session --nofork --print-address=3 3>"$out/bus" >/dev/null 2>&1 &
bus=$!
for _ in $(seq 100); do
    [ -s "$out/bus" ] && break
    sleep 0.05
done
[ -s "$out/bus" ] || bench_fail "the session bus did not start"
export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$out/bus")
# Nothing of the user's: the recent answers and any cache go to the scratch folder.
export HOME=$out/home XDG_STATE_HOME=$out/home/state XDG_CONFIG_HOME=$out/home/config XDG_CACHE_HOME=$out/home/cache \
    XDG_RUNTIME_DIR=$out/runtime

# measure BIN TAG: starts the program of BIN, runs RUNS countdowns of each length, writing each
# error in ms to $out/err.TAG.LENGTH ("missing" where no rise and drop were recorded).
measure() {
    local bin=$1 tag=$2 log=$out/modem.$2.log length before on_off
    printf '[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nyes\r\n' \
        >"$out/work/Timer_Control.ini"
    (cd "$out/work" && QT_QPA_PLATFORM=offscreen TIMERS_SERIAL_DIR="$out/ports" TIMERS_MODEM_LOG="$log" \
        DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent PULSE_SERVER=unix:/nonexistent \
        LD_PRELOAD="$root/build/bin/modem_lines.so" exec "$bin/timers" 2>"$out/stderr.$tag") &
    program=$!
    for _ in $(seq 300); do
        "$bin/timers-ctl" status >/dev/null 2>&1 && break
        sleep 0.1
    done
    "$bin/timers-ctl" status >/dev/null || bench_fail "the $tag program did not come up on the bus: $(tail -n 3 "$out/stderr.$tag")"
    for length in "${lengths[@]}"; do
        : >"$out/err.$tag.$length"
        for _ in $(seq "$runs"); do
            sleep "0.$(printf %03d $((RANDOM % 1000)))"
            before=0
            [ -f "$log" ] && before=$(wc -l <"$log")
            if ! timeout 30 "$bin/timers-ctl" set "$length" >>"$out/ctl.$tag" 2>&1; then
                echo missing >>"$out/err.$tag.$length"
                continue
            fi
            timeout "$(awk -v n="$length" 'BEGIN { printf "%d", n + 30 }')" "$bin/timers-ctl" wait >>"$out/ctl.$tag" 2>&1 || true
            # The countdown's rise of RTS (after the port opened and dropped what Linux raised)
            # and the next drop, in ns; the drop may trail the completion by a moment.
            for _ in $(seq 40); do
                on_off=$({ tail -n +"$((before + 1))" "$log" 2>/dev/null || true; } | awk -v pts="pts=$pts" -v n="$length" '
                    $2 != pts { next }
                    $3 == "set" && $5 == "rts=1" && !on { on = $1; next }
                    on && $5 == "rts=0" { printf "%.3f\n", (($1 - on) / 1e9 - n) * 1000; found = 1; exit }
                    END { if (!found) print "missing" }')
                [ "$on_off" != missing ] && break
                sleep 0.05
            done
            echo "$on_off" >>"$out/err.$tag.$length"
        done
    done
    kill -TERM "$program"
    wait "$program" || true
    program=
}

# For each condition, the baseline first and then this tree, so both see the same load.
for condition in idle loaded; do
    if [ $condition = loaded ]; then
        for _ in 1 2; do
            (while :; do :; done) &
            loops+=($!)
        done
    fi
    measure "$baseline/build/bin" "baseline.$condition"
    measure "$root/build/bin" "current.$condition"
    if [ $condition = loaded ]; then
        kill "${loops[@]}"
        wait "${loops[@]}" 2>/dev/null || true
        loops=()
    fi
done

unmeasured=0
echo "| build | condition | asked (s) | runs | mean error (ms) | p95 abs error (ms) | max abs error (ms) | p95 / baseline's |"
echo "|---|---|---|---|---|---|---|---|"
for build in baseline current; do
    for condition in idle loaded; do
        for length in "${lengths[@]}"; do
            file=$out/err.$build.$condition.$length
            unmeasured=$((unmeasured + $(grep -c missing "$file" || true)))
            # p95 by nearest rank over |error| sorted; the ratio takes the baseline's row.
            { grep -v missing "$file" || true; } | awk '{ print $1, ($1 < 0 ? -$1 : $1) }' | sort -k2,2g |
                awk -v build="$build" -v label="$([ $build = current ] && echo "$current_label" || echo "$baseline_label")" \
                    -v condition="$([ $condition = idle ] && echo idle || echo "two CPU loops")" -v asked="$length" \
                    -v base="$(cat "$out/p95.baseline.$condition.$length" 2>/dev/null || true)" \
                    -v keep="$out/p95.$build.$condition.$length" '
                    { sum += $1; abs[NR] = $2 }
                    END {
                        if (NR == 0) { printf "| %s (%s) | %s | %s | 0 | - | - | - | - |\n", build, label, condition, asked; exit }
                        rank = int(NR * 0.95); if (rank < NR * 0.95) rank++
                        p95 = abs[rank]
                        print p95 > keep
                        ratio = build == "current" && base > 0 ? sprintf("%.2f", p95 / base) : "-"
                        printf "| %s (%s) | %s | %s | %d | %+.1f | %.1f | %.1f | %s |\n",
                               build, label, condition, asked, NR, sum / NR, p95, abs[NR], ratio
                    }'
        done
    done
done
[ -n "${DEBUG:-}" ] && tail -n +1 "$out"/stderr.* "$out"/ctl.* >&2
[ "$unmeasured" -eq 0 ] || { echo "$(basename "$0"): $unmeasured countdowns recorded no rise and drop of RTS (DEBUG=1 keeps the logs)" >&2; exit 1; }
