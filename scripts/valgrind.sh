#!/usr/bin/env bash
# Runs the whole demo under valgrind's memcheck on the headless layer: the capture
# tool in bench mode (every frame drawn, nothing written) in build/data.
#   bash scripts/valgrind.sh [FPS] [TO_SECONDS]
# FPS defaults to 1 (192 frames; llvmpipe under memcheck takes seconds a frame);
# TO_SECONDS stops the demo early (default: its end). Exits non-zero on any
# memory error or definite leak; the log is build/valgrind.log. Reports in the
# loader, D-Bus and the Mesa driver are suppressed by name (tests/valgrind.supp).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fps="${1:-1}"
to="${2:-}"
command -v valgrind >/dev/null || apt-get install -y valgrind
[ -x "$root/build/vantrel-capture" ] || bash "$root/scripts/build.sh"
log="$root/build/valgrind.log"
range=()
[ -n "$to" ] && range=(--to "$to")
cd "$root/build/data"
status=0
LP_NUM_THREADS=0 bash "$root/scripts/with-xvfb.sh" valgrind --tool=memcheck --error-exitcode=99 \
  --leak-check=full --errors-for-leak-kinds=definite --show-leak-kinds=definite \
  --child-silent-after-fork=yes --num-callers=40 --suppressions="$root/tests/valgrind.supp" \
  --log-file="$log" ../vantrel-capture --fps "$fps" "${range[@]}" --bench --quiet || status=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|suppressed:" "$log" || true
if [ "$status" -ne 0 ]; then
  echo "valgrind: exit $status; see $log" >&2
  exit 1
fi
echo "valgrind: clean (log: $log)"
