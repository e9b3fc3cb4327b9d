#!/usr/bin/env bash
# Installs with cmake --install to a scratch prefix and builds the Debian package; checks the
# desktop entry, the AppStream metainfo and the package (lintian, copyright, changelog, manual
# page) and the command lines' answers. Then runs the program three ways, each ended by SIGTERM as a logout would end it, and
# each must exit 0 with its settings saved: the packaged program on a headless Weston (Wayland,
# natively), and the desktop entry's command as an unprivileged user started from "/", with
# and without XDG_CONFIG_HOME.
#   tests/check_package.sh SOURCE_DIR BUILD_DIR MODULE_FROM_BIN DATA_FROM_BIN
set -euo pipefail
src=$1 build=$2 module_from_bin=$3 data_from_bin=$4
scratch=$(mktemp -d /tmp/timers-package.XXXXXX)
chmod 755 "$scratch" # the unprivileged runs go through it
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# No errors and no warnings but one: the project has no homepage yet, and AppStream 1.0 asks
# for one (0.16 does not). Notes, such as the upper-case letters of the id, are fine.
appstreamcli validate --no-net "$src/data/org.vorn.Timers.metainfo.xml" >"$scratch/appstream" ||
    grep -Eq '^W: org\.vorn\.Timers:~: url-homepage-missing$' "$scratch/appstream" ||
    fail "appstreamcli: $(cat "$scratch/appstream")"
others=$(grep -E '^[EW]:' "$scratch/appstream" | grep -Ev 'url-homepage-missing$' || true)
[ -z "$others" ] || fail "appstreamcli: $(cat "$scratch/appstream")"

# The program finds its sound module and alarm.wav relative to its own folder.
check_layout() { # ROOT_PREFIX
    local bin=$1/bin
    for f in "$bin/timers" "$bin/$module_from_bin/timers-sound.so" "$bin/$data_from_bin/alarm.wav" \
        "$1/libexec/timers/desktop-start" "$1/share/applications/org.vorn.Timers.desktop" \
        "$1/share/icons/hicolor/scalable/apps/org.vorn.Timers.svg" \
        "$1/share/metainfo/org.vorn.Timers.metainfo.xml" "$1/share/man/man1/timers.1.gz" \
        "$bin/timers-ctl" "$1/share/man/man1/timers-ctl.1.gz" "$1/share/dbus-1/interfaces/org.vorn.Timers.xml" \
        "$1/share/doc/timers/copyright" "$1/share/doc/timers/changelog.gz"; do
        [ -f "$f" ] || fail "missing $f"
    done
    desktop-file-validate "$1/share/applications/org.vorn.Timers.desktop"
}
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_layout "$scratch/prefix"
[ ! -e "$scratch/prefix/share/lintian" ] || fail "cmake --install installed lintian's override"
# The README's uninstall from the manifest leaves nothing behind, the folders it made included.
cmake --install "$build" --prefix "$scratch/uninstall/prefix" >/dev/null
xargs -d '\n' rm -f <"$build/install_manifest.txt" || fail "the uninstall's rm failed"
xargs -d '\n' -n 1 dirname <"$build/install_manifest.txt" | sort -ru | xargs -d '\n' rmdir -p --ignore-fail-on-non-empty ||
    fail "the uninstall's rmdir failed"
[ ! -e "$scratch/uninstall/prefix" ] || fail "the uninstall left $(find "$scratch/uninstall/prefix" | head)"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
deb=$(ls "$scratch"/package/*.deb)
dpkg-deb -x "$deb" "$scratch/root"
check_layout "$scratch/root/usr"
[ -f "$scratch/root/usr/share/lintian/overrides/timers" ] || fail "the package has no lintian override"
grep -q '^Exec=/usr/libexec/timers/desktop-start$' "$scratch/root/usr/share/applications/org.vorn.Timers.desktop" ||
    fail "the packaged desktop entry does not start /usr/libexec/timers/desktop-start"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the package has no computed Depends"
# Nothing at all, but where lintian passes AppStream 1.0's missing-homepage warning on (above).
lintian -I --pedantic "$deb" >"$scratch/lintian" 2>&1 || fail "lintian: $(cat "$scratch/lintian")"
others=$(grep -E '^[EWIP]:' "$scratch/lintian" | grep -Ev '^W: timers: appstream-metadata-validation-failed ' || true)
[ -z "$others" ] || fail "lintian: $(cat "$scratch/lintian")"

# The command lines as a new user first tries them, without a display or a session bus, in an
# empty folder that stays empty. Each row: the command, its exit status, what stdout and stderr
# must say ("-": nothing).
mkdir "$scratch/empty"
while IFS='|' read -r command status out err; do
    got=0
    (cd "$scratch/empty" && ulimit -c 0 && exec env -i PATH=/usr/bin:/bin $command >"$scratch/out" 2>"$scratch/err") || got=$?
    [ "$got" = "$status" ] || fail "$command exited with $got, not $status ($(cat "$scratch/out" "$scratch/err"))"
    for stream in "out|$out" "err|$err"; do
        file=$scratch/${stream%%|*} want=${stream#*|}
        if [ "$want" = - ]; then [ ! -s "$file" ] || fail "$command wrote to std$file: $(cat "$file")"
        else grep -q -- "$want" "$file" || fail "$command: std${stream%%|*} does not say $want: $(cat "$file")"; fi
    done
    [ -z "$(ls -A "$scratch/empty")" ] || fail "$command left $(ls -A "$scratch/empty")"
done <<ROWS
$scratch/root/usr/bin/timers --help|0|^Usage: timers \[OPTION\]|-
$scratch/root/usr/bin/timers -h|0|^Usage: timers|-
$scratch/root/usr/bin/timers --version|0|^timers 0\.1\.0$|-
$scratch/root/usr/bin/timers --frobnicate|64|-|unknown option '--frobnicate'
$scratch/root/usr/bin/timers -style fusion extra|64|-|unexpected argument 'extra'
$scratch/root/usr/bin/timers -platform no-such-platform|69|-|"no-such-platform"
$scratch/root/usr/bin/timers -sync|69|-|needs a display (X11 or Wayland) to show its window, and none was reached: DISPLAY and WAYLAND_DISPLAY are not set$
$scratch/root/usr/bin/timers-ctl --help|0|^Usage: timers-ctl COMMAND|-
$scratch/root/usr/bin/timers-ctl --version|0|^timers-ctl 0\.1\.0$|-
$scratch/root/usr/bin/timers-ctl|64|-|^usage: timers-ctl set DURATION
$scratch/root/usr/bin/timers-ctl frobnicate|64|-|unknown command 'frobnicate'
$scratch/root/usr/bin/timers-ctl set 1 2|64|-|set takes one DURATION
$scratch/root/usr/bin/timers-ctl status|2|-|no session bus
bash $src/tools/release_check.sh|64|-|^usage: tools/release_check.sh
bash $src/tools/release_check.sh --help|64|-|^usage: tools/release_check.sh
ROWS

# Runs COMMAND... in the background, sends SIGTERM once the program has its handler and waits
# in its event loop, and expects exit status 0.
run_until_term() { # STDERR_FILE COMMAND...
    local errors=$1
    shift
    "$@" 2>"$errors" &
    local pid=$!
    pids+=("$pid")
    for _ in $(seq 600); do # bounds a hang only
        mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
        (( (16#${mask:-0} >> 14) & 1 )) && grep -q poll "/proc/$pid/wchan" 2>/dev/null && break
        sleep 0.1
    done
    kill -TERM "$pid"
    wait "$pid" || fail "$* exited with $? ($(cat "$errors"))"
}
mkdir "$scratch/ports" # no serial ports to look at

# Natively on Wayland, chosen with Qt's own -platform option (so it must reach Qt): the program
# ends (status 69) if Qt cannot use the compositor, and reports the app id.
mkdir -m 700 "$scratch/runtime"
XDG_RUNTIME_DIR="$scratch/runtime" weston --backend=headless-backend.so --socket=timers-test \
    --idle-time=0 --no-config >"$scratch/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 300); do [ -S "$scratch/runtime/timers-test" ] && break; sleep 0.1; done
[ -S "$scratch/runtime/timers-test" ] || fail "weston did not start: $(cat "$scratch/weston.log")"
mkdir "$scratch/wayland"
(cd "$scratch/wayland" && run_until_term "$scratch/wayland.log" env XDG_RUNTIME_DIR="$scratch/runtime" \
    WAYLAND_DISPLAY=timers-test WAYLAND_DEBUG=client TIMERS_SERIAL_DIR="$scratch/ports" \
    "$scratch/root/usr/bin/timers" -platform wayland)
grep -q '\[USB/COM port\]' "$scratch/wayland/Timer_Control.ini" || fail "no settings saved at exit on Wayland"
grep -q 'set_app_id("org.vorn.Timers")' "$scratch/wayland.log" || fail "no app id org.vorn.Timers on Wayland"

# The desktop entry's command, as nobody, from "/": the settings go to the per-user folder.
exec_line=$(sed -n 's/^Exec=//p' "$scratch/prefix/share/applications/org.vorn.Timers.desktop")
mkdir "$scratch/home"
chown nobody "$scratch/home"
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin
    QT_QPA_PLATFORM=offscreen TIMERS_SERIAL_DIR="$scratch/ports")
h=$scratch/home
: >"$h/a-file"
mkdir -p "$h/.config"
ln -s ../dotfiles/timers "$h/.config/timers" # a dotfiles link whose folder is not there yet
chown -R nobody "$h"
# Each row: the environment, where the settings must be saved, what stderr must say.
while IFS='|' read -r environment saved said; do
    (cd / && run_until_term "$scratch/desktop.log" "${as_nobody[@]}" $environment "$exec_line")
    [ -z "$saved" ] || grep -q '\[USB/COM port\]' "$saved" ||
        fail "with $environment the desktop entry saved no settings in $saved ($(cat "$scratch/desktop.log"))"
    [ -z "$said" ] || grep -qF "$said" "$scratch/desktop.log" || fail "with $environment stderr says: $(cat "$scratch/desktop.log")"
    if grep -qi locale "$scratch/desktop.log"; then fail "with no locale set, stderr says: $(cat "$scratch/desktop.log")"; fi
done <<ROWS
HOME=$h|$h/dotfiles/timers/Timer_Control.ini|
HOME=$h XDG_CONFIG_HOME=$h/config|$h/config/timers/Timer_Control.ini|
HOME=$h XDG_CONFIG_HOME=$h/a-file|$h/dotfiles/timers/Timer_Control.ini|cannot use $h/a-file/timers for the settings: Not a directory
HOME=||no folder of your own was found for the settings; they go in /
ROWS
echo "package $(basename "$deb") installs, validates and runs"
