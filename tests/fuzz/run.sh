#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds
# (default 60), printing how many inputs each one executed. Exits non-zero
# when a target finds a fault; the input that did it is left in the build
# folder as crash-*.
#
#   tests/fuzz/run.sh [SECONDS] [TARGET...]
#
# QUILLMOOR_FUZZ_BUILD sets the build folder (default build-fuzz in the repo).
set -eu

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-"settings_file_fuzzer settings_load_fuzzer replies_fuzzer alpaca_request_fuzzer temperature_log_fuzzer"}

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${QUILLMOOR_FUZZ_BUILD:-$root/build-fuzz}

CC=${CC:-clang-14} CXX=${CXX:-clang++-14} \
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target $targets >/dev/null

status=0
for target in $targets; do
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    # The golden settings file is a good first input for the file reader.
    [ "$target" = settings_file_fuzzer ] && cp "$root/tests/persistence/golden/"*.fws "$corpus/"
    # Real requests are good first inputs for the request parser.
    [ "$target" = alpaca_request_fuzzer ] && cp "$here/alpaca_corpus/"* "$corpus/"
    # A short log of the kind the driver writes.
    [ "$target" = temperature_log_fuzzer ] &&
      printf 'Time,T0,T1,Focus,Filter\n20:00:00,9.50,-3.25,1000,L\n20:00:05,,8.00,1010,\n21:00:00,6.00,7.00,1040,Ha\n' >"$corpus/log.csv"
    log=$build/$target.log
    if (cd "$build" && "./$target" -max_total_time="$seconds" -max_len=20000 \
            -print_final_stats=1 "$corpus") >"$log" 2>&1; then
        result=clean
    else
        result=FAILED
        status=1
        tail -n 40 "$log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "$target: ${runs:-?} executions in ${seconds} s, $result"
done
exit $status
