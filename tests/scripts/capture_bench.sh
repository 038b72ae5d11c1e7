#!/usr/bin/env bash
# --bench writes no file and prints the loading time, one line per scene with
# frames in the range, a total, the peak memory and the CPU time stolen by the
# host, in that form.
source "$(dirname "$0")/capture_common.bash"
cd "$scratch"
start=$(date +%s.%N)
out="$("$capture" --data "$data" --fps 10 --to 3 --bench --quiet 2>"$scratch/err")" || fail "exit $?: $(tail -3 "$scratch/err")"
wall="$(awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { print end - start }')"
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
# The CPU time the host took meanwhile: a share of the machine's time, and no
# more seconds than the run's wall time on every CPU (the counter is read at the
# start and the end, not taken whole).
stolen="$(printf '%s\n' "$out" | sed -n 5p | sed -En "s/^cpu stolen  ($number) s  ($number) % of the machine's cpu time$/\\1 \\2/p")"
[ -n "$stolen" ] || fail "cpu stolen line: $out"
set -- $stolen
awk -v s="$1" -v share="$2" -v wall="$wall" -v cpus="$(nproc)" 'BEGIN { exit !(share >= 0 && share <= 100 && s <= wall * cpus + 0.5) }' ||
  fail "cpu stolen $1 s ($2 %) is not a figure of this run of $wall s"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 5 ] || fail "more lines than expected: $out"
[ -z "$(ls -A "$scratch" | grep -v -e '^err$')" ] || fail "--bench wrote files: $(ls "$scratch")"
echo "bench: $(printf '%s' "$out" | tr '\n' ';')"
