#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest. Tests that need a display
# use Qt's offscreen platform; the sound test starts its own PulseAudio server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh test
ctest --test-dir build --output-on-failure --parallel 2
