#!/usr/bin/env bash
# Builds the INDI driver and the simulator natively, without sanitizers, and
# runs the INDI suite on them. Skips (0 passed, 0 failed) without libindi.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
if [ ! -f /usr/include/libindi/indifocuser.h ] || ! command -v indiserver >/dev/null; then
  echo "libindi or indiserver missing: INDI suite skipped"
  echo "0 passed, 0 failed"
  exit 0
fi
dir=build-indi
if ! cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null ||
   ! cmake --build "$dir" --target indi_quillmoor quillmoor-sim >"$dir.build.log" 2>&1; then
  tail -n 40 "$dir.build.log"
  echo "0 passed, 1 failed"
  exit 1
fi
exec tests/indi/run.sh --driver "$dir/indi/indi_quillmoor" --sim "$dir/sim/quillmoor-sim"
