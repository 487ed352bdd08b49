#!/usr/bin/env bash
# Builds the benchmarks and runs them against the simulator paced at 9600 baud.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
tools/install-deps.sh native
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j 2 --target exchange_bench >/dev/null
build-bench/tests/exchange_bench "${1:-21}" "${2:-0}"
