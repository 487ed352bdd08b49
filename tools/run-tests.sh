#!/usr/bin/env bash
# Builds and runs every test: the native suites under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer, the fuzz targets for a
# bounded time, and the DLL's suite under Wine. Ends with "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
tools/install-deps.sh all || exit 1
. tools/i386.sh
i386_probe  # once for the run; the suites are told through QUILLMOOR_I386

jobs=${JOBS:-2}
passed=0
failed=0
skipped=0

count_ctest() {  # adds the counts of a ctest summary to the totals
  local log=$1 line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  bad=$(sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

for sanitizer in address thread; do
  dir=build-$sanitizer
  echo "== native build with $sanitizer sanitizer"
  if cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMOOR_SANITIZE=$sanitizer >/dev/null &&
     cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
      ctest --test-dir "$dir" -j "$jobs" --output-on-failure 2>&1 | tee "$dir.test.log"
    count_ctest "$dir.test.log"
  else
    tail -n 40 "$dir.build.log"
    failed=$((failed + 1))
  fi
done

for suite in tests/fuzz/run.sh tests/indi/build-and-run.sh tests/alpaca/build-and-run.sh tests/wine/run-all.sh tests/package/build-and-run.sh; do
  [ -x "$suite" ] || continue
  echo "== $suite"
  log=build-$(basename "$(dirname "$suite")").log
  "$suite" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  if [ -n "$summary" ]; then
    passed=$((passed + $(cut -d' ' -f1 <<<"$summary")))
    failed=$((failed + $(cut -d' ' -f3 <<<"$summary")))
    skipped=$((skipped + $(sed -nE 's/.*, ([0-9]+) skipped.*/\1/p' <<<"$summary" | grep . || echo 0)))
  elif [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done

i386_report "$skipped"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
