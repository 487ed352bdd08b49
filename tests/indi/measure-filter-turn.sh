#!/usr/bin/env bash
# A measurement, not a test: how long a client waits from indi_setprop of a
# filter slot until the slot property turns Ok, against the simulator paced at
# 9600 baud, beside the time the same turn takes on the wire.
# Usage: tests/indi/measure-filter-turn.sh --driver PATH --sim PATH [--runs N]
set -uo pipefail
runs=5 driver= sim=
while [ $# -gt 0 ]; do
  case $1 in
    --driver) driver=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: $0 --driver PATH --sim PATH [--runs N]" >&2; exit 2 ;;
  esac
done
work=$(mktemp -d /tmp/quillmoor-indi-measure-XXXXXX)
export HOME=$work XDG_CONFIG_HOME=$work/config
dev=Quillmoor
. "$(dirname "$0")/lib.sh"

"$sim" --pace --link "$work/port" --record "$work/wire" </dev/null >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -L "$work/port" ] && break; sleep 0.1; done
start_server
indi_setprop -p "$port" "$dev.DEVICE_PORT.PORT=$work/port"
indi_setprop -p "$port" "$dev.CONNECTION.CONNECT=On"
indi_eval -p "$port" -t 10 -w "\"$dev.CONNECTION._STATE\"==1" || { echo "no connection"; exit 1; }

ms() { date +%s%3N; }
slot=1
echo "run  slots  client_ms  wire_ms"
for run in $(seq "$runs"); do
  target=$(( slot % 5 + 2 > 5 ? 1 : slot % 5 + 2 ))  # one or two slots on each time
  indi_eval -p "$port" -t 20 -w "\"$dev.FILTER_SLOT.FILTER_SLOT_VALUE\"==$target && \"$dev.FILTER_SLOT._STATE\"==1" &
  waiter=$!
  sleep 0.5  # the waiter has connected and seen the old slot
  start=$(ms)
  indi_setprop -p "$port" "$dev.FILTER_SLOT.FILTER_SLOT_VALUE=$target"
  wait "$waiter"; waiter=
  end=$(ms)
  sleep 0.3
  kill -0 "$sim_pid"
  sleep 0.2  # the record is rewritten at most every 100 ms
  # Wire time: first byte of FWGOTO out to the last byte of the answer in, one
  # byte lasting 1.0417 ms at 9600 baud.
  go=$(printf 'FWGOTO%s' "$((target - 1))" | od -An -tx1 | tr a-f A-F | xargs)
  wire=$(awk -v go="$go" -v ans="$(printf '%X' $((0x30 + target - 1)))" '
    $2 == ">>" && index($0, go) { t = $1; seen = 1; next }
    seen && $2 == "<<" && $3 == ans { printf "%.0f", $1 + 1.0417 - t; seen = 0 }' "$work/wire" | tail -c 12)
  echo "$run    $slot->$target   $((end - start))      $wire"
  slot=$target
done
