#!/usr/bin/env bash
# The PNG at t = 0.5 s of the titles is upright: the presents title fills the
# upper half of the picture, so the upper half is brighter than the lower.
source "$(dirname "$0")/capture_common.bash"
if [ ! -f "$build/data/maps/skarvel_presents.tga" ]; then
  echo "SKIP: $build/data/maps/skarvel_presents.tga is absent (the asset pack is not generated)"
  exit 0
fi
out="$("$capture" --data "$build/data" --fps 10 --at 0.5 --frames "$scratch/f" --quiet 2>"$scratch/err")" ||
  fail "exit $?: $(tail -3 "$scratch/err")"
png="$scratch/f/frame-000005.png"
[ -f "$png" ] || fail "no frame 5; stdout: $out"
upper=$(mean_brightness "$png" 800 300 0 0)
lower=$(mean_brightness "$png" 800 300 0 300)
[ "$upper" -gt "$lower" ] || fail "upper half $upper is not brighter than lower half $lower (upside down?)"
echo "upright: upper half $upper, lower half $lower"
