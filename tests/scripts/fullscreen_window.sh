#!/usr/bin/env bash
# On an 800 x 600 screen the display mode the demo asks for is there: no
# question comes, the demo's window covers the whole screen, and Space pressed
# once a second skips the six scenes, after which the demo exits with status 0.
source "$(dirname "$0")/window_common.bash"
start_xvfb 800x600x24
start_demo
skips=0
skip_scene() {
  [ -n "$window_seen" ] || return 0
  # one Space a second: each skips the scene that is playing
  if [ $((SECONDS - demo_started)) -gt "$skips" ]; then xdotool key space 2>/dev/null; skips=$((skips + 1)); fi
}
watch_demo Return 60 skip_scene
show_demo_log
echo "exit $demo_status after $demo_seconds s and $skips Space presses; boxes: ${boxes_seen[*]:-none}; window: ${window_seen:-none}"
expect_every_box_shown
[ -z "${boxes_seen[*]:-}" ] || fail "boxes came up: ${boxes_seen[*]}"
[ "$window_seen" = "800x600+0+0" ] || fail "the demo's window was ${window_seen:-never seen}, not the whole screen"
[ "$demo_status" -eq 0 ] || fail "exit status $demo_status"
[ "$demo_seconds" -lt 60 ] || fail "the six Space presses did not end the demo"
echo "no question, the whole 800 x 600 screen, Space through the scenes, exit 0"
