#!/usr/bin/env bash
# The command line without a display: --help, a bad option (one line, exit 2),
# and where the pack is looked for, which is settled before any window: with no
# pack anywhere one line names every folder looked in; found beside the program,
# the demo goes on to open its window (and says there is no display).
set -u
build="$(cd "$1" && pwd)"
fail() { echo "FAIL: $*"; exit 1; }
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/empty" "$dir/lonely"
cp "$build/vantrel" "$dir/lonely/vantrel"

# run DIR ARGS...: runs the demo in DIR with no display; sets out, err and rc.
run() {
  local where="$1"
  shift
  out="$(cd "$where" && DISPLAY="" WAYLAND_DISPLAY="" timeout 20 "$@" 2>"$dir/err")"
  rc=$?
  err="$(cat "$dir/err")"
}
lines() { printf '%s' "$1" | grep -c .; }

run "$dir/empty" "$build/vantrel" --help
[ "$rc" -eq 0 ] || fail "--help: exit $rc"
for option in --windowed --fullscreen --scale --data; do
  printf '%s' "$out" | grep -q -- "$option" || fail "--help does not tell of $option"
done

for bad in --bogus "--scale 0" "--scale" "--windowed --fullscreen" "--data"; do
  run "$dir/empty" "$build/vantrel" $bad
  [ "$rc" -eq 2 ] || fail "'$bad': exit $rc"
  [ "$(lines "$err")" -eq 1 ] || fail "'$bad': stderr was: $err"
  [ -z "$out" ] || fail "'$bad': stdout was: $out"
done

run "$dir/empty" "$dir/lonely/vantrel"
[ "$rc" -ne 0 ] && [ "$(lines "$err")" -eq 1 ] || fail "no pack: exit $rc, stderr: $err"
printf '%s' "$err" | grep -qF "no asset pack" && printf '%s' "$err" | grep -qF "$dir/empty, $dir/lonely/data, $dir/lonely/../share/vantrel" ||
  fail "no pack: stderr does not name where it looked: $err"
run "$dir/lonely" "$dir/lonely/vantrel" --data "$dir/empty"
printf '%s' "$err" | grep -qF "in $dir/empty" || fail "--data without a pack: $err"

run "$dir/empty" "$build/vantrel"
printf '%s' "$err" | grep -q "display" && ! printf '%s' "$err" | grep -q "asset pack" ||
  fail "the pack beside the program was not found: $err"
run "$dir/empty" "$dir/lonely/vantrel" --data "$build/data"
printf '%s' "$err" | grep -q "display" || fail "--data with the pack: $err"
echo "--help, bad options (exit 2, one line), no pack (named folders), the pack beside the program and by --data"
