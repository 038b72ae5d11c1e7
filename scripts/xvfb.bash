# Sourced by scripts and script tests: a private Xvfb for this shell, and
# commands to run when the shell exits.
#
#   start_xvfb [WIDTHxHEIGHTxDEPTH]   starts an Xvfb with one screen of that size
#                                     (default 1024x768x24), waits until it accepts
#                                     clients and exports DISPLAY; it is stopped at exit
#   on_exit COMMAND                   runs COMMAND when the shell exits (last added first)
#
# Xvfb picks a free display number itself and reports it on a file descriptor
# once it listens (-displayfd), so no display is guessed and none is used before
# it is ready. -noreset keeps it from resetting whenever its last client leaves:
# a reset refuses the connections that arrive while it runs, and tests connect
# and disconnect one after the other.

XVFB_START_SECONDS=30  # how long Xvfb may take to report its display
_exit_commands=()

_run_exit_commands() {
  local i
  for ((i = ${#_exit_commands[@]} - 1; i >= 0; i--)); do eval "${_exit_commands[$i]}" || true; done
}

on_exit() {
  _exit_commands+=("$1")
  trap _run_exit_commands EXIT
}

start_xvfb() {
  local screen="${1:-1024x768x24}" report pid number=""
  command -v Xvfb >/dev/null || { echo "start_xvfb: Xvfb is not installed" >&2; return 1; }
  report="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$report" >/dev/null 2>&1 &
  pid=$!
  on_exit "kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -f '$report'"
  local deadline=$((SECONDS + XVFB_START_SECONDS))
  while [ "$SECONDS" -lt "$deadline" ]; do
    # The number is written with its newline in one go, once the server listens.
    if [ "$(wc -l <"$report")" -ge 1 ]; then number="$(head -n1 "$report")"; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  case "$number" in
    '' | *[!0-9]*)
      echo "start_xvfb: Xvfb ($screen) did not report a display" >&2
      return 1
      ;;
  esac
  export DISPLAY=":$number"
  XVFB_PID=$pid
}
