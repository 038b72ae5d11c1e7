#!/usr/bin/env bash
# The display options on real screens, each run paused (Down) before it is
# looked at, so no swap changes the picture under the screenshots:
#   --windowed on 1920 x 1080: a framed 800 x 600 window, no question;
#   --fullscreen on 1920 x 1080: the whole screen at its own mode, the picture
#     scaled to 1440 x 1080 between black bars of 240 pixels, the mouse pointer hidden;
#   --scale 2 on 1600 x 1200: a 1600 x 1200 window, each pixel of the picture doubled.
# Runs are not compared with one another: when a paused run stops depends on
# how fast the machine is, so two runs need not show the same moment.
source "$(dirname "$0")/window_common.bash"
command -v ffmpeg >/dev/null || fail "ffmpeg is not installed"
# all_black RAW: whether every byte of a screenshot is 0.
all_black() { [ "$(tr -d '\0' <"$1" | wc -c)" -eq 0 ]; }

start_xvfb 1920x1080x24
start_still_demo --windowed
screenshot "$scratch/windowed.raw" 800x600+0+0
keep_png "$scratch/windowed.raw" 800x600 option-windowed
quit_demo
[ "$window_seen" = "800x600+0+0" ] || fail "--windowed: the window was $window_seen"
[ -z "${boxes_seen[*]:-}" ] || fail "--windowed: boxes came up: ${boxes_seen[*]}"
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "--windowed: exit $demo_status"; }
all_black "$scratch/windowed.raw" && fail "--windowed: the picture is black"
echo "--windowed: 800 x 600, no question"

start_still_demo --fullscreen
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
# The picture fills the screen between the bars.
ffmpeg -loglevel error -f rawvideo -pix_fmt rgb24 -video_size 1920x1080 -i "$scratch/fullscreen.raw" \
  -vf crop=1440:1080:240:0 -f rawvideo -y "$scratch/picture.raw" </dev/null
all_black "$scratch/picture.raw" && fail "--fullscreen: nothing drawn between the bars"
ffmpeg -loglevel error -f rawvideo -pix_fmt rgb24 -video_size 1920x1080 -i "$scratch/fullscreen.raw" \
  -vf crop=64:64:940:520 -f rawvideo -y "$scratch/without-pointer.raw" </dev/null
cmp -s "$scratch/under-pointer.raw" "$scratch/without-pointer.raw" || fail "--fullscreen: the mouse pointer shows"
echo "--fullscreen: 1920 x 1080, the picture between black bars of 240 pixels, no pointer"

start_xvfb 1600x1200x24
start_still_demo --scale 2
screenshot "$scratch/scaled.raw"
quit_demo
keep_png "$scratch/scaled.raw" 1600x1200 option-scale-2
[ "$window_seen" = "1600x1200+0+0" ] || fail "--scale 2: the window was $window_seen"
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "--scale 2: exit $demo_status"; }
all_black "$scratch/scaled.raw" && fail "--scale 2: the picture is black"
# Every pixel of the picture is a 2 x 2 block of one colour: the frame doubled,
# not filtered (sampled on a grid of rows and columns across the window).
for y in 0 37 150 299 300 451 599; do
  for x in 0 41 200 399 400 613 799; do
    a="$(pixel "$scratch/scaled.raw" 1600 $((2 * x)) $((2 * y)))"
    for d in "1 0" "0 1" "1 1"; do
      b="$(pixel "$scratch/scaled.raw" 1600 $((2 * x + ${d% *})) $((2 * y + ${d#* })))"
      [ "$a" = "$b" ] || fail "--scale 2: the block of ($x, $y) holds $a and $b"
    done
  done
done
echo "--scale 2: 1600 x 1200, every sampled pixel doubled"
