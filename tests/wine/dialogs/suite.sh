# The setup dialogs on a virtual screen. Sourced by tests/wine/run.sh after
# the COM scenarios. The test program connects to a board reporting 16
# microsteps per full step, opens each dialog and drives it; the harness
# writes the wire record and takes screenshots when it asks. Pictures land in
# $build_dir/screenshots.

shots=$(cd "$build_dir" && pwd)/screenshots
mkdir -p "$shots"
rm -f "$shots"/*.png

. "$here/screen.sh"
start_wine_screen "$work/out/xvfb.log" || fail "the virtual screen did not start"
[ -n "$screen_pid" ] && sim_pids+=("$screen_pid")  # stopped by its PID with the boards

# screen_step STEP: what a test program asks for, of the board $step_board.
screen_step() {
  case "$1" in
    record-*) board_ok "$step_board" record ;;
    shot-*) shot_step "$1" "$shots" ;;
    *) return 1 ;;
  esac
}

cp "$clients/dialogs/quillmoor-dialog-tests.exe" "$drive_c/"
start_board_ctl dialogs 3 --time-scale 0 --microsteps 16
step_board=dialogs client_exe='C:\quillmoor-dialog-tests.exe' \
  client_steps dialogs screen_step 240 --com-port 3 --wire "$(winepath -w "$work/out/dialogs.wire" 2>/dev/null)"
stop_board_ctl dialogs
check "the wheel settings' OK leaves the link to its clients with one skip line" \
  test "$(debug_trace dialogs | grep -cE '^DisconnectMulti\(0x[0-9a-f]+\) = skip$')" -eq 1
# The control dialog through SetupDialog of each object: once while the
# focuser object holds the link, once alone. The settings start fresh, so
# that the saved file can be compared with the command-line client's.
"$wine64" regsvr32 /s "$win_dll" >/dev/null 2>&1
client_sets() { debug_trace "$1" | grep -E '^(Connect|Disconnect)Multi\(|::SetupDialog\('; }
start_board_ctl control 3 --time-scale 0
step_board=control
control_wire=$(winepath -w "$work/out/control.wire" 2>/dev/null)
client_steps control-shared screen_step 180 control-shared --fresh-settings --com-port 3 --focus-shift 0 \
  --wire "$control_wire"
same "control-shared: Disconnect and Exit leave the focuser's link" "\
ConnectMulti(0x1) = connect
CFocuserImpl::SetupDialog()
DisconnectMulti(0x2) = skip
DisconnectMulti(0x2) = skip
DisconnectMulti(0x1) = Disconnect" "$(client_sets control-shared)"
client_steps control-alone screen_step 180 control-alone --fresh-settings --com-port 3 --focus-shift 0 \
  --wire "$control_wire"
same "control-alone: the dialog connects as the first client and disconnects as the last" "\
CFilterWheelImpl::SetupDialog()
ConnectMulti(0x2) = connect
DisconnectMulti(0x2) = Disconnect" "$(client_sets control-alone)"
QUILLMOOR_PORTS="$work/ports" XDG_CONFIG_HOME="$work/cli-config" "$cli" --port COM3 save "$work/out/native.fws" \
  >"$work/out/cli-save.log" 2>&1
check "\"Save...\" writes the same bytes as the command-line client's save" \
  cmp "$drive_c/control-saved.fws" "$work/out/native.fws"
stop_board_ctl control

for shot in focuser-settings microsteps wheel-settings control-dialog; do
  check "screenshot $shot.png" test -s "$shots/$shot.png"
done
unset DISPLAY
