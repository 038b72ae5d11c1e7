#!/usr/bin/env bash
# --video writes H.264 and AAC of the same length as the range: 2 s of demo time
# give 2 s of video (20 frames at 10 fps) and 2 s of sound, cut from the
# soundtrack at the range's samples. The soundtrack here is made by the test:
# silence for the first second, then a loud tone, so the cut shows in the sound.
source "$(dirname "$0")/capture_common.bash"
VIDEO_MIN_PSNR_DB=30  # per channel, the video's frames against the PNG files
video_runs_without_leak_check
music="$scratch/music"
mkdir -p "$music"
ffmpeg -v error -f lavfi -i "aevalsrc='if(lt(t,1),0,0.8*sin(2*PI*440*t))':s=44100:c=stereo:d=4" -c:a libmp3lame \
  "$music/Halvo.mp3" || fail "cannot make the test soundtrack"
loudness() {  # mean absolute sample of the first second of a file's sound
  ffmpeg -v error -i "$1" -t 0.9 -ac 1 -f s16le - | od -An -v -td2 -w2 |
    awk '{ s += ($1 < 0 ? -$1 : $1); n++ } END { printf "%d\n", n ? s / n : 0 }'
}
for range in "1 3" "0 2"; do
  set -- $range
  file="$scratch/from$1.mp4"
  out="$("$capture" --data "$music" --fps 10 --from "$1" --to "$2" --video "$file" --quiet 2>"$scratch/err")" ||
    fail "--from $1 exit $?: $(tail -3 "$scratch/err")"
  [ "$out" = "$file	$1.000000	$2.000000" ] || fail "stdout was: $out"
  [ ! -e "$file.part" ] || fail "the partial file was left behind"
  codecs="$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$file" | tr '\n' ' ')"
  [ "$codecs" = "h264 aac " ] || fail "streams: $codecs"
  frames="$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$file")"
  [ "$frames" -eq 20 ] || fail "$frames video frames, expected 20"
  video="$(stream_duration "$file" v)"
  audio="$(stream_duration "$file" a)"
  [ "$video" = "2.000000" ] || fail "video lasts $video s"
  [ "$audio" = "2.000000" ] || fail "sound lasts $audio s"
  level[$1]=$(loudness "$file")
done
[ "${level[1]}" -gt 5000 ] || fail "the video from 1 s starts quiet (${level[1]}): the sound is not cut at 1 s"
[ "${level[0]}" -lt 200 ] || fail "the video from 0 s starts loud (${level[0]}): the sound is not cut at 0 s"
# Without a soundtrack the sound is silence of the same length.
file="$scratch/silent.mp4"
mkdir -p "$scratch/nomusic"
"$capture" --data "$scratch/nomusic" --fps 10 --to 2 --video "$file" --quiet >/dev/null 2>"$scratch/err" ||
  fail "silent exit $?: $(tail -5 "$scratch/err")"
grep -q "silence" "$scratch/err" || fail "no word that the sound is silence: $(cat "$scratch/err")"
[ "$(stream_duration "$file" a)" = "2.000000" ] || fail "silent sound lasts $(stream_duration "$file" a) s"
# The picture is the frames' own, in their colours: the video of a stretch of
# the fire temple (orange flames, blue-grey stone) against the PNG files of the
# same frames. Lossy coding alone costs a few dB; colours converted with the
# wrong matrix, range or chroma order cost far more.
file="$scratch/colours.mp4"
capture_or_fail --data "$data" --fps 10 --from 40 --to 41 --frames "$scratch/colours" --video "$file"
psnr="$(ffmpeg -hide_banner -nostdin -i "$file" -framerate 10 -start_number 400 -i "$scratch/colours/frame-%06d.png" \
  -lavfi '[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr' -f null - 2>&1 | sed -n 's/.*PSNR r:\([0-9.]*\) g:\([0-9.]*\) b:\([0-9.]*\).*/\1 \2 \3/p')"
[ -n "$psnr" ] || fail "no PSNR of the video against its frames"
for channel in $psnr; do
  awk -v p="$channel" -v min="$VIDEO_MIN_PSNR_DB" 'BEGIN { exit !(p >= min) }' ||
    fail "the video's frames differ from the PNG files: PSNR r g b $psnr dB, below $VIDEO_MIN_PSNR_DB"
done
echo "video: 2 s of picture and 2 s of sound, cut at the range (levels ${level[0]} / ${level[1]}); frames in their colours (PSNR r g b $psnr dB)"
