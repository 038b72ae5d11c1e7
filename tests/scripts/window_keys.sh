#!/usr/bin/env bash
# The viewer's keys through the X server, on a 1024 x 768 screen where the
# display cannot switch to 800 x 600, so the question comes first:
#   - No: "Program Will Now Close." and a non-zero exit, no window;
#   - Yes: an 800 x 600 window;
#   - Right held seeks the music forward and Left held back to its start, heard
#     through SDL's disk audio driver: after the release the samples are those of
#     a later point of the soundtrack than where the key was pressed, or of the start;
#   - the picture moves; Down stops it (two screenshots a second apart are the
#     same), Up starts it again; minimised (the window manager's hidden state)
#     nothing is drawn, restored it moves;
#   - Space, pressed six times, skips the six scenes to the end: exit 0.
source "$(dirname "$0")/window_common.bash"
for tool in ffmpeg xprop cmp od; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done
BYTES_PER_SECOND=176400  # what the device plays: 44100 frames of 16-bit stereo
NEEDLE_BYTES=256         # samples compared to find a point of the soundtrack
MIN_FORWARD_TENTHS=5     # tenths of a second Right must move the music on: one step (0.57 s), as the
                         # first press alone gives; a busy X server may turn the rest of the hold into
                         # fewer repeats than were sent
start_xvfb 1024x768x24

# No to the question.
start_demo
watch_demo Escape "$LIMIT"
[ "${boxes_seen[*]:-}" = "Orlund GL ERROR" ] || { show_demo_log; fail "boxes seen after No: ${boxes_seen[*]:-none}"; }
grep -qx "ERROR: Program Will Now Close." "$scratch/demo.log" || fail "no \"Program Will Now Close.\" on stderr"
[ -z "$window_seen" ] || fail "No still showed a window: $window_seen"
[ "$demo_status" -ne 0 ] || fail "No ended with exit 0"
echo "No: Program Will Now Close., exit $demo_status"

# Yes, with the music heard into a file.
heard="$scratch/heard.raw"
export SDL_DISKAUDIOFILE="$heard"
DEMO_AUDIO_DRIVER=disk
start_demo
wait_for_window "$LIMIT"
[ "${boxes_seen[*]:-}" = "Orlund GL" ] || fail "boxes seen: ${boxes_seen[*]:-none}"
[ "${window_seen%%+*}" = 800x600 ] || fail "Yes gave a window of $window_seen"
area="$window_seen"

# still_for_a_second NAME: whether the window's picture stays the same for a second.
still_for_a_second() {
  screenshot "$scratch/$1-a.raw" "$area"
  sleep 1
  screenshot "$scratch/$1-b.raw" "$area"
  cmp -s "$scratch/$1-a.raw" "$scratch/$1-b.raw"
}
heard_bytes() { stat -c %s "$heard"; }
# first_sound_after OFFSET: the first byte offset at or after OFFSET that is
# not silence; OFFSET - 1 when there is none yet.
first_sound_after() { echo $(($1 + $(cmp -i "$1:0" "$heard" /dev/zero 2>/dev/null | sed -n 's/.*byte \([0-9]*\).*/\1/p') - 1)); }
# needle OFFSET: NEEDLE_BYTES of what was heard from OFFSET, as hex.
needle() { od -An -v -tx1 -j "$1" -N "$NEEDLE_BYTES" "$heard" | tr -d ' \n'; }
# where_heard NEEDLE FROM: the first byte offset at or after FROM where those samples were heard.
where_heard() {
  local at
  at="$(tail -c +$(($2 + 1)) "$heard" | od -An -v -tx1 | tr -d ' \n' | grep -ob "$1" | sed -n '1s/:.*//p' || true)"
  [ -n "$at" ] && [ $((at % 2)) -eq 0 ] && echo $(($2 + at / 2))
}

# hold KEY PRESSES: the key held down while the X server sends that many
# presses of it (the first and its repeats, as auto-repeat does), then released.
hold() {
  local i
  for ((i = 0; i < $2; i++)); do xdotool keydown "$1"; sleep 0.02; done
  xdotool keyup "$1"
}

# Right held for 8 presses (at most 4.5 s of music): silence while held, then a
# later point of the soundtrack.
song_start=-1
while [ "$song_start" -lt 0 ]; do
  [ $((SECONDS - demo_started)) -le "$LIMIT" ] || fail "no music heard"
  sleep 0.2
  song_start="$(first_sound_after 0)"
done
sleep 1
pressed="$(heard_bytes)"
hold Right 8
released="$(heard_bytes)"
# The music comes back once the demo has taken the release (on a busy machine,
# some time after it was sent): half a second after that, as heard.
resumed_at=$((released - 1))
while [ "$resumed_at" -lt "$released" ] || [ "$(heard_bytes)" -lt $((resumed_at + BYTES_PER_SECOND)) ]; do
  [ $((SECONDS - demo_started)) -le "$LIMIT" ] || fail "the music did not come back after Right"
  sleep 0.2
  resumed_at="$(first_sound_after "$released")"
done
forward="$(needle $((resumed_at + BYTES_PER_SECOND / 2)))"
# Left held for 50 steps, back past the start: the soundtrack from its start again.
hold Left 50
left_released="$(heard_bytes)"
# Half a second into the soundtrack, as first heard: where it is heard again.
anchor=$((song_start + BYTES_PER_SECOND / 2))
again=""
while [ -z "$again" ] && [ "$(heard_bytes)" -lt $((left_released + 2 * BYTES_PER_SECOND)) ]; do
  [ $((SECONDS - demo_started)) -le "$LIMIT" ] || fail "the music stopped"
  sleep 0.5
  again="$(where_heard "$(needle "$anchor")" "$left_released")"
done
[ -n "$again" ] || fail "after Left the music does not start again from its beginning"
# Once the restarted soundtrack has passed the point Right jumped to (at most
# its press, the steps, the hold and a margin), that point is looked for in it.
while [ "$(heard_bytes)" -lt $((again + (pressed - anchor) + 8 * BYTES_PER_SECOND)) ]; do
  [ $((SECONDS - demo_started)) -le "$LIMIT" ] || fail "the music stopped"
  sleep 0.5
done
found="$(where_heard "$forward" "$again")"
[ -n "$found" ] || fail "what was heard after Right is not heard again after the restart"
# Tenths of a second of soundtrack after the anchor: where Right was pressed
# and where it went on. Without a seek it would go on where it was; each step
# the demo took puts it 0.57 s further.
pressed_tenths=$((10 * (pressed - anchor) / BYTES_PER_SECOND))
forward_tenths=$((10 * (found - again) / BYTES_PER_SECOND))
echo "Right: pressed at ${pressed_tenths}/10 s of the soundtrack, went on at ${forward_tenths}/10 s"
[ "$((forward_tenths - pressed_tenths))" -ge "$MIN_FORWARD_TENTHS" ] || fail "Right did not seek forward"
echo "Left: the soundtrack from its start again"

still_for_a_second running && fail "the picture does not move"
xdotool key Down
sleep 0.3
still_for_a_second paused || fail "Down did not stop the picture"
xdotool key Up
sleep 0.3
still_for_a_second resumed && fail "Up did not start the picture again"
echo "Down: the picture stands still for a second; Up: it moves again"

xprop -id "$window_id" -f _NET_WM_STATE 32a -set _NET_WM_STATE _NET_WM_STATE_HIDDEN
sleep 0.3
still_for_a_second minimised || fail "minimised, the picture still changes"
xprop -id "$window_id" -f _NET_WM_STATE 32a -set _NET_WM_STATE _NET_WM_STATE_FOCUSED
sleep 0.3
still_for_a_second restored && fail "restored, the picture does not move"
echo "minimised: nothing drawn; restored: drawn again"

for _ in 1 2 3 4 5 6; do xdotool key space; sleep 0.5; done
watch_demo Return "$LIMIT"
[ "$demo_status" -eq 0 ] || { show_demo_log; fail "exit $demo_status after six Space presses"; }
[ "$demo_seconds" -lt "$LIMIT" ] || fail "six Space presses did not end the demo"
expect_every_box_shown
echo "Space x 6: the end after $demo_seconds s, exit 0"
