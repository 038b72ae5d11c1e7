#!/usr/bin/env bash
# Installs what is missing, builds, and plays the demo in the generated asset pack.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
cd "$root/build/data"
exec ../vantrel
