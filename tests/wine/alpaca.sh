#!/usr/bin/env bash
# The Windows build of the Alpaca server under Wine, checked by the same
# client test as the Linux server (tests/alpaca/api_test.py) and by discovery
# on loopback, in a Wine prefix of its own whose COM ports lead to the board
# simulator; then COM3 taken in turn by the server and by Quillmoor.DLL (the
# DLL suite's client). Builds nothing.
#
#   tests/wine/alpaca.sh --exe build-win/alpaca/quillmoor-alpaca.exe \
#                        --dll build-win/driver/Quillmoor.DLL --clients build-win/tests/wine \
#                        --sim build-wine-sim/sim/quillmoor-sim --build-dir build-win
#
# Prints "N passed, N failed" last and exits non-zero when anything failed.
set -u

usage() { echo "usage: $0 --exe PATH --dll PATH --clients DIR --sim PATH --build-dir DIR" >&2; exit 2; }
exe= dll= clients= sim= build_dir=
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --dll) dll=$2; shift 2 ;;
    --clients) clients=$2; shift 2 ;;
    --sim) sim=$(realpath "$2"); shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ -f "$exe" ] && [ -f "$dll" ] && [ -d "$clients" ] && [ -x "$sim" ] && [ -n "$build_dir" ] || usage

here=$(cd "$(dirname "$0")" && pwd)
. "$here/prefix.sh"
wine_scratch "$build_dir" alpaca-suite

. "$here/harness.sh"
. "$here/lib.sh"

echo "# prefix $WINEPREFIX"
make_wine_prefix
wineserver -p >/dev/null 2>&1
if ! ensure_port_mapping 3; then
  fail "COM3 of the prefix leads to $work/ports/com3" "$(ls -l "$WINEPREFIX/dosdevices")"
  echo "$passed passed, $failed failed"
  exit 1
fi

# script NAME COMMAND...: runs one of the Python scripts and adds its counts;
# a script that ends without its count line counts as one failure.
script() {
  local name=$1 log=$work/out/$1.log summary; shift
  echo "== $name"
  "$@" 2>&1 | tee "$log"
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  if [ -z "$summary" ]; then fail "$name ended without its counts"; return; fi
  passed=$((passed + $(cut -d' ' -f1 <<<"$summary")))
  failed=$((failed + $(cut -d' ' -f3 <<<"$summary")))
}

wine_args=(--wine-prefix "$WINEPREFIX" --wine-ports "$work/ports")
script "client test" python3 "$here/../alpaca/api_test.py" --server "$exe" --sim "$sim" "${wine_args[@]}"
# Wine's sockets belong to the prefix's server, so a network namespace for
# the broadcasts needs that server started inside it, with its services
# (which would hold the first program's output pipes open).
discovery=(python3 "$here/../alpaca/discovery_test.py" --server "$exe" "${wine_args[@]}")
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
  wineserver -k >/dev/null 2>&1
  wineserver -w
  script "discovery" unshare -n bash -c 'wineserver -p >/dev/null 2>&1; "$0" cmd /c exit </dev/null >/dev/null 2>&1
    "$@"; status=$?; wineserver -k >/dev/null 2>&1; exit $status' "$wine64" "${discovery[@]}"
  wineserver -w
  wineserver -p >/dev/null 2>&1
else
  script "discovery on loopback" "${discovery[@]}" --loopback-only
fi

# The same .exe as a service: registered with start= auto, it starts with the
# prefix and serves; the control manager's stop ends it. The port it held is
# free again: the server at the start of the next part connects to it.
reg_value() { "$wine64" reg query "$1" /v "$2" "${@:3}" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $3 }'; }
mkdir -p "$drive_c/Quillmoor"
cp "$exe" "$drive_c/Quillmoor/quillmoor-alpaca.exe"
service_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start_board service 3
"$wine64" sc create QuillmoorAlpaca binPath= "C:\Quillmoor\quillmoor-alpaca.exe --service --serial COM3 --http-port $service_port --bind 127.0.0.1 --discovery-port 0" start= auto >"$work/out/sc.log" 2>&1 </dev/null
same "sc create registers the service to start with the system" 0x2 \
  "$(reg_value 'HKLM\System\CurrentControlSet\Services\QuillmoorAlpaca' Start)"
wineserver -k >/dev/null 2>&1
wineserver -w
wineserver -p >/dev/null 2>&1
ensure_port_mapping 3 >/dev/null  # starts the prefix's services, this one among them
service_connect() {
  curl -s -m 70 -X PUT -d Connected=true "http://127.0.0.1:$service_port/api/v1/focuser/0/connected" | grep -q '"ErrorNumber":0,'
}
check "the service started with the prefix and connects to the board" wait_until 30 service_connect
service_state() { "$wine64" sc query QuillmoorAlpaca </dev/null 2>/dev/null | tr -d '\r' | grep -q "STATE *: *$1 "; }
service_pid=$(pgrep -f "quillmoor-alpaca[.]exe --service --serial COM3 --http-port $service_port ")
"$wine64" sc stop QuillmoorAlpaca >>"$work/out/sc.log" 2>&1 </dev/null
check "sc stop stops it through its handler" wait_until 20 service_state 1
check "its process has ended" [ -n "$service_pid" ] && wait_until 10 bash -c "! kill -0 $service_pid 2>/dev/null"
"$wine64" sc delete QuillmoorAlpaca >>"$work/out/sc.log" 2>&1 </dev/null
stop_board service
echo "# left out: restart on failure (sc failure): Wine 8's sc stores no failure actions and its control manager" \
  "restarts nothing, nor notices a service process that was killed"

# COM3 held by one program, then by the other: the server (connected and
# disconnected over HTTP at the client's steps) and the DLL's client.
cp "$dll" "$drive_c/Quillmoor/Quillmoor.DLL"
cp "$clients/quillmoor-wine-client.exe" "$drive_c/"
check "the DLL registers" "$wine64" regsvr32 /s 'C:\Quillmoor\Quillmoor.DLL'
start_board held 3
"$wine64" "$exe" --serial COM3 --http-port 0 --bind 127.0.0.1 --discovery-port 0 >"$work/out/held.server" 2>&1 &
server_pid=$!
sim_pids+=("$server_pid")
wait_until 30 grep -q 'serving on port' "$work/out/held.server"
base=http://127.0.0.1:$(sed -n 's/.*serving on port \([0-9]*\),.*/\1/p' "$work/out/held.server")
put_connected() { curl -s -m 70 -X PUT -d "Connected=$1" "$base/api/v1/focuser/0/connected"; }
held_port_step() {
  local reply
  case $1 in
    server-connects) reply=$(put_connected true); grep -q '"ErrorNumber":0,' <<<"$reply" || { echo "$reply"; return 1; } ;;
    server-disconnects) put_connected false >/dev/null ;;
    server-refused)
      reply=$(put_connected true)
      check "the server's connect while the driver holds COM3 says the port is in use by another program" \
        grep -q '"ErrorNumber":1282,"ErrorMessage":"The serial port is in use by another program' <<<"$reply" ||
        echo "    $reply" ;;
    *) return 1 ;;
  esac
}
client_steps held-port held_port_step 120 held-port --com-port 3
kill -INT "$server_pid"
wait "$server_pid"
check "the server ends on Ctrl-C after the held port" [ $? -eq 0 ]
stop_board held

# What the runs left in the prefix: the range the client test set through the
# setup API is in the driver's own key, where the DLL reads it; the server's
# own settings are in the user's key; the temperature log is on C:\.
same "the range set through the setup API is in the driver's key" 0x3e8 \
  "$(reg_value 'HKLM\Software\ASCOM\Focuser Drivers\Quillmoor.Focuser' AscomMaxFocusPos /reg:32)"
same "the server's serial port is in the user's key" COM3 "$(reg_value 'HKCU\Software\Quillmoor\Alpaca' SerialPort)"
check 'the temperature log is written on C:\' \
  grep -q '^Time,T0,T1,Focus,Filter' "$WINEPREFIX/drive_c/term_log_$(date +%Y-%m-%d).csv"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
