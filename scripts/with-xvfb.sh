#!/usr/bin/env bash
# Runs a command with an X display: the one in DISPLAY if it answers, otherwise
# a private Xvfb started for the command and stopped after it.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then exec "$@"; fi
for n in $(seq 90 140); do
  [ -e "/tmp/.X${n}-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    trap 'kill $pid 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    "$@"
    exit $?
  fi
done
echo "with-xvfb: could not start Xvfb" >&2
exit 1
