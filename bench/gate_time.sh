#!/usr/bin/env bash
# Times the test command (tools/test.sh) from a fresh clone of a commit, stage by stage: each
# "== " line the command prints starts a stage; CTest's time per label follows. With --loaded,
# two CPU-bound loops keep both processors busy meanwhile, as on a busy CI machine. The Debian
# packages must be installed already (any earlier run of the test command installs them).
#   bench/gate_time.sh [--loaded] [COMMIT]      (default: HEAD)
set -euo pipefail
cd "$(dirname "$0")/.."
loaded=0
[ "${1:-}" = --loaded ] && { loaded=1; shift; }
commit=$(git rev-parse --short "${1:-HEAD}")
# Only to be sure nothing is missing (not timed): which packages it installs, if any, is said.
bash tools/setup.sh test | { grep '^Installing: ' >&2 || true; }

scratch=$(mktemp -d /tmp/timers-gate.XXXXXX)
loops=()
trap 'kill "${loops[@]}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
git clone --quiet . "$scratch/clone"
git -C "$scratch/clone" checkout --quiet "$commit"
if [ "$loaded" = 1 ]; then
    for _ in 1 2; do sha256sum /dev/zero & loops+=($!); done
fi

# Each output line with the seconds since the start.
start=$(date +%s.%N)
status=0
(cd "$scratch/clone" && CI=true bash tools/test.sh </dev/null 2>&1) |
    while IFS= read -r line; do printf '%s %s\n' "$(date +%s.%N)" "$line"; done >"$scratch/log" || status=$?
end=$(date +%s.%N)

echo "test command at $commit$([ "$loaded" = 1 ] && echo ', two CPU-bound loops running'): $(
    [ "$status" = 0 ] && echo passed || echo "FAILED (exit $status)")"
awk -v start="$start" -v end="$end" 'BEGIN { name = "(before the first stage line)"; at = start }
    / == / { if (name != "") printf "  %-62s %6.0f s\n", name, $1 - at; name = substr($0, index($0, "== ") + 3); at = $1 }
    / tests passed, / { sub(/^[0-9.]+ /, ""); printf "    %s\n", $0 }
    /^[0-9.]+ [a-z]+ += +[0-9.]+ sec\*proc/ { printf "    label %s %s\n", $2, $4 " s of test time" }
    / clang-tidy: [0-9]+ files/ { tidy_from = $1 }
    / clang-tidy: (clean|findings)/ { tidy_to = $1 }
    END { if (name != "") printf "  %-62s %6.0f s\n", name, end - at
          if (tidy_to != "") printf "    clang-tidy, alongside: %.0f s\n", tidy_to - tidy_from
          printf "  %-62s %6.0f s\n", "total", end - start }
' "$scratch/log"
[ "$status" = 0 ] || { tail -n 30 "$scratch/log"; exit 1; }
