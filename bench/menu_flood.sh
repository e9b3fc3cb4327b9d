#!/usr/bin/env bash
# Whether a tray host that sends the program's tray menu a list of COUNT ids at once
# (GetGroupProperties, AboutToShowGroup; EventGroup with COUNT events) holds the program's window
# thread: the program runs on a private session bus (offscreen, no ports, no sound), and for
# each method and COUNT this prints how soon the list and a question asked right behind it were
# answered, and the CPU time of the window's thread and of the program's other threads meanwhile.
#   bench/menu_flood.sh [PROGRAM] [COUNT...]      (defaults build/bin/timers, 1000000 4000000)
# METHODS="..." names others (GetLayout: COUNT property names; see bench/floor/menu_flood.cpp).
# Needs the project built (tools/setup.sh) and: libxcb1-dev libsndfile1-dev pkg-config dbus.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/bin/timers}")
shift || true
counts=(1000000 4000000)
[ $# -eq 0 ] || counts=("$@")
out=$(mktemp -d /tmp/timers-flood.XXXXXX)
source bench/common.sh
bench_needs libxcb1-dev libsndfile1-dev pkg-config dbus
[ -x "$program" ] || bench_fail "no program at $program: bash tools/setup.sh run first"
cmake -S bench/floor -B "$out/floor" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$out/floor.log" 2>&1 &&
    cmake --build "$out/floor" --target menu_flood >>"$out/floor.log" 2>&1 ||
    bench_fail "its client did not build: $(tail -n 5 "$out/floor.log")"
{ read -r DBUS_SESSION_BUS_ADDRESS; read -r session_bus; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS
mkdir "$out/work" "$out/ports"
(cd "$out/work" && QT_QPA_PLATFORM=offscreen TIMERS_SERIAL_DIR="$out/ports" PULSE_SERVER=unix:/nonexistent \
    XDG_STATE_HOME="$out/state" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent exec "$program" 2>"$out/stderr") &
timers=$!
trap 'kill $timers $session_bus 2>/dev/null; rm -rf "$out"' EXIT
for _ in $(seq 600); do
    dbus-send --session --print-reply --dest=org.vorn.Timers /MenuBar org.freedesktop.DBus.Properties.Get \
        string:com.canonical.dbusmenu string:Version >/dev/null 2>&1 && break
    sleep 0.1
done
for method in ${METHODS:-GetGroupProperties AboutToShowGroup EventGroup}; do
    "$out/floor/menu_flood" org.vorn.Timers "$timers" "$method" "${counts[@]}" ||
        bench_fail "the client failed: $(cat "$out/stderr")"
done
