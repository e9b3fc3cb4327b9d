#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 600) each; needs clang and its runtime, which
# the test command installs (libclang-rt-dev, or libclang-rt-14-dev on Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null ||
    { echo "fuzz_long.sh: needs clang and its runtime: bash tools/setup.sh test installs them" >&2; exit 1; }
exec tests/fuzz/run_fuzzers.sh build-fuzz "${1:-600}"
