#!/usr/bin/env bash
# Runs a command under a private Xvfb started for it and stopped after it, so
# that what the command sees never depends on the display of the shell it was
# started from. VANTREL_XVFB_SCREEN sets the screen (default 1024x768x24).
set -euo pipefail
source "$(dirname "$0")/xvfb.bash"
start_xvfb "${VANTREL_XVFB_SCREEN:-1024x768x24}"
set +e
"$@"
exit $?
