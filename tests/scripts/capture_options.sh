#!/usr/bin/env bash
# Bad command lines, an unreadable --data and a missing ffmpeg: one clear line
# on stderr and exit 2, before any window opens. No output option: the usage.
source "$(dirname "$0")/capture_common.bash"
touch "$scratch/plain-file"
mkdir -p "$scratch/locked"
chmod 000 "$scratch/locked"
# arguments | a word the message must hold
cases=(
  "--fps 0 --frames $scratch/o|--fps"
  "--fps 7x --frames $scratch/o|--fps"
  "--fps 13 --frames $scratch/o|divides"
  "--fps|needs a value"
  "--from -1 --frames $scratch/o|--from"
  "--to abc --frames $scratch/o|--to"
  "--from 3 --to 2 --frames $scratch/o|no frame"
  "--to 0 --frames $scratch/o|no frame"
  "--at 1,,2 --frames $scratch/o|--at"
  "--at 1e9 --frames $scratch/o|--at"
  "--bogus --frames $scratch/o|unknown option"
  "--quiet=1 --bench|takes no value"
  "--bench --frames $scratch/o|--bench"
  "--at 1 --video $scratch/o.mp4|--at"
  "--at 1 --from 0 --frames $scratch/o|--at"
  "--data $scratch/missing --frames $scratch/o|--data"
  "--data $scratch/plain-file --frames $scratch/o|not a folder"
  "--frames $scratch/plain-file/sub|--frames"
  "--video $scratch/missing/out.mp4|--video"
)
if [ "$(id -u)" -ne 0 ]; then cases+=("--data $scratch/locked --frames $scratch/o|--data"); fi
for entry in "${cases[@]}"; do
  args="${entry%|*}"
  word="${entry##*|}"
  # shellcheck disable=SC2086
  err="$(timeout 20 "$capture" $args 2>&1 >/dev/null)"
  rc=$?
  [ "$rc" -eq 2 ] || fail "'$args': exit $rc, expected 2 ($err)"
  [ "$(printf '%s\n' "$err" | grep -c .)" -eq 1 ] || fail "'$args': stderr is not one line: $err"
  printf '%s' "$err" | grep -q -- "$word" || fail "'$args': message lacks '$word': $err"
done
[ ! -e "$scratch/o" ] || fail "a failed command line created its --frames folder"
# Without ffmpeg on PATH, --video is refused the same way.
err="$(PATH=/nonexistent "$capture" --video "$scratch/v.mp4" 2>&1 >/dev/null)"
rc=$?
[ "$rc" -eq 2 ] && printf '%s' "$err" | grep -q ffmpeg || fail "no ffmpeg: exit $rc: $err"
# No output option: the usage on stderr, exit 2; --help: the usage on stdout, exit 0.
err="$("$capture" --fps 10 2>&1 >/dev/null)"
rc=$?
[ "$rc" -eq 2 ] && printf '%s' "$err" | grep -q "^usage: vantrel-capture" || fail "no mode: exit $rc: $err"
out="$("$capture" --help 2>/dev/null)"
rc=$?
[ "$rc" -eq 0 ] && printf '%s' "$out" | grep -q -- "--video FILE.mp4" || fail "--help: exit $rc: $out"
echo "options: ${#cases[@]} bad command lines refused with exit 2 and one line"
