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

# video_runs_without_leak_check: under the sanitizers the video runs go without the leak check (address and
# undefined-behaviour checks stay on): at the exit of a run whose frame writer
# thread fed ffmpeg, LeakSanitizer's own tracer now and then dies reading a
# thread's dynamic TLS ("DTLS 11 at 0xb10-0x1800001c12", "Tracer caught signal
# 11"), a fault of the checker with this C library, not a leak. The other
# capture tests, PNG frames through the same writer included, keep the check.
video_runs_without_leak_check() { [ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"; }
