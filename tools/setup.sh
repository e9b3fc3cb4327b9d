#!/usr/bin/env bash
# Installs the Debian 12 packages Timers needs (only those missing), then configures and
# builds it in build/. Run as root on a fresh machine (or through sudo: the build then runs as
# the calling user); later runs only rebuild.
#   tools/setup.sh run|test|package
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/as_caller.sh
mode=${1:-run}

build_packages=(g++ cmake make pkg-config qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-multimedia-dev
    libsndfile1-dev)
run_packages=(fonts-liberation2 qt6-wayland libqt6svg6)
package_packages=(dpkg-dev file)
test_packages=(pulseaudio pulseaudio-utils clang libclang-rt-14-dev clang-tidy desktop-file-utils appstream dbus xvfb
    xdotool x11-utils imagemagick lintian weston)

wanted=("${build_packages[@]}" "${run_packages[@]}")
case $mode in
test) wanted+=("${test_packages[@]}" "${package_packages[@]}") ;; # the tests build the package too
package) wanted+=("${package_packages[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

if [ -e build ] && ! as_caller test -w build; then
    echo "build/ is not writable by ${SUDO_USER:-$(id -un)} (made by an earlier run as root?); remove it first." >&2
    exit 1
fi
# The tests build with warnings as errors; a run or a package builds only the program.
testing=OFF
[ "$mode" = test ] && testing=ON
as_caller cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIMERS_WARNINGS_AS_ERRORS=$testing \
    -DBUILD_TESTING=$testing
as_caller cmake --build build --parallel "$(nproc)"
