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
# The browser build and its test: Debian's Emscripten, Chromium to drive, and
# Debian's source of mpg123, which scripts/web.sh compiles to WebAssembly.
web_sources=/etc/apt/sources.list.d/vantrel-web-src.sources
need_sources=0
if [ "${VANTREL_WEB_DEPS:-0}" = 1 ]; then
  packages+=(emscripten chromium python3)
  [ -n "$(apt-cache showsrc mpg123 2>/dev/null)" ] || need_sources=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ "$need_sources" = 0 ] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  [ ${#missing[@]} -eq 0 ] || { echo "Missing packages. Run as root:" >&2; echo "  apt-get update && $line" >&2; }
  [ "$need_sources" = 0 ] || echo "No deb-src lines for Debian's sources: run this script as root to add $web_sources" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ "$need_sources" = 1 ]; then
  . /etc/os-release
  cat >"$web_sources" <<EOF_SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME $VERSION_CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $VERSION_CODENAME-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF_SOURCES
fi
apt-get update -qq
[ ${#missing[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${missing[@]}"
