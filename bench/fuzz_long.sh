#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 600) each; needs clang and libclang-rt-14-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
exec tests/fuzz/run_fuzzers.sh build-fuzz "${1:-600}"
