#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest; then builds again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite once more. Tests that need
# a display use Qt's offscreen platform or their own Xvfb; the sound test starts its own
# PulseAudio server, the sleep-inhibitor test its own D-Bus bus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh test
ctest --test-dir build --output-on-failure --parallel 2

echo "== The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIMERS_SANITIZE=ON -DTIMERS_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build-asan --parallel "$(nproc)"
# modem_lines.so is preloaded into some tests ahead of the sanitizer runtime. The fuzz targets
# and clang-tidy do not depend on how the suite is built: they ran above.
ASAN_OPTIONS=verify_asan_link_order=0 ctest --test-dir build-asan --output-on-failure --parallel 2 \
    --exclude-regex '^(fuzz_smoke|clang_tidy)$'
