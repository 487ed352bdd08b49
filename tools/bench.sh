#!/usr/bin/env bash
# Builds the benchmarks and runs them against the simulator paced at 9600
# baud: first the native core (tests/bench/exchange_bench.cpp), then
# Quillmoor.DLL under Wine through its late-bound members (tests/wine/bench.sh).
#
#   tools/bench.sh [ROUNDS] [IDLE_SECONDS]
#
# ROUNDS (default 21) is the number of calls each median is taken over;
# IDLE_SECONDS (default 60, 0 to skip) is the length of the idle-CPU window.
# Builds in build-bench (native, Release, no sanitizers) and build-bench-win
# (MinGW cross build), so it never disturbs the test builds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
rounds=${1:-21}
idle=${2:-60}
jobs=${JOBS:-2}

tools/install-deps.sh all
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMOOR_SANITIZE= >/dev/null
cmake --build build-bench -j "$jobs" --target exchange_bench quillmoor-sim >/dev/null
# The toolchain file is given only when the cross build is first configured.
toolchain=()
[ -f build-bench-win/CMakeCache.txt ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
cmake -S . -B build-bench-win -G Ninja "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench-win -j "$jobs" --target quillmoor_driver quillmoor-wine-client >/dev/null

echo "## Native core (CFWDevice on the POSIX platform layer)"
echo
build-bench/tests/exchange_bench "$rounds" "$idle"
echo
tests/wine/bench.sh --dll build-bench-win/driver/Quillmoor.DLL --clients build-bench-win/tests/wine \
  --sim build-bench/sim/quillmoor-sim --build-dir build-bench-win --rounds "$rounds" --idle-seconds "$idle"
