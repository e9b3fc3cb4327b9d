#!/usr/bin/env bash
# Sourced by tools/setup.sh and the benchmarks: which Debian packages are missing, and installing
# them. A need is a package name, or alternatives "a|b" of which the first the release offers is
# installed; {clang} stands for the major version of the release's clang. A need is met when a
# package of that name, or one that provides it, is installed: when all are, apt is not asked.

# Every installed package's name and what it provides, one per line.
installed_names() {
    dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Provides}\n' |
        awk -F'|' '$1 ~ /^ii/ {print $2; n = split($3, p, ", "); for (i = 1; i <= n; i++) {sub(/ .*/, "", p[i]); print p[i]}}'
}
met() { # NEED, against $installed
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

install_missing() { # NEED...: installs those not met (as root); otherwise says which and fails
    local installed need package missing=() packages=()
    installed=$(installed_names)
    for need; do met "$need" || missing+=("$need"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "missing Debian packages: ${missing[*]} (install them as root)" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    for need in "${missing[@]}"; do
        package=$(offered "$need") || return 1
        packages+=("$package")
    done
    echo "Installing: ${packages[*]}"
    apt-get install -y -qq --no-install-recommends "${packages[@]}" </dev/null
}
