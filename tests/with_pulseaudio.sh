#!/usr/bin/env bash
# Runs a command against a private PulseAudio server with one null sink, "timers_sink",
# whose monitor source can be recorded. The server is stopped when the command ends.
set -u
dir=$(mktemp -d /tmp/timers-pulse.XXXXXX)
export XDG_RUNTIME_DIR=$dir HOME=$dir PULSE_SERVER=unix:$dir/native
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disable-shm=yes \
    -L "module-null-sink sink_name=timers_sink" \
    -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" >"$dir/pulseaudio.log" 2>&1 &
server=$!
export TIMERS_TEST_PULSE_PID=$server # for tests that stall the server
cleanup() { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
    echo "PulseAudio did not start:" >&2
    cat "$dir/pulseaudio.log" >&2
    exit 1
fi
"$@"
