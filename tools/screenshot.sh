#!/usr/bin/env bash
# Takes docs/main-window.png: the built program under a private Xvfb, grabbed with ImageMagick.
# Needs: xvfb xdotool imagemagick (not part of the test command).
set -euo pipefail
cd "$(dirname "$0")/.."
display=:77
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $program $xvfb 2>/dev/null' EXIT
sleep 1
work=$(mktemp -d)
(cd "$work" && DISPLAY=$display PULSE_SERVER=unix:/nonexistent exec "$OLDPWD/build/bin/timers") 2>/dev/null &
program=$!
window=$(DISPLAY=$display xdotool search --sync --onlyvisible --name '^Timers$' | head -n 1)
sleep 1
DISPLAY=$display import -window "$window" docs/main-window.png
echo "wrote docs/main-window.png"
