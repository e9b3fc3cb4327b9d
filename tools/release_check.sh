#!/usr/bin/env bash
# Tries the README's commands as a new user of a Debian release would: makes a minimal root
# with debootstrap from this machine's own mirror, clones the committed project into it, runs
# the test command and the packaging command there, installs the package with apt, starts the
# program from its menu entry and ends it as a logout would. Prints one summary line; the whole
# log is kept in build/release-check-RELEASE.log. Run as root; it takes 20-40 minutes.
#   tools/release_check.sh bookworm|trixie      (KEEP_ROOT=1 keeps the root for a look inside)
set -euo pipefail
cd "$(dirname "$0")/.."
usage() {
    echo "usage: tools/release_check.sh bookworm|trixie   (as root, 20-40 minutes; KEEP_ROOT=1 keeps the root)" >&2
    exit 64
}
# Only a release name goes on: anything else (--help among them) would be taken for one.
[ $# = 1 ] || usage
case $1 in -* | *[!a-z]* | "") usage ;; esac
release=$1
[ "$(id -u)" = 0 ] || { echo "release_check: run as root (debootstrap and chroot need it)" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "release_check: needs debootstrap (apt install debootstrap)" >&2; exit 2; }

# The mirror this machine installs from: its main suite's address (not -security or -updates).
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' |
    awk '$2 !~ /-/ {print $1; exit}')
[ -n "$mirror" ] || { echo "release_check: no Debian mirror is configured here" >&2; exit 2; }

mkdir -p build
log=$PWD/build/release-check-$release.log
: >"$log"
root=$(mktemp -d "/var/tmp/timers-$release.XXXXXX")
chmod 755 "$root" # the root folder of the system: every user must get through it
mounts=()
finish() {
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
    if [ "${KEEP_ROOT:-0}" = 1 ]; then echo "release_check: the root stays in $root" >&2; else rm -rf "$root"; fi
}
trap finish EXIT
stage() { # NAME COMMAND...: runs a stage, its output into the log; stops the check if it fails
    local name=$1 start=$SECONDS
    shift
    echo "== $name" >>"$log"
    if ! "$@" >>"$log" 2>&1; then
        {
            echo "$release: FAILED at $name after $((SECONDS - start)) s; see $log (its end below)"
            tail -n 15 "$log"
        } >&2
        exit 1
    fi
    echo "$((SECONDS - start))"
}
inside() { # COMMAND: runs a shell command in the root as a fresh root login would
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /root/timers && $1" </dev/null
}

bootstrap_time=$(stage "debootstrap $release from $mirror" debootstrap --variant=minbase "$release" "$root" "$mirror")
for mount in proc sys dev dev/pts; do
    case $mount in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sys "$root/sys" ;;
    *) mount --bind "/$mount" "$root/$mount" ;;
    esac
    mounts+=("$root/$mount")
done
mount -t tmpfs tmpfs "$root/dev/shm" 2>/dev/null && mounts+=("$root/dev/shm")
git clone --quiet "$PWD" "$root/root/timers"
commit=$(git rev-parse --short HEAD)

test_time=$(stage "bash tools/test.sh" inside 'bash tools/test.sh')
tests=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 2 | paste -sd ';' -)
package_time=$(stage "bash tools/package.sh && apt install ./build/timers_*.deb" \
    inside 'bash tools/package.sh && apt-get install -y -qq ./build/timers_*.deb')
deb=$(basename "$(ls "$root"/root/timers/build/timers_*.deb)")

# The menu entry's command, as an unprivileged user in its home, ended by SIGTERM: it must
# exit 0 and save its settings.
start_from_menu='
    exec_line=$(sed -n "s/^Exec=//p" /usr/share/applications/org.vorn.Timers.desktop)
    home=$(mktemp -d) && chown nobody "$home"
    setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin \
        QT_QPA_PLATFORM=offscreen TIMERS_SERIAL_DIR=/nonexistent "$exec_line" 2>"$home/stderr" &
    pid=$!
    for _ in $(seq 300); do grep -q poll /proc/$pid/wchan 2>/dev/null && break; sleep 0.1; done
    sleep 1
    kill -TERM $pid && wait $pid
    cat "$home/stderr"
    ! grep -qi locale "$home/stderr"
    grep -q "\[USB/COM port\]" "$home/.config/timers/Timer_Control.ini"'
menu_time=$(stage "start from the menu entry" inside "$start_from_menu")
versions=$(inside 'echo "Qt $(dpkg-query -W -f="\${Version}" libqt6core6* | cut -d+ -f1), GCC $(gcc -dumpfullversion)"')

echo "$release ($commit): debootstrap ${bootstrap_time} s; test command ${test_time} s (${tests}); package $deb" \
    "built and installed in ${package_time} s; started from its menu entry and ended cleanly in ${menu_time} s; $versions"
