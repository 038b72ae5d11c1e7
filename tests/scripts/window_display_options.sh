#!/usr/bin/env bash
# The display options on real screens, each run held on its loading image
# (Down held from the start), so every run shows the same picture:
#   --windowed on 1920 x 1080: a framed 800 x 600 window, no question (the reference);
#   --fullscreen on 1920 x 1080: the whole screen at its own mode, the picture
#     scaled to 1440 x 1080 between black bars of 240 pixels, its centre pixel
#     the reference's within 2 levels, the mouse pointer hidden;
#   --scale 2 on 1600 x 1200: a 1600 x 1200 window, each pixel the reference's, doubled.
source "$(dirname "$0")/window_common.bash"
command -v ffmpeg >/dev/null || fail "ffmpeg is not installed"
CENTRE_TOLERANCE=2  # levels

# within A B TOLERANCE: whether two "R G B" pixels differ by at most TOLERANCE in each channel.
within() {
  local a=($1) b=($2) i d
  for i in 0 1 2; do
    d=$((a[i] - b[i]))
    [ "${d#-}" -le "$3" ] || return 1
  done
}
# all_black RAW: whether every byte of a screenshot is 0.
all_black() { [ "$(tr -d '\0' <"$1" | wc -c)" -eq 0 ]; }

start_xvfb 1920x1080x24
start_paused_demo --windowed
screenshot "$scratch/reference.raw" 800x600+0+0
keep_png "$scratch/reference.raw" 800x600 option-windowed
quit_demo
[ "$window_seen" = "800x600+0+0" ] || fail "--windowed: the window was $window_seen"
[ -z "${boxes_seen[*]:-}" ] || fail "--windowed: boxes came up: ${boxes_seen[*]}"
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "--windowed: exit $demo_status"; }
centre="$(pixel "$scratch/reference.raw" 800 400 300)"
all_black "$scratch/reference.raw" && fail "--windowed: the picture is black"
echo "--windowed: 800 x 600, centre $centre"

start_paused_demo --fullscreen
xdotool mousemove 960 540
screenshot "$scratch/fullscreen.raw"
screenshot "$scratch/under-pointer.raw" 64x64+940+520 1
screenshot "$scratch/left.raw" 240x1080+0+0
screenshot "$scratch/right.raw" 240x1080+1680+0
quit_demo
keep_png "$scratch/fullscreen.raw" 1920x1080 option-fullscreen
[ "$window_seen" = "1920x1080+0+0" ] || fail "--fullscreen: the window was $window_seen"
[ -z "${boxes_seen[*]:-}" ] || fail "--fullscreen: boxes came up: ${boxes_seen[*]}"
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "--fullscreen: exit $demo_status"; }
all_black "$scratch/left.raw" && all_black "$scratch/right.raw" || fail "--fullscreen: the bars are not black"
# The picture starts right after the left bar and ends right before the right one.
edge="$(pixel "$scratch/fullscreen.raw" 1920 240 540) $(pixel "$scratch/fullscreen.raw" 1920 1679 540)"
[ "$(pixel "$scratch/reference.raw" 800 0 300) $(pixel "$scratch/reference.raw" 800 799 300)" = "0 0 0 0 0 0" ] ||
  [ "$edge" != "0 0 0 0 0 0" ] || fail "--fullscreen: nothing drawn at the picture's edges"
scaled_centre="$(pixel "$scratch/fullscreen.raw" 1920 960 540)"
ffmpeg -loglevel error -f rawvideo -pix_fmt rgb24 -video_size 1920x1080 -i "$scratch/fullscreen.raw" \
  -vf crop=64:64:940:520 -f rawvideo -y "$scratch/without-pointer.raw" </dev/null
cmp -s "$scratch/under-pointer.raw" "$scratch/without-pointer.raw" || fail "--fullscreen: the mouse pointer shows"
within "$scaled_centre" "$centre" "$CENTRE_TOLERANCE" || fail "--fullscreen: centre $scaled_centre, unscaled $centre"
echo "--fullscreen: 1920 x 1080, black bars of 240 pixels, centre $scaled_centre, no pointer"

start_xvfb 1600x1200x24
start_paused_demo --scale 2
screenshot "$scratch/scaled.raw"
quit_demo
keep_png "$scratch/scaled.raw" 1600x1200 option-scale-2
[ "$window_seen" = "1600x1200+0+0" ] || fail "--scale 2: the window was $window_seen"
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "--scale 2: exit $demo_status"; }
for point in "400 300" "100 80" "733 541" "0 0" "799 599"; do
  set -- $point
  a="$(pixel "$scratch/reference.raw" 800 "$1" "$2")"
  for d in "0 0" "1 0" "0 1" "1 1"; do
    b="$(pixel "$scratch/scaled.raw" 1600 $((2 * $1 + ${d% *})) $((2 * $2 + ${d#* })))"
    [ "$a" = "$b" ] || fail "--scale 2: ($1, $2) is $a unscaled and $b doubled"
  done
done
echo "--scale 2: 1600 x 1200, every sampled pixel the reference's, doubled"
