#!/usr/bin/env bash
# Installs the Debian packages Timers needs (on Debian 12 or 13; only those missing), then configures and
# builds it in build/. Run as root on a fresh machine (or through sudo: the build then runs as
# the calling user); later runs only rebuild.
#   tools/setup.sh run|test|package
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/as_caller.sh
mode=${1:-run}

# A need is a package name, or alternatives "a|b" of which the first the release offers is
# installed; {clang} stands for the major version of the release's clang. A need is met when a
# package of that name, or one that provides it, is installed: a second run asks apt nothing.
build_packages=(g++ cmake make pkg-config dpkg-dev qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-multimedia-dev
    libsndfile1-dev)
run_packages=(fonts-dejavu-core fonts-liberation2 qt6-wayland)
package_packages=(file)
test_packages=(pulseaudio pulseaudio-utils clang 'libclang-rt-dev|libclang-rt-{clang}-dev' clang-tidy
    desktop-file-utils appstream dbus xvfb xdotool x11-utils imagemagick lintian weston)

wanted=("${build_packages[@]}" "${run_packages[@]}")
case $mode in
test) wanted+=("${test_packages[@]}" "${package_packages[@]}") ;; # the tests build the package too
package) wanted+=("${package_packages[@]}") ;;
esac

# Every installed package's name and what it provides, one per line.
installed=$(dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Provides}\n' |
    awk -F'|' '$1 ~ /^ii/ {print $2; n = split($3, p, ", "); for (i = 1; i <= n; i++) {sub(/ .*/, "", p[i]); print p[i]}}')
met() { # NEED
    local alternatives alternative
    IFS='|' read -ra alternatives <<<"$1"
    for alternative in "${alternatives[@]}"; do
        if [[ $alternative == *'{clang}'* ]]; then
            grep -qxE "${alternative//\{clang\}/[0-9]+}" <<<"$installed" && return 0
        else
            grep -qxF "$alternative" <<<"$installed" && return 0
        fi
    done
    return 1
}
offered() { # NEED: the first of its alternatives that apt can install
    local alternatives alternative clang policy providers
    IFS='|' read -ra alternatives <<<"$1"
    for alternative in "${alternatives[@]}"; do
        if [[ $alternative == *'{clang}'* ]]; then
            clang=$(apt-cache depends clang)
            clang=$(sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' <<<"$clang")
            alternative=${alternative//\{clang\}/$clang}
        fi
        # A real package has a candidate; a virtual one (libqt6opengl6-dev on Debian 13) a provider.
        # (Each answer read whole: grep -q would stop reading early, and pipefail would count that.)
        policy=$(apt-cache policy "$alternative" 2>/dev/null)
        providers=$(apt-cache showpkg "$alternative" 2>/dev/null | sed -n '/^Reverse Provides:/,$p')
        if grep -q 'Candidate: [^(]' <<<"$policy" || grep -q '^[a-z0-9]' <<<"$providers"; then
            echo "$alternative"
            return 0
        fi
    done
    echo "setup: this release offers none of $1" >&2
    return 1
}

missing=()
for need in "${wanted[@]}"; do
    met "$need" || missing+=("$need")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    packages=()
    for need in "${missing[@]}"; do packages+=("$(offered "$need")"); done
    echo "Installing: ${packages[*]}"
    apt-get install -y -qq --no-install-recommends "${packages[@]}" </dev/null
fi

if [ -e build ] && ! as_caller test -w build; then
    echo "build/ is not writable by ${SUDO_USER:-$(id -un)} (made by an earlier run as root?); remove it first." >&2
    exit 1
fi
# The tests build with warnings as errors; a run or a package builds only the program.
testing=OFF
[ "$mode" = test ] && testing=ON
# The release's hardening flags (fortify, stack protector, read-only relocations bound now), as
# Debian builds its own packages.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flag() { dpkg-buildflags --get "$1"; }
as_caller cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIMERS_WARNINGS_AS_ERRORS=$testing \
    -DBUILD_TESTING=$testing -DCMAKE_C_FLAGS="$(flag CPPFLAGS) $(flag CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flag CPPFLAGS) $(flag CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)" -DCMAKE_MODULE_LINKER_FLAGS="$(flag LDFLAGS)"
as_caller cmake --build build --parallel "$(nproc)"
