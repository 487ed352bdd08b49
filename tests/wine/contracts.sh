# The current ASCOM contracts through the late-bound client, and Wine's own
# script host as an old client. Sourced by suite.sh while the DLL is
# registered; the options key it leaves (COM3, MaxStep 2000) is removed by the
# timer block after it.

# --- The current contracts, grouped as the conformance checker groups them ---
# Moves at 1/20 of their time (4000 steps/s), 200 ms a wheel slot, the third
# filter without a name, no answer to the first temperature reading.
# board_memory FILE NAME...: the board's memory as it comes from the factory,
# with these filter names.
board_memory() {
  local file=$1 name; shift
  {
    printf '\x00\x05\x90\x01\x01\x02\x01\x02\xc8\x00\x02\x08\x0a\x00\x00\x02\xf4\xff\x04\x00\x05\x00'
    printf '\x00\x00\xc8\x00\x90\x01\x58\x02\x20\x03'; head -c 10 /dev/zero
    printf '\x00\x00\x0a\x00\x14\x00\x1e\x00\x23\x00'; head -c 10 /dev/zero
    for name in "$@"; do printf '%s' "$name"; head -c $((8 - ${#name})) /dev/zero; done
    head -c $((8 * (10 - $#))) /dev/zero
    printf '\xc8\x00'
  } >"$file"
}
board_memory "$work/out/third-unnamed.mem" L R '' B Ha
start_board conformance 3 --time-scale 0.05 --slot-ms 4000 --memory "$work/out/third-unnamed.mem" \
  --fault FWtemperature=silent:1
client conformance conformance --com-port 3 --focus-shift 0 --max-step 2000
stop_board conformance
same "conformance: the wheel was sent exactly the slots accepted, nothing for -1 or 5" \
  "$(for slot in 1 2 3 4 3 2 1 0 4 1 3 0 2; do hex FWGOTO 3$slot; done)" \
  "$(sent_stream conformance | grep -o "$(hex FWGOTO) [0-9A-F][0-9A-F]")"

# --- Wine's own script host as an old client ---------------------------------
# The options the conformance client left: COM3, MaxStep 2000.
start_board script 3 --time-scale 0
cp "$here/old_client.vbs" "$drive_c/old-client.vbs"
"${script_host[@]}" //nologo 'C:\old-client.vbs' >"$work/out/script.client" 2>"$work/out/script.debug"
stop_board script
same "script host: an old client's session, with the ASCOM codes" "\
InterfaceVersion 3 2
Link True Connected True
Position 1200 IsMoving False
Halt 80040400 Not Supported
wheel Position = 7: 80040401
wheel Position 2 0
Link False
Move, not connected: 80040407 Not connected to the board: set Connected to true first" \
  "$(tr -d '\r' <"$work/out/script.client")"
