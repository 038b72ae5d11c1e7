#!/usr/bin/env bash
# The real layer's window as the viewer and the window manager meet it, on an
# 800 x 600 screen (the fullscreen path, no question):
#   - without sound output the "Error" box is owned by the demo's window
#     (WM_TRANSIENT_FOR), so the fullscreen window cannot hide it;
#   - the window's class is "OpenGL" (WM_CLASS, found by xdotool search --class);
#   - Escape, and closing the window as a window manager does, end it with exit 0;
#   - a pixel format the display does not have is shown in its "ERROR" box after
#     the window and the video system have gone, and on stderr, with a non-zero exit.
source "$(dirname "$0")/window_common.bash"
close_window="$build/tests/close-window"
[ -x "$close_window" ] || fail "$close_window was not built"
for tool in xprop ffmpeg; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done
start_xvfb 800x600x24


box_owner=""
note_owner() { box_owner="$(xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # \(0x[0-9a-f]*\).*/\1/p')"; }

# 1. No sound output: the box comes up over the window it belongs to.
DEMO_AUDIO_DRIVER=no-such-driver
BOX_HOOK=note_owner
start_demo
wait_for_window "$LIMIT"
while [ "${#boxes_seen[@]}" -eq 0 ] && [ $((SECONDS - demo_started)) -le "$LIMIT" ]; do sleep "$WATCH_INTERVAL"; look Return; done
BOX_HOOK=""
unset DEMO_AUDIO_DRIVER
[ "${boxes_seen[*]:-}" = "Error" ] || { show_demo_log; fail "boxes seen: ${boxes_seen[*]:-none}, not the sound error"; }
grep -q "^Error: Can't initialize digital sound system" "$scratch/demo.log" || fail "the box's text is not on stderr"
[ "$((box_owner))" -eq "$((window_id))" ] || fail "the box belongs to ${box_owner:-no window}, not the demo's $window_id"
class="$(xprop -id "$window_id" WM_CLASS)"
[ "$class" = 'WM_CLASS(STRING) = "OpenGL", "OpenGL"' ] || fail "window class: $class"
xdotool search --class '^OpenGL$' | grep -qx "$((window_id))" || fail "xdotool search --class OpenGL does not find the window"
# The box had the focus; the key goes to the demo's window.
focus_window "$window_id"
xdotool key Escape
watch_demo Return "$LIMIT"
expect_every_box_shown
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "exit status $demo_status after Escape"; }
echo "sound error box owned by $window_id, class OpenGL, Escape: exit 0 after $demo_seconds s"

# 2. Closed as a window manager closes it.
start_demo
wait_for_window "$LIMIT"
"$close_window" "$window_id" || fail "could not ask the window to close"
watch_demo Return "$LIMIT"
expect_every_box_shown
[ "${boxes_seen[*]:-}" = "" ] || fail "boxes came up: ${boxes_seen[*]}"
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "exit status $demo_status after closing"; }
echo "closed: exit 0 after $demo_seconds s"

# 3. No visual of the format: the box still reaches the viewer.
export SDL_VIDEO_X11_WINDOW_VISUALID=0x7fffffff  # a visual no X server has
start_demo
watch_demo Return "$LIMIT"
unset SDL_VIDEO_X11_WINDOW_VISUALID
expect_every_box_shown
[ "${boxes_seen[*]:-}" = "ERROR" ] || { show_demo_log; fail "boxes seen: ${boxes_seen[*]:-none}"; }
grep -qx "ERROR: Can't Find A Suitable PixelFormat." "$scratch/demo.log" || { show_demo_log; fail "not on stderr"; }
[ -z "$window_seen" ] || fail "a window was shown: $window_seen"
[ "$demo_status" -ne 0 ] || fail "exit status 0 after a start-up failure"
echo "pixel format failure: the ERROR box shown, on stderr, exit $demo_status"
