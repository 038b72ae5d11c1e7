# Shared by the capture script tests (sourced, not a test itself): the tool, a
# scratch folder removed at exit, the data folder to run in, and helpers.
set -u
build="$1"
capture="$build/vantrel-capture"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
[ -x "$capture" ] || fail "$capture was not built"
# The asset pack the build generated: the build always makes it.
data="$build/data"
[ -f "$data/Halvo.mp3" ] && [ -n "$(ls -A "$data/maps" 2>/dev/null)" ] || fail "no asset pack in $data"

# Duration in seconds of one stream of a media file: file v|a.
stream_duration() {
  ffprobe -v error -select_streams "$2" -show_entries stream=duration -of csv=p=0 "$1"
}

# Runs the capture with the given arguments, its stdout into $scratch/out;
# fails the test with the end of its stderr when it exits with an error.
capture_or_fail() {
  "$capture" --quiet "$@" >"$scratch/out" 2>"$scratch/err" || fail "capture $* exit $?: $(tail -3 "$scratch/err")"
}
