#!/usr/bin/env bash
# The INDI driver seen from a client: the real indiserver runs the driver,
# the board simulator plays the board on a pseudo-terminal, and the INDI
# command-line clients drive it. Wire bytes are checked in the simulator's
# record. Usage: tests/indi/run.sh --driver PATH --sim PATH
# Ends with "N passed, N failed".
set -uo pipefail

driver= sim=
while [ $# -gt 0 ]; do
  case $1 in
    --driver) driver=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    *) echo "usage: $0 --driver PATH --sim PATH" >&2; exit 2 ;;
  esac
done
[ -x "$driver" ] && [ -x "$sim" ] || { echo "usage: $0 --driver PATH --sim PATH" >&2; exit 2; }

work=$(mktemp -d /tmp/quillmoor-indi-XXXXXX)
export HOME=$work XDG_CONFIG_HOME=$work/config  # the driver's configuration stays in here
dev=Quillmoor
link=$work/port
passed=0 failed=0
. "$(dirname "$0")/lib.sh"

check() {  # name, command...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; passed=$((passed + 1))
  else echo "FAIL $name"; failed=$((failed + 1)); fi
}

start_sim() {  # extra simulator options...
  rm -f "$work/ctl" "$work/sim.out" "$work/wire"
  mkfifo "$work/ctl"
  "$sim" --link "$link" --record "$work/wire" --time-scale 0.2 "$@" <"$work/ctl" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  exec 8>"$work/ctl"
  for _ in $(seq 50); do [ -L "$link" ] && return 0; sleep 0.1; done
  return 1
}

sim_say() {  # control line; waits for its one-line answer
  local before
  before=$(wc -l <"$work/sim.out")
  echo "$*" >&8
  for _ in $(seq 50); do [ "$(wc -l <"$work/sim.out")" -gt "$before" ] && return 0; sleep 0.1; done
  return 1
}

stop_sim() {
  sim_say quit || kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null; sim_pid=
  exec 8>&-
}

wire_has() {  # hex bytes the PC sent, e.g. "46 57 47 4F 54 4F 32"
  sim_say record && grep -E '>>' "$work/wire" | grep -q "$1"
}

hex() { printf '%s' "$1" | od -An -tx1 | tr 'a-f' 'A-F' | xargs; }

set_prop() { indi_setprop -p "$port" "$@" >/dev/null 2>&1; }
get() { indi_getprop -1 -p "$port" "$dev.$1" 2>/dev/null; }
wait_for() {  # seconds, expression
  indi_eval -p "$port" -t "$1" -w "$2" >/dev/null 2>&1
}
OK=1 BUSY=2 ALERT=3

connect() {
  set_prop "$dev.DEVICE_PORT.PORT=$link" &&
  set_prop "$dev.DEVICE_AUTO_SEARCH.INDI_ENABLED=Off;INDI_DISABLED=On" &&
  set_prop "$dev.CONNECTION.CONNECT=On" &&
  wait_for 10 "\"$dev.CONNECTION._STATE\"==$OK"
}

start_sim || { echo "FAIL simulator did not start"; echo "0 passed, 1 failed"; exit 1; }
start_server

# --- connect and read the board's tables
check "connect" connect
check "temperature from the preferred sensor" wait_for 5 "\"$dev.FOCUS_TEMPERATURE.TEMPERATURE\"==18.5"
check "filter names from the board" test "$(get 'FILTER_NAME.*' | cut -d= -f2 | xargs)" = "L R G B Ha"
check "focus offsets from the board" test "$(get 'FILTER_FOCUS_OFFSETS.*' | cut -d= -f2 | xargs)" = "0 10 20 30 35"
check "both interfaces announced" test "$(get DRIVER_INFO.DRIVER_INTERFACE)" = 24

# --- focuser
set_prop "$dev.ABS_FOCUS_POSITION.FOCUS_ABSOLUTE_POSITION=300"
check "move shows Busy while it runs" wait_for 5 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$BUSY"
check "move ends Ok" wait_for 10 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$OK"
check "position after the move" test "$(get ABS_FOCUS_POSITION.FOCUS_ABSOLUTE_POSITION)" = 300
check "move on the wire" wire_has "$(hex FWgoFocus) 2C 01"
set_prop "$dev.ABS_FOCUS_POSITION.FOCUS_ABSOLUTE_POSITION=40000"
check "move beyond the maximum refused" wait_for 5 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$ALERT"

# --- filter wheel
set_prop "$dev.FILTER_SLOT.FILTER_SLOT_VALUE=3"
check "filter change ends Ok" wait_for 10 "\"$dev.FILTER_SLOT._STATE\"==$OK && \"$dev.FILTER_SLOT.FILTER_SLOT_VALUE\"==3"
check "filter change on the wire" wire_has "$(hex FWGOTO) 32"
set_prop "$dev.FILTER_NAME.FILTER_SLOT_NAME_2=Red"
check "rename ends Ok" wait_for 5 "\"$dev.FILTER_NAME._STATE\"==$OK"
check "renamed filter shown" test "$(get FILTER_NAME.FILTER_SLOT_NAME_2)" = Red
check "rename on the wire" wire_has "$(hex FWWRITENAME) 31 52 65 64 00 00 00 00 00"
renamed_after_reconnect() {
  set_prop "$dev.CONNECTION.DISCONNECT=On" && wait_for 5 "\"$dev.CONNECTION.DISCONNECT\"==1" && connect &&
    [ "$(get FILTER_NAME.FILTER_SLOT_NAME_2)" = Red ]
}
check "renamed on the board" renamed_after_reconnect

# --- temperature compensation through the board's own
set_prop "$dev.FOCUS_TEMPERATURE_COMPENSATION.INDI_ENABLED=On;INDI_DISABLED=Off"
check "compensation on" wait_for 5 "\"$dev.FOCUS_TEMPERATURE_COMPENSATION._STATE\"==$OK && \"$dev.FOCUS_TEMPERATURE_COMPENSATION.INDI_ENABLED\"==1"
check "compensation on the wire" wire_has "$(hex FWautoCompSet) 30"
set_prop "$dev.FOCUS_TEMPERATURE_COMPENSATION.INDI_ENABLED=Off;INDI_DISABLED=On" &&
  wait_for 5 "\"$dev.FOCUS_TEMPERATURE_COMPENSATION.INDI_DISABLED\"==1"
check "compensation off on the wire" wire_has "$(hex FWautoCompSet) 2F"
set_prop "$dev.TEMPERATURE_SENSOR.SENSOR_INDEX=7"
check "a sensor the board lacks is refused" wait_for 5 "\"$dev.TEMPERATURE_SENSOR._STATE\"==$ALERT"

# --- a busy link, then the cable pulled mid-move
set_prop "$dev.ABS_FOCUS_POSITION.FOCUS_ABSOLUTE_POSITION=20000"
wait_for 5 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$BUSY"
set_prop "$dev.FILTER_SLOT.FILTER_SLOT_VALUE=1"
check "filter change during a move refused with Alert" wait_for 5 "\"$dev.FILTER_SLOT._STATE\"==$ALERT"
sim_say unplug
check "pulled cable ends the move in Alert" wait_for 3 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$ALERT"
check "driver still up" kill -0 "$server_pid"
check "driver still answers" test -n "$(get DRIVER_INFO.DRIVER_EXEC)"
set_prop "$dev.CONNECTION.DISCONNECT=On"
wait_for 5 "\"$dev.CONNECTION.DISCONNECT\"==1"
stop_sim
start_sim
check "connects again once the board is back" connect
check "temperature after reconnect" wait_for 5 "\"$dev.FOCUS_TEMPERATURE.TEMPERATURE\"==18.5"
check "driver never restarted" test "$(pgrep -P "$server_pid")" = "$driver_pid"
check "position Ok again after the reconnect" wait_for 5 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$OK"
sim_say silent on
check "position in Alert while the board does not answer" wait_for 5 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$ALERT"
sim_say silent off
check "position Ok once it answers again" wait_for 5 "\"$dev.ABS_FOCUS_POSITION._STATE\"==$OK"
exec 5<>"/dev/tcp/127.0.0.1/$port" && echo '<getProperties version="1.7"/>' >&5
check "a getProperties defines TEMPERATURE_SENSOR once" test "$(timeout 2 cat <&5 | grep -c '<defNumberVector[^>]* name="TEMPERATURE_SENSOR"')" = 1
exec 5>&-

# --- backlash, which the board keeps in its configuration block (bytes 0x0C-0x0D)
block=$(sim_say record && awk -v asked="$(hex FWreadEE) 00 90" 'got { sub(/.*<< /, ""); print; exit }
  index($0, ">> " asked) { got = 1 }' "$work/wire")
echo "# block read at connect: $block"
writes() { sim_say record && grep ">> $(hex FWwriteEE) 00 90 " "$work/wire" | sed "s/.*>> $(hex FWwriteEE) 00 90 //"; }
wrote_backlash() {  # low, high: the last block written is the one read with only these bytes changed
  local last; last=$(writes | tail -n 1); echo "# block written:         $last"
  [ "$last" = "$(awk -v lo="$1" -v hi="$2" '{ $13 = lo; $14 = hi; print }' <<<"$block")" ]
}
check "backlash from the board" test "$(get FOCUS_BACKLASH_TOGGLE.INDI_ENABLED) $(get FOCUS_BACKLASH_STEPS.FOCUS_BACKLASH_VALUE)" = "On 10"
set_prop "$dev.FOCUS_BACKLASH_STEPS.FOCUS_BACKLASH_VALUE=300" && wait_for 5 "\"$dev.FOCUS_BACKLASH_STEPS.FOCUS_BACKLASH_VALUE\"==300"
check "backlash written into the block, nothing else" wrote_backlash 2C 01
sent=$(writes | wc -l) && set_prop "$dev.FOCUS_BACKLASH_STEPS.FOCUS_BACKLASH_VALUE=1001"
check "backlash beyond 1000 refused, nothing sent" eval 'wait_for 5 "\"$dev.FOCUS_BACKLASH_STEPS._STATE\"==$ALERT" && [ "$(writes | wc -l)" = "$sent" ]'
set_prop "$dev.FOCUS_BACKLASH_TOGGLE.INDI_ENABLED=Off;INDI_DISABLED=On" && wait_for 5 "\"$dev.FOCUS_BACKLASH_TOGGLE.INDI_DISABLED\"==1"
check "backlash off writes 0" wrote_backlash 00 00

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
