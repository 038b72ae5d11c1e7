#!/usr/bin/env bash
# The whole demo in a real window on a 1024 x 768 screen, which cannot switch to
# 800 x 600: the fullscreen question comes up and is answered Yes, and the
# window "Vantrel by Skarvel" shows the whole demo at 800 x 600, which ends by
# itself with exit status 0 after about 192 s of real time.
source "$(dirname "$0")/window_common.bash"
start_xvfb 1024x768x24
start_demo
watch_demo Return 400
show_demo_log
echo "exit $demo_status after $demo_seconds s; boxes: ${boxes_seen[*]:-none}; window: ${window_seen:-none}"
expect_every_box_shown
[ "${boxes_seen[*]:-}" = "Orlund GL" ] || fail "boxes seen: ${boxes_seen[*]:-none}, not the one question"
[ "${window_seen%%+*}" = 800x600 ] || fail "the demo's window was ${window_seen:-never seen}"
[ "$demo_status" -eq 0 ] || fail "exit status $demo_status"
[ "$demo_seconds" -ge 185 ] && [ "$demo_seconds" -le 300 ] || fail "played for $demo_seconds s"
echo "the question, a framed 800 x 600 window, the whole demo, exit 0"
