#!/usr/bin/env bash
# Installs what is missing, builds, and runs every check; each stage starts with a "== " line
# (bench/gate_time.sh times them). The program is built twice: as it ships, for the tests of
# what is built from it (fuzzing, the package, the installed program: label slow), and with
# AddressSanitizer and UndefinedBehaviorSanitizer, for the tests of its code (unit,
# integration). Each test is built and run once. clang-tidy goes over the program's sources
# while the tests run, which mostly wait on timers, windows and sound. Tests that need a display
# use Qt's offscreen platform or their own Xvfb; the sound tests start their own PulseAudio
# server, the desktop-service tests their own D-Bus bus.
set -euo pipefail
cd "$(dirname "$0")/.."
# A crashing test fails at once rather than at its timeout, after a debugger dumped its stack.
export QTEST_DISABLE_STACK_DUMP=1

echo "== set-up and build"
bash tools/setup.sh test

echo "== sanitizer build"
# Optimised lightly and with line tables only: the checks and their reports need no more, and
# the build takes less time.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" \
    -DTIMERS_SANITIZE=ON -DTIMERS_WARNINGS_AS_ERRORS=ON -DTIMERS_CODE_TESTS=ON -DTIMERS_SLOW_TESTS=OFF >/dev/null
cmake --build build-asan --parallel "$(nproc)"

echo "== layout of the sources"
status=0
bash tools/format_check.sh || status=1

echo "== tests, with clang-tidy alongside (its lines start with clang-tidy:)"
bash tools/tidy.sh build &
tidy=$!
# modem_lines.so is preloaded into some tests ahead of the sanitizer runtime.
ASAN_OPTIONS=verify_asan_link_order=0 ctest --test-dir build-asan --output-on-failure --parallel 2 || status=$?
ctest --test-dir build --output-on-failure --parallel 2 || status=$?
wait "$tidy" || status=1
exit "$status"
