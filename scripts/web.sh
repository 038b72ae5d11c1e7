#!/usr/bin/env bash
# Builds the browser version into build-web/ (index.html, index.js, index.wasm,
# index.data) and serves it on http://127.0.0.1:8080/ until Ctrl-C.
#   --build-only   build and exit
# Needs Debian's emscripten (VANTREL_WEB_DEPS=1 bash scripts/install-deps.sh
# installs it) and the pack in build/data (scripts/build.sh makes it; this
# script builds just the pack where it is missing). libmpg123 is compiled to
# WebAssembly from Debian's source package, fetched once into build-web/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-web"
port="${VANTREL_WEB_PORT:-8080}"
build_only=0
for arg in "$@"; do
  case "$arg" in
    --build-only) build_only=1 ;;
    *) echo "web.sh: unknown option '$arg' (--build-only builds and exits)" >&2; exit 2 ;;
  esac
done

if ! command -v emcc >/dev/null; then
  echo "web.sh: no emcc; run: VANTREL_WEB_DEPS=1 bash scripts/install-deps.sh" >&2
  exit 1
fi
# Debian's node finds the compiler's JavaScript modules (acorn) in /usr/share/nodejs
# by itself; another node on PATH needs to be told.
[ -d /usr/share/nodejs ] && export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
data="${VANTREL_WEB_DATA:-$root/build/data}"
jobs=$(( $(nproc) < 2 ? 1 : 2 ))
mkdir -p "$out"

# The pack, generated natively.
if [ ! -f "$data/Halvo.mp3" ] && [ -z "${VANTREL_WEB_DATA:-}" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" --target vantrel-pack -j"$jobs"
fi

# libmpg123 for WebAssembly, from the source package of the version Debian ships.
mpg123="$out/mpg123"
if [ ! -f "$mpg123/inst/lib/libmpg123.a" ]; then
  mkdir -p "$mpg123"
  (
    cd "$mpg123"
    if ! ls mpg123_*.dsc >/dev/null 2>&1; then
      # The upstream signature file is not in Debian's pool, so apt-get reports one
      # failed fetch; the .dsc and the tarball are what is used, and the tarball is
      # checked against the .dsc below.
      apt-get source --download-only -qq mpg123 2>&1 | grep -v '\.asc\|Failed to fetch some\|unsandboxed' || true
    fi
    dsc="$(ls mpg123_*.dsc 2>/dev/null | head -1)"
    tarball="$(ls mpg123_*.orig.tar.bz2 2>/dev/null | head -1)"
    if [ -z "$dsc" ] || [ -z "$tarball" ]; then
      echo "web.sh: could not fetch Debian's mpg123 source (deb-src lines: VANTREL_WEB_DEPS=1 bash scripts/install-deps.sh)" >&2
      exit 1
    fi
    want="$(awk '/^Checksums-Sha256:/{on=1;next} /^[^ ]/{on=0} on && $3=="'"$tarball"'"{print $1}' "$dsc")"
    have="$(sha256sum "$tarball" | cut -d' ' -f1)"
    if [ -z "$want" ] || [ "$want" != "$have" ]; then
      echo "web.sh: $tarball does not match the checksum in $dsc" >&2
      exit 1
    fi
    rm -rf src obj && mkdir src obj
    tar xjf "$tarball" -C src --strip-components=1
    cd obj
    # The portable C decoder (no assembly), only the library, no output modules.
    emconfigure ../src/configure --host=wasm32-unknown-linux-gnu --with-cpu=generic_fpu \
      --disable-shared --enable-static --disable-network --disable-ipv6 --disable-modules \
      --with-audio=dummy --with-default-audio=dummy --prefix="$mpg123/inst" >configure.log 2>&1 ||
      { tail -20 configure.log >&2; exit 1; }
    emmake make -j"$jobs" src/libmpg123/libmpg123.la >make.log 2>&1 || { tail -20 make.log >&2; exit 1; }
    mkdir -p "$mpg123/inst/lib" "$mpg123/inst/include"
    cp src/libmpg123/.libs/libmpg123.a "$mpg123/inst/lib/"
    cp src/libmpg123/mpg123.h ../src/src/libmpg123/fmt123.h "$mpg123/inst/include/"
  )
fi

# The emscripten cache holds Debian's prebuilt system libraries and is frozen:
# nothing is built into it or downloaded at build time.
emcmake cmake -S "$root" -B "$out/cmake" -DCMAKE_BUILD_TYPE=Release -DVANTREL_WERROR="${VANTREL_WERROR:-0}" \
  -DVANTREL_MPG123_PREFIX="$mpg123/inst" -DVANTREL_WEB_DATA="$data" >/dev/null
cmake --build "$out/cmake" -j"$jobs"
for f in index.html index.js index.wasm index.data; do cp "$out/cmake/platform/web/$f" "$out/$f"; done
echo "web.sh: built $out (index.wasm $(stat -c %s "$out/index.wasm") bytes, index.data $(stat -c %s "$out/index.data") bytes)"

[ "$build_only" = 1 ] && exit 0
echo "web.sh: serving $out on http://127.0.0.1:$port/ (Ctrl-C stops)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$out"
