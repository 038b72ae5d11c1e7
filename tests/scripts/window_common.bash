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
DEMO_TITLE="Vantrel by Skarvel"

fail() { echo "FAIL: $*"; exit 1; }

[ -x "$build/vantrel" ] || fail "$build/vantrel was not built"
[ -f "$build/data/Halvo.mp3" ] || fail "no asset pack in $build/data"
for tool in xwininfo xdotool; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done

scratch="$(mktemp -d)"
on_exit "rm -rf '$scratch'"

boxes_seen=()      # title of every box, in the order they came up
window_seen=""     # geometry of the demo's window (WIDTHxHEIGHT+X+Y) when first seen
demo_pid=0
demo_status=-1
demo_seconds=0

# start_demo [ARGS...]: starts the demo in the pack under the current DISPLAY.
# It runs at the lowest priority: its loop draws as fast as it can and would
# take a whole core from the tests beside it, while all that is checked here
# is that it shows its window and boxes and keeps to real time.
start_demo() {
  (cd "$build/data" && SDL_AUDIODRIVER=dummy exec nice -n 19 "$build/vantrel" "$@") >"$scratch/demo.log" 2>&1 &
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
# focused and answered with the key; the demo's window is noted.
declare -A answered=()
look() {
  local id title geometry
  while IFS=$'\t' read -r id title geometry; do
    if [ "$title" = "$DEMO_TITLE" ]; then
      [ -n "$window_seen" ] || window_seen="${geometry}"
      continue
    fi
    [ -n "${answered[$id]:-}" ] && continue
    answered[$id]=1
    boxes_seen+=("$title")
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

# The demo's output, for the log of a failing test.
show_demo_log() { sed 's/^/  demo: /' "$scratch/demo.log"; }

# Fails when the demo wrote that a box could not be shown (its answer was then
# made up, not the viewer's).
expect_every_box_shown() {
  ! grep -q "could not be shown" "$scratch/demo.log" || fail "a box could not be shown: $(grep 'could not be shown' "$scratch/demo.log")"
}
