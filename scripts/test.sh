#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless under
# its own Xvfb: the normal build in build/, then the sanitizer build in build-asan/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
jobs="$(nproc)"
bash "$root/scripts/with-xvfb.sh" ctest --test-dir "$root/build" --output-on-failure -j"$jobs"
