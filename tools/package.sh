#!/usr/bin/env bash
# Installs what is missing, builds the program, and makes the Debian package
# build/timers_<version>_<arch>.deb (install it with: apt install ./build/timers_*.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh package
source tools/as_caller.sh
(cd build && as_caller cpack -G DEB)
