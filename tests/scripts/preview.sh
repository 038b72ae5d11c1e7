#!/usr/bin/env bash
# The preview script writes one frame of each scene and a 3 × 2 contact sheet of
# them: six different pictures, none of them black or flat. The capture draws
# every frame up to the last moment (180 s), so by default it runs at 2 frames
# a second (the six moments fall on frames at that rate too); with
# VANTREL_LONG_TESTS=1 it renders at the viewer's 60, as the script's default.
source "$(dirname "$0")/capture_common.bash"
src="$2"
fps=2
[ "${VANTREL_LONG_TESTS:-0}" = 1 ] && fps=60
VANTREL_PREVIEW_FPS=$fps bash "$src/scripts/preview.sh" "$scratch/out" "$build" >"$scratch/stdout" 2>"$scratch/err" ||
  fail "exit $?: $(tail -3 "$scratch/err")"
mapfile -t scenes < <(ls "$scratch/out"/scene-*.png)
[ "${#scenes[@]}" -eq 6 ] || fail "scene frames: ${scenes[*]}"
[ "$(ls "$scratch/out"/scene-*.png | xargs -n1 md5sum | cut -d' ' -f1 | sort -u | wc -l)" -eq 6 ] ||
  fail "two scene frames are the same picture"
for f in "${scenes[@]}" "$scratch/out/contact-sheet.png"; do
  stats="$(ffprobe -v error -f lavfi "movie=$f,signalstats" \
    -show_entries frame_tags=lavfi.signalstats.YAVG,lavfi.signalstats.YMIN,lavfi.signalstats.YMAX -of csv=p=0)"
  IFS=, read -r ymin yavg ymax <<<"$stats"
  awk -v a="$yavg" 'BEGIN { exit !(a > 12) }' || fail "$(basename "$f") is nearly black (mean luma $yavg)"
  [ "$((ymax - ymin))" -gt 100 ] || fail "$(basename "$f") is nearly flat (luma $ymin..$ymax)"
done
size="$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$scratch/out/contact-sheet.png")"
[ "$size" = "1200,600" ] || fail "contact sheet is $size"
echo "preview at $fps fps: six scene frames and a 1200 × 600 contact sheet"
