#!/usr/bin/env bash
# Renders one frame of each of the six scenes with the capture tool and tiles them
# into a contact sheet: OUTDIR/scene-N-NAME.png and OUTDIR/contact-sheet.png.
#   bash scripts/preview.sh [OUTDIR] [BUILD_DIR]
# OUTDIR defaults to BUILD_DIR/preview; BUILD_DIR to build/. The demo runs in
# BUILD_DIR/data at 60 fps, so each frame is the one the viewer sees at that time;
# VANTREL_PREVIEW_FPS sets another rate (a quicker look: the same moments, with
# the scenes' motion stepped at that rate).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build}"
out="${1:-$build/preview}"
capture="$build/vantrel-capture"
data="$build/data"
[ -x "$capture" ] || { echo "preview: $capture is not built (bash scripts/build.sh)" >&2; exit 1; }
[ -d "$data" ] || { echo "preview: no asset pack in $data" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "preview: the contact sheet needs ffmpeg" >&2; exit 1; }

# One moment of each scene, clear of its fades: demo seconds and a name.
times=(9 18.5 95 145 171 180)
names=(titles fire tower flythrough greetings spheres)
sheet_cell="400:300"  # each frame at half size, three across and two down

mkdir -p "$out"
frames="$(mktemp -d)"
trap 'rm -rf "$frames"' EXIT
list="$(IFS=,; echo "${times[*]}")"
"$capture" --data "$data" --fps "${VANTREL_PREVIEW_FPS:-60}" --at "$list" --frames "$frames" --quiet >"$frames/written.txt"
mapfile -t written < <(cut -f1 "$frames/written.txt")
[ "${#written[@]}" -eq "${#times[@]}" ] ||
  { echo "preview: the capture wrote ${#written[@]} frames, not ${#times[@]}" >&2; exit 1; }

inputs=()
for i in "${!names[@]}"; do
  target="$out/scene-$((i + 1))-${names[$i]}.png"
  mv "${written[$i]}" "$target"
  echo "$target	${times[$i]}"
  inputs+=(-i "$target")
done
cells=""
for i in "${!names[@]}"; do cells+="[$i:v]scale=$sheet_cell[c$i];"; done
ffmpeg -loglevel error -y "${inputs[@]}" -filter_complex \
  "${cells}[c0][c1][c2]hstack=3[top];[c3][c4][c5]hstack=3[bottom];[top][bottom]vstack=2" \
  -frames:v 1 "$out/contact-sheet.png"
echo "$out/contact-sheet.png"
