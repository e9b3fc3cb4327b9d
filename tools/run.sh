#!/usr/bin/env bash
# Installs what is missing, builds, and starts Timers in this folder (where it keeps
# Timer_Control.ini).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh run
exec build/bin/timers
