#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
#
# Builds the libFuzzer targets of the file readers with clang into build-fuzz/,
# replays the reader fixtures and the peer corpus through them, makes their seed
# corpora (from the generated asset pack, the test fixtures and the peer corpus
# beside the checkout), runs every target for the given time with a fixed random
# seed, as many at once as there are cores, and prints each one's executions and
# executions per second. Exits non-zero when a replay or a target crashed,
# leaked, timed out or ran out of memory; the input that did it is kept under
# build-fuzz/artifacts/<target>/ and its path printed. Reproduce one with:
# build-fuzz/fuzz/<target> <that file>
set -euo pipefail

seconds="${1:-60}"
case "$seconds" in '' | *[!0-9]*) echo "usage: $0 [SECONDS_PER_TARGET]" >&2; exit 2 ;; esac
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
corpus_root="$build/corpus"
peer="$root/../shared/corpus"

VANTREL_FUZZ_DEPS=1 bash "$root/scripts/install-deps.sh"

cc=clang-14 cxx=clang++-14
command -v "$cxx" >/dev/null || { cc=clang; cxx=clang++; }
command -v "$cxx" >/dev/null || { echo "fuzz.sh: clang++ not found" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DVANTREL_FUZZERS=ON -DVANTREL_TESTS=OFF -DVANTREL_BENCHMARKS=OFF -DVANTREL_ASSETS=ON \
  -DVANTREL_WERROR="${VANTREL_WERROR:-0}" >/dev/null
targets=(fuzz_tga fuzz_ase fuzz_ase_mutate fuzz_mp3)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" vantrel-pack

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# Every fixture and peer-corpus file once through its target.
ctest --test-dir "$build" --output-on-failure --no-tests=error

# ---------------------------------------------------------------------------
# Seed corpora. Large files are cut to the target's input limit, which each
# target's source holds as MAX_INPUT_BYTES.

declare -A max_len=()
for t in "${targets[@]}"; do
  max_len[$t]="$(sed -n 's/^constexpr size_t MAX_INPUT_BYTES = \([0-9]*\);.*/\1/p' "$root/fuzz/$t.cpp")"
  [ -n "${max_len[$t]}" ] || { echo "fuzz.sh: fuzz/$t.cpp has no MAX_INPUT_BYTES" >&2; exit 1; }
done
# The random seed of each target's run: the same on every run, so a finding
# can be replayed with the same seed and corpus.
declare -A fuzz_seed=([fuzz_tga]=1001 [fuzz_ase]=1002 [fuzz_ase_mutate]=1003 [fuzz_mp3]=1004)
data="$build/data"

# seed TARGET NAME FILE [BYTES]: copies FILE (its first BYTES at most) as NAME.
seed() {
  local limit="${4:-${max_len[$1]}}"
  head -c "$limit" "$3" >"$corpus_root/$1/$2"
}
# seed_tree TARGET PREFIX DIR: every file below DIR, named after its path there.
seed_tree() {
  local file rel
  while IFS= read -r -d '' file; do
    rel="${file#"$3"/}"
    seed "$1" "$2${rel//\//_}" "$file"
  done < <(find "$3" -type f -print0)
}

for t in "${targets[@]}"; do mkdir -p "$corpus_root/$t"; done
[ -d "$peer" ] || echo "fuzz.sh: peer corpus $peer is absent; seeding without it"

# TGA: the pack's textures, tiny images made here, fixtures, the peer corpus.
for f in "$data"/maps/*.tga "$data"/models/*.tga; do seed fuzz_tga "pack-$(basename "$f")" "$f"; done
tiny() { printf "$2" >"$corpus_root/fuzz_tga/$1"; }
tiny tiny-2x2-24.tga '\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\30\0AAABBBCCCDDD'
tiny tiny-2x2-32-id.tga '\3\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\40\10idAAAABBBBCCCCDDDD'
tiny tiny-4x2-24-top.tga '\0\0\2\0\0\0\0\0\0\0\0\0\4\0\2\0\30\40AAABBBCCCDDDEEEFFFGGGHHH'
[ -d "$peer/tga" ] && seed_tree fuzz_tga peer- "$peer/tga"

# ASE: the pack's scenes (the fire scene whole, the first 64 KiB of each, which
# keep a run fast), fixtures, the peer corpus.
seed fuzz_ase pack-fuegoscn01.ase "$data/models/fuegoscn01.ase"
for f in "$data"/models/*.ase; do seed fuzz_ase "pack-64k-$(basename "$f")" "$f" 65536; done
seed_tree fuzz_ase fixture- "$root/tests/fixtures/ase"
[ -d "$peer/ase" ] && seed_tree fuzz_ase peer- "$peer/ase"

# Edited scenes: one input per base scene with no edits; the fuzzer adds edits.
for i in 0 1 2 3 4 5 6; do printf "\\x0$i" >"$corpus_root/fuzz_ase_mutate/base-$i"; done

# MP3: the soundtrack's first frames in several lengths, short files at other
# rates and channel counts where ffmpeg can encode them, fixtures, the peer corpus.
for bytes in 2048 16384 131072 614400; do seed fuzz_mp3 "pack-Halvo-$bytes.mp3" "$data/Halvo.mp3" "$bytes"; done
if command -v ffmpeg >/dev/null; then
  for form in "8000 1" "22050 1" "32000 2" "48000 2"; do
    read -r rate channels <<<"$form"
    ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:duration=0.3:sample_rate=$rate" -ac "$channels" \
      -codec:a libmp3lame -b:a 64k "$corpus_root/fuzz_mp3/sine-$rate-${channels}ch.mp3" </dev/null ||
      echo "fuzz.sh: ffmpeg could not make the $rate Hz MP3 seed; going on without it"
  done
fi
# (The peer corpus's reference decodes are raw PCM, not MP3: left out.)
[ -d "$peer/mp3/minimp3" ] && seed_tree fuzz_mp3 peer- "$peer/mp3/minimp3"

# The ASE targets run in a copy of the pack's layout whose textures are all
# 2 x 2 pixels: material bitmaps such as maps/roca.tga then load (through the
# GL stand-ins) at a fraction of the cost of the real ones, which fuzz_tga covers.
textures="$build/fuzz-textures"
mkdir -p "$textures/maps" "$textures/models"
for f in "$data"/maps/*.tga "$data"/models/*.tga; do
  cp "$corpus_root/fuzz_tga/tiny-2x2-24.tga" "$textures/${f#"$data"/}"
done

# ---------------------------------------------------------------------------
# The runs, as many at once as there are cores.

mkdir -p "$build/logs"
# run_target TARGET: one run, its log in logs/TARGET.log and its exit status in logs/TARGET.status.
run_target() {
  local t="$1" extra=() status=0
  mkdir -p "$build/artifacts/$t"
  [ "$t" = fuzz_ase ] && extra+=(-dict="$root/fuzz/ase.dict")
  echo "== $t: ${seconds}s on $(find "$corpus_root/$t" -type f | wc -l) corpus files, seed ${fuzz_seed[$t]}"
  (cd "$textures" && "$build/fuzz/$t" -seed="${fuzz_seed[$t]}" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len="${max_len[$t]}" -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" \
    "${extra[@]}" "$corpus_root/$t" </dev/null) >"$build/logs/$t.log" 2>&1 || status=$?
  echo "$status" >"$build/logs/$t.status"
}
running=()
for t in "${targets[@]}"; do
  run_target "$t" &
  running+=($!)
  if [ ${#running[@]} -ge "$(nproc)" ]; then wait "${running[0]}"; running=("${running[@]:1}"); fi
done
wait

failed=()
summary=()
for t in "${targets[@]}"; do
  log="$build/logs/$t.log"
  status="$(cat "$build/logs/$t.status")"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  summary+=("$(printf '%-16s %12s executions %8s exec/s  seed %s' "$t" "${runs:-?}" "${rate:-?}" "${fuzz_seed[$t]}")")
  if [ "$status" -ne 0 ]; then
    failed+=("$t")
    echo "!! $t failed (exit $status); log: $log"
    grep -E '^==[0-9]+==ERROR|^SUMMARY|runtime error|^ALARM|out-of-memory|GL stand-in|reader:|loader:|sound layer:' "$log" | head -20 || true
    sed -n 's/.*Test unit written to \(.*\)$/   crash input kept: \1/p' "$log"
  fi
done

echo "== fuzzing summary (${seconds}s per target)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: no crash, leak, timeout or out-of-memory"
