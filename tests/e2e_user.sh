#!/usr/bin/env bash
# Drives the installed program as a user would, under Xvfb with xdotool and nothing inside the
# program for testing: in a fresh working folder with a prepared Timer_Control.ini, it opens
# the COM port dialog, changes the fields, sets a 2-second countdown, waits for the " Timer"
# box, closes it and exits with File > Exit. Then it checks the line changes recorded on the
# pseudo-terminal standing in for the adapter and the settings file's bytes. Screenshots of
# the main window and the dialog are left in OUTPUT_DIR. Then, with an alarm.wav whose header
# gives a sample rate of 1, it runs a countdown with Alarm checked to its end and ends the
# program with SIGTERM: the built-in alert plays instead, and the program exits normally.
# Last, on a private session bus, the menu entry is started twice: the second start raises the
# first window and ends; Ctrl+Q then exits. F1, the dialog's WM_TRANSIENT_FOR and the accessible
# tree as a screen reader reads it over AT-SPI, on the way.
# Run it through with_pulseaudio.sh, so that there is an audio output.
#   tests/e2e_user.sh BUILD_DIR OUTPUT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
output=$2
mkdir -p "$output"
scratch=$(mktemp -d /tmp/timers-e2e.XXXXXX)
fail() {
    echo "FAIL: $*" >&2
    [ -f "$scratch/stderr" ] && sed 's/^/  program: /' "$scratch/stderr" >&2
    [ -f "$scratch/modem.log" ] && sed 's/^/  lines: /' "$scratch/modem.log" >&2
    exit 1
}
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null

# Xvfb picks a free display and says which.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.05; done
[ -s "$scratch/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$scratch/display")

mkdir "$scratch/ports" "$scratch/work"
"$build/bin/pty_hold" "$scratch/ports/ttyUSB0" >"$scratch/pts" &
pids+=($!)
until [ -s "$scratch/pts" ]; do sleep 0.05; done
pts=$(cat "$scratch/pts")
printf '//Timer Control\r\n[USB/COM port]\r\n2\r\n[COM On-Off]\r\nOFF\r\n[COM output pin]\r\n4 - DTR\r\n[Use alarm]\r\nNo\r\n' \
    >"$scratch/work/Timer_Control.ini"

(cd "$scratch/work" && TIMERS_SERIAL_DIR="$scratch/ports" TIMERS_MODEM_LOG="$scratch/modem.log" \
    LD_PRELOAD="$build/bin/modem_lines.so" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
    PULSE_SERVER=unix:/nonexistent exec "$scratch/prefix/bin/timers" 2>"$scratch/stderr") &
program=$!
pids+=($program)

wait_for() { # TITLE -> window id
    timeout 15 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}
click() { # WINDOW X Y: a click at a point of the window, in its own coordinates
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}
main=$(wait_for '^Timers$') || fail "no main window"
# Docks and task switchers match the window to its desktop entry by class, and show its icon.
# (Each read whole: grep -q would stop reading the long icon dump, and pipefail would count that.)
class=$(xprop -id "$main" WM_CLASS)
[[ $class == *'"org.vorn.Timers"' ]] || fail "window class: $class"
icon=$(xprop -id "$main" _NET_WM_ICON)
[[ $icon == *"Icon (16 x 16)"* && $icon == *"Icon (128 x 128)"* ]] || fail "the window carries no icon: ${icon:0:200}"
xdotool windowfocus --sync "$main"

# The menu bar is 19 pixels high here; positions below are from the layout's twips.
click "$main" 71 9 # ComPort
dialog=$(wait_for '^COM port$') || fail "no COM port dialog"
# A dialog of the main window for the window manager, which places it over that window.
transient=$(xprop -id "$dialog" WM_TRANSIENT_FOR)
[[ $transient == *"window id # $(printf '0x%x' "$main")" ]] || fail "the dialog is not transient for the main window: $transient"
xdotool windowfocus --sync "$dialog"
for field in "141 24 1" "144 47 ON" "148 72 7 - RTS"; do
    read -r x y text <<<"$field"
    click "$dialog" "$x" "$y"
    xdotool key ctrl+a
    xdotool type --delay 50 "$text"
done
import -window "$dialog" "$output/e2e-com-dialog.png"
click "$dialog" 99 98 # Done
sleep 0.5
xdotool search --onlyvisible --name '^COM port$' >/dev/null && fail "Done left the dialog shown"

xdotool windowfocus --sync "$main"
xdotool key F1
help=$(wait_for '^by Pell Ardo, QZ0QZ$') || fail "F1 showed no Help box"
xdotool windowfocus --sync "$help"
xdotool key Return
sleep 0.5

xdotool windowfocus --sync "$main"
click "$main" 85 106 # Set
prompt=$(wait_for '^Count Down Timer$') || fail "no prompt"
xdotool windowfocus --sync "$prompt"
xdotool type 2
xdotool key Return
sleep 1
import -window "$main" "$output/e2e-main-window.png"
box=$(wait_for '^ Timer$') || fail "no \" Timer\" box"
import -window "$box" "$output/e2e-timer-box.png"
xdotool windowfocus --sync "$box"
xdotool key Return
sleep 0.5

xdotool windowfocus --sync "$main"
click "$main" 19 9 # File
xdotool key Down Return # Exit
for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && fail "File > Exit did not end the program"
wait "$program" || fail "the program exited with $?"

# The line: both dropped in one request as the port opens, RTS on for the countdown, DTR never
# on once the port had opened, closed at the end.
events=$(grep " pts=$pts " "$scratch/modem.log" | cut -d' ' -f3-) || fail "no line changes recorded"
expected="open dtr=1 rts=1 hupcl=0
set dtr=0 rts=0 hupcl=0
set dtr=0 rts=1 hupcl=1
set dtr=0 rts=0 hupcl=1
close dtr=0 rts=0 hupcl=0"
[ "$events" = "$expected" ] || fail "line changes were:
$events"
on=$(grep " pts=$pts set dtr=0 rts=1 hupcl=1" "$scratch/modem.log" | cut -d' ' -f1)
off=$(grep " pts=$pts set dtr=0 rts=0 hupcl=1" "$scratch/modem.log" | cut -d' ' -f1)
seconds=$(awk -v a="$on" -v b="$off" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
# On for the countdown and switched off by it: bench/line_on_time.sh measures how closely.
awk -v s="$seconds" 'BEGIN { exit !(s >= 2 && s <= 6) }' || fail "RTS was on for $seconds s"

expected_ini=$(printf '//Timer Control\r\n[USB/COM port]\r\n1\r\n[COM On-Off]\r\nON\r\n[COM output pin]\r\n7 - RTS\r\n[Use alarm]\r\nNo\r\n' | od -c)
[ "$(od -c <"$scratch/work/Timer_Control.ini")" = "$expected_ini" ] ||
    fail "settings file: $(od -c <"$scratch/work/Timer_Control.ini")"
echo "end to end: RTS on for $seconds s for a 2 s countdown; settings saved; screenshots in $output"

# A hostile alarm.wav: a header with a sample rate of 1, then silence.
mkdir "$scratch/work2"
{ printf 'RIFF\x44\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x01\x00\x00\x00\x02\x00\x00\x00'
  printf '\x02\x00\x10\x00data\x20\x00\x00\x00'; head -c 32 /dev/zero; } >"$scratch/work2/alarm.wav"
settings='//Timer Control\r\n[USB/COM port]\r\nCombo1\r\n[COM On-Off]\r\nOFF\r\n[COM output pin]\r\nCombo1\r\n[Use alarm]\r\nYes\r\n'
printf "$settings" >"$scratch/work2/Timer_Control.ini"
(cd "$scratch/work2" && TIMERS_SERIAL_DIR="$scratch/ports" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
    exec "$scratch/prefix/bin/timers" 2>"$scratch/stderr") &
program=$!
pids+=($program)
main=$(wait_for '^Timers$') || fail "no main window with the hostile alarm.wav"
xdotool windowfocus --sync "$main"
click "$main" 85 106 # Set
prompt=$(wait_for '^Count Down Timer$') || fail "no prompt"
xdotool windowfocus --sync "$prompt"
xdotool type 1
xdotool key Return
for _ in $(seq 300); do grep -q 'alarm.wav cannot be played' "$scratch/stderr" && break; sleep 0.1; done
grep -q 'sample rate of 1 Hz is not playable); the built-in alert plays instead' "$scratch/stderr" ||
    fail "the hostile alarm.wav was not refused"
sleep 1 # the alert plays
kill -0 "$program" 2>/dev/null || fail "the program died at the alarm"
kill -TERM "$program"
status=0
wait "$program" || status=$?
[ "$status" = 0 ] || fail "after the alarm, SIGTERM ended the program with $status"
[ "$(od -c <"$scratch/work2/Timer_Control.ini")" = "$(printf "$settings" | od -c)" ] ||
    fail "settings after the alarm: $(od -c <"$scratch/work2/Timer_Control.ini")"
echo "end to end: a sample rate of 1 in alarm.wav played the built-in alert; SIGTERM then exited 0 with the settings saved"

# The menu entry, started twice in one session: the second start brings the first window to
# the front and ends, with no second program (which would fight over the port). Ctrl+Q exits.
dbus-daemon --session --nofork --print-address=3 3>"$scratch/bus" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/bus" ] && break; sleep 0.05; done
[ -s "$scratch/bus" ] || fail "no private session bus"
mkdir "$scratch/home"
session=(env HOME="$scratch/home" DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$scratch/bus")")
menu=("${session[@]}" TIMERS_SERIAL_DIR="$scratch/ports" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent
    PULSE_SERVER=unix:/nonexistent "$scratch/prefix/libexec/timers/desktop-start")
# A screen reader's bus on the same session: the program's accessible tree is read from it below.
"${session[@]}" /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "${menu[@]}" 2>"$scratch/stderr" &
program=$!
pids+=($program)
main=$(wait_for '^Timers$') || fail "no main window from the menu entry"
# What a screen reader hears: the application as "Timers", every control by its name, and
# nothing for the stopwatch's colons.
accessible_tree() {
    "${session[@]}" timeout 30 /usr/bin/python3 - <<'EOF'
import pyatspi
def walk(node, depth):
    print("%s%s|%s" % ("  " * depth, node.getRoleName(), node.name))
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1)
desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    if desktop.getChildAtIndex(i) is not None:
        walk(desktop.getChildAtIndex(i), 0)
EOF
}
tree=
for _ in $(seq 50); do # until the program has joined the screen reader's bus
    tree=$(accessible_tree 2>/dev/null) || true
    [[ $tree == *"button|"* ]] && break # "push button" before AT-SPI 2.54, "button" after
    sleep 0.2
done
[[ $tree == "application|Timers"* ]] || fail "the application's spoken name: ${tree%%$'\n'*}"
for spoken in "button|Set countdown" "label|Remaining time 00:00" "label|Elapsed minutes 00"; do
    [[ $tree == *"$spoken"* ]] || fail "no \"$spoken\" in the accessible tree: $tree"
done
[[ $tree != *separator* ]] || fail "the colons are spoken: $tree"
for _ in $(seq 100); do # until it owns its bus name
    "${session[@]}" "$scratch/prefix/bin/timers-ctl" status >/dev/null 2>&1 && break
    sleep 0.1
done
xdotool windowfocus --sync "$main"
click "$main" 71 9 # ComPort: the dialog opens above the main window
dialog=$(wait_for '^COM port$') || fail "no COM port dialog from the menu's program"
stacking() { xwininfo -root -children | grep -o '^ *0x[0-9a-f]*' | tr -d ' ' | tr '\n' ' '; } # top first
above() { # LOWER UPPER: whether window UPPER is stacked above LOWER
    local order
    order=" $(stacking)"
    local lower=${order%% $(printf '0x%x' "$1") *} upper=${order%% $(printf '0x%x' "$2") *}
    [ "$lower" != "$order" ] && [ "$upper" != "$order" ] && [ ${#upper} -lt ${#lower} ]
}
above "$main" "$dialog" || fail "the dialog did not open above the main window: $(stacking)"
timeout 20 "${menu[@]}" 2>"$scratch/second" || fail "the second start from the menu exited with $? ($(cat "$scratch/second"))"
kill -0 "$program" 2>/dev/null || fail "the first program ended"
[ "$(xdotool search --onlyvisible --name '^Timers$' | wc -l)" = 1 ] || fail "a second main window"
for _ in $(seq 50); do above "$dialog" "$main" && break; sleep 0.1; done
above "$dialog" "$main" || fail "the second start did not raise the window: $(stacking)"
xdotool windowfocus --sync "$main"
xdotool key ctrl+q
for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && fail "Ctrl+Q did not end the program"
wait "$program" || fail "after Ctrl+Q the program exited with $?"
echo "end to end: a second start from the menu raised the running window; Ctrl+Q exited 0"
