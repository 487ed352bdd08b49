#!/usr/bin/env bash
# The Wine suites from the sources: cross-builds Quillmoor.DLL and the Windows
# test programs for 64-bit Windows (build-win) and the DLL and the client for
# 32-bit Windows (build-win32), builds the board simulator and the
# command-line client natively without sanitizers (build-wine-sim), then runs
# the platform tests (tests/platform/run-wine.sh) and the DLL's suite
# (tests/wine/run.sh) on the 64-bit build, the late-bound scenarios on the
# 32-bit build where this machine runs 32-bit programs, the Alpaca server's
# client test against quillmoor-alpaca.exe (tests/wine/alpaca.sh), and the
# installer test (tests/installer/run.sh). Extra arguments go to the 64-bit run.sh. The
# last line adds them up: "N passed, N failed, N skipped"; the exit code is
# non-zero when any failed.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
jobs=${JOBS:-2}

# build LOG COMMAND...: output in LOG, shown when the command fails; a failed
# build counts as one failed test.
build() {
  local log=$1; shift
  if ! "$@" >>"$log" 2>&1; then
    echo "build failed: $*"
    tail -n 40 "$log"
    echo "0 passed, 1 failed"
    exit 1
  fi
}

tools/install-deps.sh all || { echo "0 passed, 1 failed"; exit 1; }
. tools/i386.sh
i386_probe

mkdir -p build-win build-wine-sim
win_log=$top/build-win/run-all.build.log
sim_log=$top/build-wine-sim/run-all.build.log
: >"$win_log"
: >"$sim_log"

echo "# cross build (build-win)"
build "$win_log" cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release
build "$win_log" cmake --build build-win -j "$jobs" \
  --target quillmoor_driver quillmoor-wine-client quillmoor-regtool quillmoor-platform-tests \
  quillmoor-dialog-tests quillmoor-alpaca

# The 32-bit DLL is built on every machine: the installer holds it.
echo "# 32-bit cross build (build-win32)"
mkdir -p build-win32
win32_log=$top/build-win32/run-all.build.log
: >"$win32_log"
build "$win32_log" cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release
build "$win32_log" cmake --build build-win32 -j "$jobs" --target quillmoor_driver quillmoor-wine-client \
  quillmoor-regtool

echo "# simulator (build-wine-sim)"
build "$sim_log" cmake -S . -B build-wine-sim -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMOOR_SANITIZE=
build "$sim_log" cmake --build build-wine-sim -j "$jobs" --target quillmoor-sim quillmoor

passed=0 failed=0 skipped=0
# suite LOG COMMAND...: runs one suite, showing its output, and adds up its last count line.
suite() {
  local log=$1; shift
  "$@" 2>&1 | tee "$log"
  local summary
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  if [ -z "$summary" ]; then failed=$((failed + 1)); return; fi
  passed=$((passed + $(cut -d' ' -f1 <<<"$summary")))
  failed=$((failed + $(cut -d' ' -f3 <<<"$summary")))
  skipped=$((skipped + $(sed -nE 's/.*, ([0-9]+) skipped.*/\1/p' <<<"$summary" | grep . || echo 0)))
}

echo "# platform tests under Wine"
suite build-win/platform-suite.log tests/platform/run-wine.sh \
  --exe build-win/tests/platform/quillmoor-platform-tests.exe \
  --sim build-wine-sim/sim/quillmoor-sim --build-dir build-win
echo "# the DLL under Wine"
suite build-win/dll-suite.log tests/wine/run.sh --dll build-win/driver/Quillmoor.DLL \
  --clients build-win/tests/wine --sim build-wine-sim/sim/quillmoor-sim --cli build-wine-sim/tools/quillmoor \
  --build-dir build-win "$@"
echo "# the 32-bit DLL under Wine"
if [ "$QUILLMOOR_I386" = yes ]; then
  suite build-win32/dll-suite.log tests/wine/run.sh --bits 32 --dll build-win32/driver/Quillmoor.DLL \
    --clients build-win32/tests/wine --sim build-wine-sim/sim/quillmoor-sim --cli build-wine-sim/tools/quillmoor \
    --build-dir build-win32
else
  echo "skip the 32-bit DLL suite"
  skipped=$((skipped + 1))
fi
echo "# the Alpaca server for Windows under Wine"
suite build-win/alpaca-suite.log tests/wine/alpaca.sh --exe build-win/alpaca/quillmoor-alpaca.exe \
  --dll build-win/driver/Quillmoor.DLL --clients build-win/tests/wine --sim build-wine-sim/sim/quillmoor-sim \
  --build-dir build-win
echo "# the installer under Wine"
mkdir -p build-installer
suite build-installer/installer-suite.log tests/installer/run.sh --dll64 build-win/driver/Quillmoor.DLL \
  --dll32 build-win32/driver/Quillmoor.DLL --server build-win/alpaca/quillmoor-alpaca.exe \
  --clients64 build-win/tests/wine --clients32 build-win32/tests/wine \
  --sim build-wine-sim/sim/quillmoor-sim --build-dir build-installer

i386_report "$skipped"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
