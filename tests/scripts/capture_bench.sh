#!/usr/bin/env bash
# --bench writes no file and prints the loading time, one line per scene with
# frames in the range, a total and the peak memory, in that form.
source "$(dirname "$0")/capture_common.bash"
cd "$scratch"
out="$("$capture" --data "$data" --fps 10 --to 3 --bench --quiet 2>"$scratch/err")" || fail "exit $?: $(tail -3 "$scratch/err")"
number='[0-9]+\.[0-9]+'
printf '%s\n' "$out" | sed -n 1p | grep -Eq "^loading  $number ms$" || fail "first line: $out"
# Frames 1..29 of the titles are timed (frame 0 comes right after loading).
printf '%s\n' "$out" | sed -n 2p | grep -Eq "^scene 1  frames 29  median $number ms  p95 $number ms  max $number ms$" ||
  fail "scene line: $out"
printf '%s\n' "$out" | sed -n 3p | grep -Eq "^total  frames 29  median $number ms  p95 $number ms  max $number ms$" ||
  fail "total line: $out"
peak="$(printf '%s\n' "$out" | sed -n 4p | sed -En "s/^peak memory  ($number) MB$/\\1/p")"
[ -n "$peak" ] || fail "peak memory line: $out"
# A GL context and the pack's textures take tens of megabytes; a figure below
# that is not the process's high-water mark.
awk -v p="$peak" 'BEGIN { exit !(p > 20 && p < 4000) }' || fail "peak memory $peak MB is not a process's figure"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 4 ] || fail "more lines than expected: $out"
[ -z "$(ls -A "$scratch" | grep -v -e '^err$')" ] || fail "--bench wrote files: $(ls "$scratch")"
echo "bench: $(printf '%s' "$out" | tr '\n' ';')"
