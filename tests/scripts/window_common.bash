# Shared by the tests of the demo in a real window (sourced, not a test itself).
# Each test starts its own Xvfb with the screen size it is about, runs the real
# binary in the asset pack with SDL's dummy audio driver (the music plays to no
# device at real pace, so no sound error box comes up) and watches the screen:
# message boxes by their title, answered with a key, and the demo's window.
set -u
build="$(cd "$1" && pwd)"
source "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/xvfb.bash"

SKIP=77                   # exit status of a test that cannot run here
WATCH_INTERVAL=0.2        # seconds between two looks at the screen
LIMIT=60                  # seconds a short run of the demo may take
DEMO_TITLE="Vantrel by Skarvel"

fail() { echo "FAIL: $*"; exit 1; }

[ -x "$build/vantrel" ] || fail "$build/vantrel was not built"
[ -f "$build/data/Halvo.mp3" ] || fail "no asset pack in $build/data"
for tool in xwininfo xdotool; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done

scratch="$(mktemp -d)"
on_exit "rm -rf '$scratch'"

boxes_seen=()      # title of every box, in the order they came up
declare -A answered=()  # "ID TITLE" of the boxes answered
window_seen=""     # geometry of the demo's window (WIDTHxHEIGHT+X+Y) when first seen
window_id=""       # its X window id
demo_pid=0
demo_status=-1
demo_seconds=0

# start_demo [ARGS...]: starts the demo in the pack under the current DISPLAY.
# It runs at the lowest priority: its loop draws as fast as it can and would
# take a whole core from the tests beside it, while all that is checked here
# is that it shows its window and boxes and keeps to real time.
# DEMO_AUDIO_DRIVER picks SDL's audio driver (dummy by default). Each start
# begins a new watch: no box and no window seen yet.
# DEMO_PROGRAM and DEMO_FOLDER run another copy of the demo from another folder.
start_demo() {
  boxes_seen=()
  answered=()
  window_seen=""
  window_id=""
  (cd "${DEMO_FOLDER:-$build/data}" &&
    SDL_AUDIODRIVER="${DEMO_AUDIO_DRIVER:-dummy}" exec nice -n 19 "${DEMO_PROGRAM:-$build/vantrel}" "$@") \
    >"$scratch/demo.log" 2>&1 &
  demo_pid=$!
  demo_started=$SECONDS
  on_exit "kill $demo_pid 2>/dev/null"
}

# Top-level windows with a name: "ID TITLE GEOMETRY" per line.
top_windows() {
  xwininfo -root -children 2>/dev/null |
    sed -n 's/^ *\(0x[0-9a-f]*\) "\(.*\)": ([^)]*) *\([0-9]*x[0-9]*+-\{0,1\}[0-9]*+-\{0,1\}[0-9]*\).*/\1\t\2\t\3/p'
}

# look ANSWER_KEY: one look at the screen. Every box not seen before is noted,
# handed to the command BOX_HOOK (ID TITLE) where one is set, focused and
# answered with the key; the demo's window is noted with its id.
look() {
  local id title geometry
  while IFS=$'\t' read -r id title geometry; do
    if [ "$title" = "$DEMO_TITLE" ]; then
      [ -n "$window_seen" ] || { window_seen="${geometry}"; window_id="$id"; }
      continue
    fi
    # A box that follows another may get the same id (a new connection of the
    # same client): a box is the id and the title.
    [ -n "${answered[$id $title]:-}" ] && continue
    answered[$id $title]=1
    boxes_seen+=("$title")
    [ -n "${BOX_HOOK:-}" ] && "$BOX_HOOK" "$id" "$title"
    xdotool windowfocus --sync "$id" 2>/dev/null
    xdotool key "$1" 2>/dev/null
  done < <(top_windows)
}

# watch_demo ANSWER_KEY LIMIT_SECONDS [EACH]: looks at the screen until the demo
# exits, answering boxes with the key; runs the command EACH after every look.
# Fails when the demo still runs after the limit.
watch_demo() {
  while kill -0 "$demo_pid" 2>/dev/null; do
    look "$1"
    [ -n "${3:-}" ] && eval "$3"
    [ $((SECONDS - demo_started)) -le "$2" ] || fail "still running after $2 s"
    sleep "$WATCH_INTERVAL"
  done
  wait "$demo_pid"
  demo_status=$?
  demo_seconds=$((SECONDS - demo_started))
}

# focus_window ID: gives the window the keyboard focus, trying again until the X
# server takes it. A window can be listed before it can take the focus (a
# fullscreen one is mapped after the mode change), and then xdotool fails on
# the server's BadMatch, so a key sent with it would reach no window.
focus_window() {
  until xdotool windowfocus --sync "$1" 2>/dev/null; do
    [ $((SECONDS - demo_started)) -le "$LIMIT" ] || fail "window $1 never took the focus"
    sleep "$WATCH_INTERVAL"
  done
}

# wait_for_picture moving|still MESSAGE: takes screenshots STILL_INTERVAL apart
# until the last two differ and the last is not black (moving), or are the same
# (still); fails with MESSAGE after the limit.
STILL_INTERVAL=0.5  # seconds
wait_for_picture() {
  screenshot "$scratch/picture-a.raw"
  while :; do
    sleep "$STILL_INTERVAL"
    screenshot "$scratch/picture-b.raw"
    if [ "$1" = still ]; then
      cmp -s "$scratch/picture-a.raw" "$scratch/picture-b.raw" && return
    elif ! cmp -s "$scratch/picture-a.raw" "$scratch/picture-b.raw" &&
      [ "$(tr -d '\0' <"$scratch/picture-b.raw" | wc -c)" -gt 0 ]; then
      return
    fi
    [ $((SECONDS - demo_started)) -le "$LIMIT" ] || fail "$2"
    mv "$scratch/picture-b.raw" "$scratch/picture-a.raw"
  done
}

# start_still_demo [ARGS...]: starts the demo, waits for its window and for the
# demo to play (the loading image stands still, and a pause taken before the
# first frame would hold a black one), pauses it with Down and waits until its
# picture stands still, so no swap changes it while it is looked at.
start_still_demo() {
  start_demo "$@"
  wait_for_window "$LIMIT"
  wait_for_picture moving "the picture did not move before Down"
  focus_window "$window_id"
  xdotool key Down
  wait_for_picture still "the picture did not stand still after Down"
}

# quit_demo: Escape, then waits for the exit (status in demo_status).
quit_demo() {
  focus_window "$window_id"
  xdotool key Escape
  watch_demo Return "$LIMIT"
}

# wait_for_window LIMIT_SECONDS: looks at the screen (answering boxes with
# Return) until the demo's window is there; fails after the limit or when the
# demo exits first.
wait_for_window() {
  while [ -z "$window_seen" ]; do
    kill -0 "$demo_pid" 2>/dev/null || { show_demo_log; fail "the demo exited before its window came"; }
    [ $((SECONDS - demo_started)) -le "$1" ] || fail "no window after $1 s"
    look Return
    [ -n "$window_seen" ] || sleep "$WATCH_INTERVAL"
  done
}

# screenshot FILE [WIDTHxHEIGHT+X+Y [POINTER]]: the screen (or that part of
# it) as raw RGB bytes, top row first; with POINTER 1 the mouse pointer is
# drawn in as the X server shows it.
screenshot() {
  local area="${2:-}" pointer="${3:-0}" offset=""
  local size="${area%%+*}"
  if [ -z "$area" ]; then
    size="$(xwininfo -root | sed -n 's/^ *-geometry \([0-9]*x[0-9]*\).*/\1/p')"
  else
    offset="+${area#*+}"
    offset="${offset/+/}"
    offset="+${offset/+/,}"
  fi
  ffmpeg -loglevel error -probesize 32 -analyzeduration 0 -framerate 1000 -f x11grab -draw_mouse "$pointer" -video_size "$size" \
    -i "$DISPLAY$offset" -frames:v 1 -f rawvideo -pix_fmt rgb24 -y "$1" </dev/null ||
    fail "no screenshot of $DISPLAY$offset"
}

# pixel FILE WIDTH X Y: "R G B" of one pixel of a raw RGB screenshot.
pixel() {
  od -An -tu1 -j $((($4 * $2 + $3) * 3)) -N3 "$1" | awk '{print $1, $2, $3}'
}

# keep_png RAW WIDTHxHEIGHT NAME: a screenshot kept as build/test-frames/NAME.png, for looking at.
keep_png() {
  mkdir -p "$build/test-frames"
  ffmpeg -loglevel error -f rawvideo -pix_fmt rgb24 -video_size "$2" -i "$1" -y "$build/test-frames/$3.png" </dev/null
}

# The demo's output, for the log of a failing test.
show_demo_log() { sed 's/^/  demo: /' "$scratch/demo.log"; }

# Fails when the demo wrote that a box could not be shown (its answer was then
# made up, not the viewer's).
expect_every_box_shown() {
  ! grep -q "could not be shown" "$scratch/demo.log" || fail "a box could not be shown: $(grep 'could not be shown' "$scratch/demo.log")"
}
