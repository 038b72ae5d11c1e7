# Shared by the capture script tests (sourced, not a test itself): the tool, a
# scratch folder removed at exit, the data folder to run in, and helpers.
set -u
build="$1"
capture="$build/vantrel-capture"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
[ -x "$capture" ] || { echo "FAIL: $capture was not built"; exit 1; }
# The generated asset pack when it is there; otherwise an empty folder, where the
# demo plays on empty textures and scenes.
data="$build/data"
if [ -z "$(ls -A "$data/maps" 2>/dev/null)" ]; then
  data="$scratch/empty-data"
  mkdir -p "$data"
fi

# Under the sanitizer build, the allocations that SDL's D-Bus connection and the
# GL driver hold at exit are reported as leaks of the whole tool; leaks of our
# own code are looked for by the GoogleTest suites. An ASAN_OPTIONS of the
# caller wins.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

fail() { echo "FAIL: $*"; exit 1; }

# Duration in seconds of one stream of a media file: file v|a.
stream_duration() {
  ffprobe -v error -select_streams "$2" -show_entries stream=duration -of csv=p=0 "$1"
}
