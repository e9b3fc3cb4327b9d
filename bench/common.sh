#!/usr/bin/env bash
# Shared by the benchmarks (source it with $out set): builds the helpers in bench/floor into
# $out/floor, and starts a private Xvfb whose pid is left in $bench_xvfb.
build_bench_helpers() {
    cmake -S bench/floor -B "$out/floor" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$out/floor" >/dev/null
}
start_bench_display() { # DISPLAY
    export DISPLAY=$1
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    bench_xvfb=$!
    for _ in $(seq 50); do
        xdotool getmouselocation >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}
