#!/usr/bin/env bash
# Installs the Debian 12 packages Timers needs (only those missing), then configures and
# builds it in build/. Run as root on a fresh machine; later runs only rebuild.
#   tools/setup.sh [run|test]
set -euo pipefail
cd "$(dirname "$0")/.."

build_packages=(g++ cmake make pkg-config qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-multimedia-dev
    libsndfile1-dev)
run_packages=(fonts-liberation2)
test_packages=(pulseaudio pulseaudio-utils clang libclang-rt-14-dev clang-tidy desktop-file-utils appstream dpkg-dev
    file dbus xvfb xdotool imagemagick)

wanted=("${build_packages[@]}" "${run_packages[@]}")
[ "${1:-}" = test ] && wanted+=("${test_packages[@]}")

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

# The tests build with warnings as errors; a run builds only the program.
testing=OFF
[ "${1:-}" = test ] && testing=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIMERS_WARNINGS_AS_ERRORS=$testing -DBUILD_TESTING=$testing
cmake --build build --parallel "$(nproc)"
