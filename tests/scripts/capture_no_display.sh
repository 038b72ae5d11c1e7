#!/usr/bin/env bash
# Without an X display (none set, or one that does not answer) the tool starts
# its own Xvfb, captures as usual and leaves no Xvfb running behind it.
source "$(dirname "$0")/capture_common.bash"
command -v Xvfb >/dev/null || fail "Xvfb is not installed"
for display in "" ":77"; do
  before="$(pgrep -c -f '^Xvfb -displayfd' || true)"
  out="$(DISPLAY="$display" timeout 60 "$capture" --data "$data" --fps 10 --at 0.5 --frames "$scratch/d$display" --quiet \
    2>"$scratch/err")" || fail "DISPLAY='$display': exit $?: $(tail -3 "$scratch/err")"
  [ "$out" = "$scratch/d$display/frame-000005.png	0.500000" ] || fail "DISPLAY='$display': stdout was: $out"
  [ -s "$scratch/d$display/frame-000005.png" ] || fail "DISPLAY='$display': no PNG"
  sleep 0.5
  after="$(pgrep -c -f '^Xvfb -displayfd' || true)"
  [ "$after" -le "$before" ] || fail "DISPLAY='$display': a private Xvfb is still running"
done
echo "no display: the tool ran under its own Xvfb"
