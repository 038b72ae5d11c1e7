#!/usr/bin/env bash
# The PNG at t = 0.5 s of the titles is upright: the presents title lies in the
# upper half of the picture. The backdrop and the star trails are bright too (the
# fire glow at the bottom outshines the title), so the title is found as the
# difference from a second capture of the same frame in which its image is
# black: everything else in the two frames is the same, frame for frame.
source "$(dirname "$0")/capture_common.bash"
pack="$data"
[ -f "$pack/maps/skarvel_presents.tga" ] || fail "$pack/maps/skarvel_presents.tga is absent"
blank="$scratch/blank-title"
mkdir -p "$blank/maps" "$blank/models"
for f in "$pack"/maps/* "$pack"/models/*; do ln -s "$f" "$blank/${f#"$pack"/}"; done
[ -f "$pack/Halvo.mp3" ] && ln -s "$pack/Halvo.mp3" "$blank/Halvo.mp3"
# A 4 x 4 black 24-bit TGA in place of the title: added with GL_ONE, it adds nothing.
rm "$blank/maps/skarvel_presents.tga"
{ printf '\0\0\2\0\0\0\0\0\0\0\0\0\4\0\4\0\30\0'; head -c 48 /dev/zero; } >"$blank/maps/skarvel_presents.tga"
for run in pack blank; do
  dir="$pack"; [ "$run" = blank ] && dir="$blank"
  out="$("$capture" --data "$dir" --fps 10 --at 0.5 --frames "$scratch/$run" --quiet 2>"$scratch/err")" ||
    fail "$run: exit $?: $(tail -3 "$scratch/err")"
  [ -f "$scratch/$run/frame-000005.png" ] || fail "$run: no frame 5; stdout: $out"
done
# Mean difference (0..255, rounded up, so any difference counts) of the two
# frames' grey levels over a rectangle: width height x y.
difference() {
  ffmpeg -v error -i "$scratch/pack/frame-000005.png" -i "$scratch/blank/frame-000005.png" \
    -filter_complex "[0:v]format=gbrp[a];[1:v]format=gbrp[b];[a][b]blend=all_mode=difference,crop=$1:$2:$3:$4,format=gray" \
    -f rawvideo - | od -An -v -tu1 -w1 | awk '{ s += $1; n++ } END { printf "%d\n", n ? (s + n - 1) / n : -1 }'
}
upper=$(difference 800 300 0 0)
lower=$(difference 800 300 0 300)
[ "$upper" -ge 2 ] || fail "the title is not in the upper half (difference there $upper, lower half $lower)"
[ "$lower" -eq 0 ] || fail "the title reaches into the lower half (difference $lower; upper half $upper): upside down?"
# The brightest title row band is the name, above the word "presents".
top=$(difference 800 150 0 0)
[ "$top" -gt "$upper" ] || fail "the title is not in the top quarter (top $top, upper half $upper)"
echo "upright: the title differs by $upper in the upper half ($top in the top quarter), $lower in the lower half"
