#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metainfo, installs with cmake --install to a
# scratch prefix, builds the Debian package, unpacks it into a scratch root, and runs the
# installed program once headless (ended by SIGTERM, as a logout would).
#   tests/check_package.sh SOURCE_DIR BUILD_DIR MODULE_FROM_BIN DATA_FROM_BIN
set -euo pipefail
src=$1 build=$2 module_from_bin=$3 data_from_bin=$4
scratch=$(mktemp -d /tmp/timers-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$src/data/org.vorn.Timers.desktop"
appstreamcli validate --no-net "$src/data/org.vorn.Timers.metainfo.xml"

# The program finds its sound module and alarm.wav relative to its own folder.
check_layout() { # ROOT_PREFIX
    local bin=$1/bin
    for f in "$bin/timers" "$bin/$module_from_bin/timers-sound.so" "$bin/$data_from_bin/alarm.wav" \
        "$1/share/applications/org.vorn.Timers.desktop" "$1/share/icons/hicolor/scalable/apps/org.vorn.Timers.svg" \
        "$1/share/metainfo/org.vorn.Timers.metainfo.xml"; do
        [ -f "$f" ] || fail "missing $f"
    done
}
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_layout "$scratch/prefix"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
deb=$(ls "$scratch"/package/*.deb)
dpkg-deb -x "$deb" "$scratch/root"
check_layout "$scratch/root/usr"

# Once headless, in a fresh working folder, with no serial ports to look at.
mkdir "$scratch/home" "$scratch/ports"
(cd "$scratch/home" && TIMERS_SERIAL_DIR="$scratch/ports" QT_QPA_PLATFORM=offscreen \
    exec "$scratch/root/usr/bin/timers" 2>"$scratch/stderr") &
pid=$!
for _ in $(seq 100); do
    mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    (( (16#${mask:-0} >> 14) & 1 )) && break
    sleep 0.1
done
sleep 0.3
kill -TERM "$pid"
wait "$pid" || fail "the installed program exited with $? ($(cat "$scratch/stderr"))"
grep -q '\[USB/COM port\]' "$scratch/home/Timer_Control.ini" || fail "no settings saved at exit"
echo "package $(basename "$deb") installs, validates and runs"
