#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, where
# they are missing. As root it runs apt-get; otherwise it prints the line to run.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri freeglut3-dev
  libmpg123-dev libmp3lame-dev libebur128-dev libstb-dev fonts-dejavu-core
  libgtest-dev libbenchmark-dev
  xvfb xauth x11-utils xfonts-base xdotool ffmpeg
  locales
)
if [ "${VANTREL_FUZZ_DEPS:-0}" = 1 ]; then packages+=(clang-14 libclang-rt-14-dev); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && $line" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
