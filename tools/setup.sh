#!/usr/bin/env bash
# Installs the Debian packages Timers needs (on Debian 12 or 13; only those missing), then configures and
# builds it in build/. Run as root on a fresh machine (or through sudo: the build then runs as
# the calling user); later runs only rebuild.
#   tools/setup.sh run|test|package
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/as_caller.sh
source tools/packages.sh
mode=${1:-run}

build_packages=(g++ cmake make pkg-config dpkg-dev qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-multimedia-dev
    libsndfile1-dev libfontconfig-dev)
run_packages=(fonts-dejavu-core fonts-dejavu-extra fonts-liberation2 qt6-wayland)
package_packages=(file)
test_packages=(pulseaudio pulseaudio-utils clang 'libclang-rt-dev|libclang-rt-{clang}-dev' clang-tidy clang-format at-spi2-core python3-pyatspi
    desktop-file-utils appstream dbus xvfb xdotool x11-utils imagemagick lintian weston strace)

wanted=("${build_packages[@]}" "${run_packages[@]}")
case $mode in
test) wanted+=("${test_packages[@]}" "${package_packages[@]}") ;; # the tests build the package too
package) wanted+=("${package_packages[@]}") ;;
esac

install_missing "${wanted[@]}"

if [ -e build ] && ! as_caller test -w build; then
    echo "build/ is not writable by ${SUDO_USER:-$(id -un)} (made by an earlier run as root?); remove it first." >&2
    exit 1
fi
# The tests build with warnings as errors; a run or a package builds only the program. The tests
# of the code are built by the test command with the sanitizers, in build-asan/.
testing=OFF
[ "$mode" = test ] && testing=ON
# The release's hardening flags (fortify, stack protector, read-only relocations bound now), as
# Debian builds its own packages.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flag() { dpkg-buildflags --get "$1"; }
as_caller cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIMERS_WARNINGS_AS_ERRORS=$testing \
    -DBUILD_TESTING=$testing -DTIMERS_CODE_TESTS=OFF -DTIMERS_SLOW_TESTS=ON -DCMAKE_C_FLAGS="$(flag CPPFLAGS) $(flag CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flag CPPFLAGS) $(flag CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)" -DCMAKE_MODULE_LINKER_FLAGS="$(flag LDFLAGS)"
as_caller cmake --build build --parallel "$(nproc)"
