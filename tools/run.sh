#!/usr/bin/env bash
# Installs what is missing, builds, and starts Timers in this folder (where it keeps
# Timer_Control.ini). Through sudo, it builds and starts the program as the calling user.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh run
source tools/as_caller.sh
as_caller build/bin/timers
