#!/usr/bin/env bash
# Ctrl-C during a --video capture finishes the video written so far, with sound
# as long as the picture, names it on stdout and exits non-zero.
source "$(dirname "$0")/capture_common.bash"
video_runs_without_leak_check
file="$scratch/cut.mp4"
"$capture" --data "$data" --fps 10 --video "$file" --quiet >"$scratch/out" 2>"$scratch/err" &
pid=$!
for _ in $(seq 300); do [ -e "$file.part" ] && break; sleep 0.1; done
[ -e "$file.part" ] || { kill $pid; fail "the capture did not start writing in 30 s"; }
sleep 1
kill -INT $pid
wait $pid
rc=$?
[ "$rc" -ne 0 ] || fail "exit status 0 after Ctrl-C"
[ -f "$file" ] || fail "no video after Ctrl-C (exit $rc): $(tail -3 "$scratch/err")"
[ ! -e "$file.part" ] || fail "the partial file was left behind"
grep -q "interrupted" "$scratch/err" || fail "stderr does not say it was interrupted"
end="$(cut -f3 "$scratch/out")"
video="$(stream_duration "$file" v)"
audio="$(stream_duration "$file" a)"
[ "$video" = "$end" ] || fail "video lasts $video s, stdout says it ends at $end"
[ "$audio" = "$video" ] || fail "sound lasts $audio s, video $video s"
echo "interrupt: exit $rc, $video s of video and sound"
