#!/usr/bin/env bash
# Configures and builds into build/ at the repository root (the demo is build/vantrel,
# the asset pack build/data). Extra arguments go to CMake's configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# VANTREL_WERROR=1 makes every compiler warning an error (as CI builds).
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR="${VANTREL_WERROR:-0}" "$@" >/dev/null
cmake --build "$root/build" -j"$(nproc)"
