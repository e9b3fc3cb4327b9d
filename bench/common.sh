#!/usr/bin/env bash
# Shared by the benchmarks (source it with $out set): builds the helpers in bench/floor into
# $out/floor, starts a private Xvfb whose pid is left in $bench_xvfb, and a pseudo-terminal that
# stands in for a USB adapter. A benchmark that cannot measure stops with bench_fail: it never
# prints a figure it did not measure.
bench_fail() { # WHY...
    echo "$(basename "$0"): $*; no figures" >&2
    exit 1
}
bench_needs() { # PACKAGE...: installs those missing (as root), saying which, or stops naming them
    source tools/packages.sh
    install_missing "$@" >&2 || bench_fail "it needs Debian packages that are not installed"
}
build_bench_helpers() { # [FILE...]: what it needs in build/bin besides the program
    [ -x build/bin/timers ] || bench_fail "the program is not built: bash tools/run.sh or bash tools/setup.sh test first"
    local file
    for file; do
        [ -e "build/bin/$file" ] || bench_fail "it needs build/bin/$file of the test build: bash tools/setup.sh test first"
    done
    cmake -S bench/floor -B "$out/floor" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$out/floor.log" 2>&1 &&
        cmake --build "$out/floor" >>"$out/floor.log" 2>&1 || bench_fail "its helpers did not build: $(tail -n 5 "$out/floor.log")"
}
start_bench_display() { # starts Xvfb on a free display and exports DISPLAY
    local number="$out/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
    bench_xvfb=$!
    for _ in $(seq 100); do
        [ -s "$number" ] && break
        sleep 0.05
    done
    [ -s "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$(cat "$number")
}
start_bench_adapter() { # links a pty as $out/ports/ttyUSB0; sets $pts and $bench_holder
    mkdir -p "$out/ports" "$out/work"
    "$out/floor/pty_hold" "$out/ports/ttyUSB0" >"$out/pts" &
    bench_holder=$!
    until [ -s "$out/pts" ]; do sleep 0.05; done
    read -r pts <"$out/pts"
}
