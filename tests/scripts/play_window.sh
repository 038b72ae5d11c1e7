#!/usr/bin/env bash
# The demo in a real window under Xvfb: the display cannot switch to 800 x 600,
# so the fullscreen question comes up and is answered Yes; every other box is
# answered too. The window "Vantrel by Skarvel" shows the whole demo, which ends
# by itself with exit status 0 after about 192 s.
set -u
build="$1"
src="$2"
export DISPLAY="${DISPLAY:?needs an X display}"
data="$build/data"
[ -f "$data/Halvo.mp3" ] || data="$(mktemp -d)"
cd "$data"
start=$(date +%s)
"$build/vantrel" >/tmp/vantrel-play.$$ 2>&1 &
pid=$!
saw_question=0
saw_window=0
while kill -0 $pid 2>/dev/null; do
  for id in $(xwininfo -root -tree 2>/dev/null | awk '/"Orlund GL"|"Error"/ {print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q '"Orlund GL"' && saw_question=1
    xdotool windowfocus "$id" 2>/dev/null
    xdotool key Return 2>/dev/null
  done
  xwininfo -root -tree 2>/dev/null | grep -q '"Vantrel by Skarvel".* 800x600' && saw_window=1
  [ $(( $(date +%s) - start )) -gt 400 ] && { echo "FAIL: still running after 400 s"; kill $pid; exit 1; }
  sleep 0.5
done
wait $pid
rc=$?
elapsed=$(( $(date +%s) - start ))
cat /tmp/vantrel-play.$$; rm -f /tmp/vantrel-play.$$
echo "exit $rc after ${elapsed} s; question seen: $saw_question; 800x600 window seen: $saw_window"
[ "$rc" -eq 0 ] && [ "$saw_question" -eq 1 ] && [ "$saw_window" -eq 1 ] && [ "$elapsed" -ge 185 ] && [ "$elapsed" -le 300 ]
