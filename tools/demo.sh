#!/usr/bin/env bash
# The main job: builds the native tree, starts the simulated board, runs a
# short session through the controller object and prints the trace.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
tools/install-deps.sh native

build=build-demo
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release  >/dev/null
cmake --build $build -j 2 --target quillmoor quillmoor-sim >/dev/null

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The board sits behind COM2; COM1 leads nowhere, so "Auto" has to search.
mkdir -p "$work/ports" "$work/config"
$build/sim/quillmoor-sim --time-scale 0.2 --notices >"$work/sim.out" 2>"$work/sim.err" </dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
ln -s "$(head -n 1 "$work/sim.out")" "$work/ports/com2"
ln -s /nonexistent "$work/ports/com1"

export QUILLMOOR_PORTS=$work/ports XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
client=$build/tools/quillmoor
run() { echo "\$ quillmoor $*"; "$client" "$@"; echo; }
run --port auto status
run --port COM2 --trace focus 1500
run --port COM2 --trace filter 3
run --port COM2 status
