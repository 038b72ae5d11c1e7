#!/usr/bin/env bash
# Without a display the demo says so in one line and exits non-zero at once.
set -u
build="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
cd "$dir"
for display in "" ":77"; do
  err="$(DISPLAY="$display" timeout 20 "$build/vantrel" 2>&1 >/dev/null)"
  rc=$?
  if [ "$rc" -eq 0 ] || [ "$rc" -eq 124 ]; then echo "FAIL: DISPLAY='$display' exit $rc"; exit 1; fi
  lines="$(printf '%s\n' "$err" | grep -c .)"
  if [ "$lines" -ne 1 ] || ! printf '%s' "$err" | grep -q "display"; then
    echo "FAIL: DISPLAY='$display' stderr was: $err"; exit 1
  fi
done
echo "no display: one line, non-zero exit"
