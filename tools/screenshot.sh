#!/usr/bin/env bash
# Takes the pictures in docs/: the main window, and the COM port dialog on a first run and with
# "7 - RTS" chosen, at 1x and 2x scale. The built program under a private Xvfb, grabbed with
# ImageMagick. Needs: xvfb xdotool imagemagick (not part of the test command).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>/tmp/timers-shot-display >/dev/null 2>&1 &
xvfb=$!
program=
trap 'kill $program $xvfb 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s /tmp/timers-shot-display ] && break; sleep 0.05; done
export DISPLAY=:$(cat /tmp/timers-shot-display)

shoot() { # SCALE PIN OUTPUT_PREFIX: starts the program, grabs the main window and the dialog
    local work
    work=$(mktemp -d)
    [ "$2" = first-run ] || printf '[COM output pin]\r\n%s\r\n' "$2" >"$work/Timer_Control.ini"
    (cd "$work" && QT_SCALE_FACTOR=$1 PULSE_SERVER=unix:/nonexistent TIMERS_SERIAL_DIR="$work" \
        exec "$root/build/bin/timers") 2>/dev/null &
    program=$!
    local main dialog
    main=$(xdotool search --sync --onlyvisible --name '^Timers$' | head -n 1)
    sleep 1
    [ "$1" = 1 ] && [ "$2" = first-run ] && import -window "$main" docs/main-window.png
    xdotool mousemove --window "$main" $((71 * $1)) $((9 * $1)) click 1 # ComPort
    dialog=$(xdotool search --sync --onlyvisible --name '^COM port$' | head -n 1)
    sleep 1
    import -window "$dialog" "$3.png"
    kill "$program"
    wait "$program" || true
    rm -rf "$work"
}
for scale in 1 2; do
    shoot "$scale" first-run "docs/com-port-first-run-${scale}x"
    shoot "$scale" "7 - RTS" "docs/com-port-rts-${scale}x"
done
echo "wrote docs/main-window.png and docs/com-port-*.png"
