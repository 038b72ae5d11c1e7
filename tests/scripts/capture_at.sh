#!/usr/bin/env bash
# --at writes the first frame at or after each time, once per frame, and says
# which on stdout; the frame is the same picture a range capture gives for it.
source "$(dirname "$0")/capture_common.bash"
out="$("$capture" --data "$data" --fps 10 --at 2.5,0.05,1,0.99,0.1 --frames "$scratch/at" --quiet 2>"$scratch/err")" ||
  fail "exit $?: $(tail -3 "$scratch/err")"
expected="$(printf '%s\n' "$scratch/at/frame-000001.png	0.100000" "$scratch/at/frame-000010.png	1.000000" \
  "$scratch/at/frame-000025.png	2.500000")"
[ "$out" = "$expected" ] || fail "stdout was:
$out
expected:
$expected"
[ "$(ls "$scratch/at" | tr '\n' ' ')" = "frame-000001.png frame-000010.png frame-000025.png " ] ||
  fail "files: $(ls "$scratch/at" | tr '\n' ' ')"
# At 30 fps, 0.1 s is frame 3 exactly (not 4 by the rounding of 0.1 * 30), and
# 0.1001 s is frame 4.
out="$("$capture" --data "$data" --fps 30 --at 0.1,0.1001 --frames "$scratch/at30" --quiet 2>/dev/null)" || fail "30 fps exit $?"
[ "$(printf '%s\n' "$out" | cut -f2 | tr '\n' ' ')" = "0.100000 0.133333 " ] || fail "30 fps times: $out"
# The same frame from a range capture has the same bytes.
"$capture" --data "$data" --fps 10 --from 0.95 --to 1.05 --frames "$scratch/range" --quiet >/dev/null 2>&1 || fail "range exit $?"
[ "$(ls "$scratch/range")" = frame-000010.png ] || fail "range 0.95..1.05 wrote $(ls "$scratch/range" | tr '\n' ' ')"
cmp -s "$scratch/at/frame-000010.png" "$scratch/range/frame-000010.png" || fail "--at 1 and the range differ at frame 10"
echo "--at: frames 1, 10, 25 for 0.05/0.1, 0.99/1, 2.5"
