#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless, in three stages:
#   1. the normal build in build/: every test;
#   2. the sanitizer build in build-asan/ (AddressSanitizer, UndefinedBehavior-
#      Sanitizer, LeakSanitizer): every test again;
#   3. the fuzz build in build-fuzz/: the fixture and peer-corpus replays, then
#      each libFuzzer target for VANTREL_FUZZ_SECONDS seconds (default 60).
# VANTREL_SANITIZER_SUITE=0 leaves stage 2 out, VANTREL_FUZZ_SECONDS=0 stage 3;
# VANTREL_WERROR=1 (as CI sets it) makes every compiler warning an error.
# Each suite runs under an Xvfb of its own; tests that need a screen of a given
# size start their own. A test that fails fails the command: nothing is run
# twice. Where ../shared is beside the checkout, a skipped test fails it too
# (the only skips are of tests that need the peer corpus), except the browser
# test while VANTREL_WEB_TESTS=1 does not ask for it. The time of every
# stage is printed at the end.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
fuzz_seconds="${VANTREL_FUZZ_SECONDS:-60}"
shared="$root/../shared"

stage_names=()
stage_seconds=()
stage_started=0
stage() {
  stage_end
  stage_names+=("$1")
  stage_started=$SECONDS
  printf '\n=== %s (%s)\n' "$1" "$(date -u +%H:%M:%S)"
}
stage_end() {
  [ ${#stage_names[@]} -gt ${#stage_seconds[@]} ] && stage_seconds+=($((SECONDS - stage_started)))
  return 0
}
print_stage_times() {
  local i
  stage_end
  echo "=== stage times"
  for i in "${!stage_names[@]}"; do
    printf '  %-32s %4d:%02d\n' "${stage_names[$i]}" $((stage_seconds[i] / 60)) $((stage_seconds[i] % 60))
  done
  printf '  %-32s %4d:%02d\n' "total" $((SECONDS / 60)) $((SECONDS % 60))
}
trap print_stage_times EXIT

# run_suite BUILD_DIR: every test of a build under a private Xvfb; fails on a
# failed test, and on a skipped one where the peer corpus is there.
run_suite() {
  local log
  log="$(mktemp)"
  set +e
  bash "$root/scripts/with-xvfb.sh" ctest --test-dir "$1" --output-on-failure --no-tests=error -j"$jobs" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  set -e
  local skipped
  skipped="$(grep -E '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log" || true)"
  # The browser test skips by design unless VANTREL_WEB_TESTS=1 asks for it.
  if [ "${VANTREL_WEB_TESTS:-0}" != 1 ]; then
    skipped="$(printf '%s\n' "$skipped" | grep -v ' - script\.web_page (Skipped)$' || true)"
  fi
  rm -f "$log"
  [ "$status" -eq 0 ] || return "$status"
  if [ -n "$skipped" ] && [ -d "$shared" ]; then
    echo "test.sh: tests were skipped although $shared is there:" >&2
    echo "$skipped" >&2
    return 1
  fi
}

stage "install"
if [ "$fuzz_seconds" != 0 ]; then export VANTREL_FUZZ_DEPS=1; fi
if [ "${VANTREL_WEB_TESTS:-0}" = 1 ]; then export VANTREL_WEB_DEPS=1; fi
bash "$root/scripts/install-deps.sh"

stage "normal build"
bash "$root/scripts/build.sh"
stage "normal tests"
run_suite "$root/build"

if [ "${VANTREL_SANITIZER_SUITE:-1}" != 0 ]; then
  stage "sanitizer build"
  asan="$root/build-asan"
  cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_SANITIZE=ON \
    -DVANTREL_BENCHMARKS=OFF -DVANTREL_WERROR="${VANTREL_WERROR:-0}" >/dev/null
  cmake --build "$asan" -j"$jobs"
  stage "sanitizer tests"
  # Any report fails the test: UB aborts (the build does not recover), leaks
  # fail at exit. Third-party leaks are suppressed by library name. The GL
  # driver draws on the calling thread, so no driver thread is mid-exit when the
  # leak checker stops the process at its end.
  export LP_NUM_THREADS=0 \
    LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
  run_suite "$asan"
  unset LP_NUM_THREADS LSAN_OPTIONS UBSAN_OPTIONS ASAN_OPTIONS
fi

if [ "$fuzz_seconds" != 0 ]; then
  stage "fuzzing, $fuzz_seconds s per target"
  bash "$root/scripts/fuzz.sh" "$fuzz_seconds"
fi
stage_end
echo
echo "=== all tests passed"
