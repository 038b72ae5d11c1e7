#!/usr/bin/env bash
# Frames before --from and between --at times run every scene without being
# rasterised, but for the one just before each written frame: the frames written
# have the bytes of a run that draws every frame. At 1 fps every stretch run
# without drawing is long, and the times cross all six scenes: the titles' trails,
# the fire's clouds from the random generator, the tower, the fly-through's
# models, the greetings' fountain and the spheres' copy of the frame into a
# texture, whose copy in the undrawn frames is of an old picture.
source "$(dirname "$0")/capture_common.bash"
times=5,30,100,150,170,176,183,185
capture_or_fail --data "$data" --fps 1 --at "$times" --draw-all --frames "$scratch/full"
capture_or_fail --data "$data" --fps 1 --at "$times" --frames "$scratch/preroll"
capture_or_fail --data "$data" --fps 1 --from 183 --to 184 --frames "$scratch/range"
count=$(ls "$scratch/full" | wc -l)
[ "$count" -eq 8 ] || fail "the full run wrote $count frames, expected 8"
[ "$(ls "$scratch/preroll")" = "$(ls "$scratch/full")" ] || fail "pre-roll wrote $(ls "$scratch/preroll" | tr '\n' ' ')"
for f in "$scratch/full"/*.png; do
  cmp -s "$f" "$scratch/preroll/$(basename "$f")" || fail "$(basename "$f") differs from the run that draws every frame"
done
[ "$(ls "$scratch/range")" = frame-000183.png ] || fail "--from 183 --to 184 wrote $(ls "$scratch/range" | tr '\n' ' ')"
cmp -s "$scratch/range/frame-000183.png" "$scratch/full/frame-000183.png" ||
  fail "frame 183 after a pre-roll to --from differs from the run that draws every frame"
# The written frames are pictures of their own times, not one repeated frame.
[ "$(md5sum "$scratch/full"/*.png | cut -d' ' -f1 | sort -u | wc -l)" -eq 8 ] || fail "some written frames are identical"
echo "pre-roll: $count frames at 1 fps and one after --from byte-identical to a run that draws every frame"
