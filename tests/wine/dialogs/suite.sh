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
sim_pids+=("$screen_pid")  # stopped by its PID with the boards

# dialog_step STEP: what the test program asks for.
dialog_step() {
  case "$1" in
    record-*) board_ok dialogs record ;;
    shot-*) shot_step "$1" "$shots" ;;
    *) return 1 ;;
  esac
}

cp "$clients/dialogs/quillmoor-dialog-tests.exe" "$drive_c/"
start_board_ctl dialogs 3 --time-scale 0 --microsteps 16
client_exe='C:\quillmoor-dialog-tests.exe' \
  client_steps dialogs dialog_step 240 --com-port 3 --wire "$(winepath -w "$work/out/dialogs.wire" 2>/dev/null)"
stop_board_ctl dialogs
check "the wheel settings' OK leaves the link to its clients with one skip line" \
  test "$(debug_trace dialogs | grep -cE '^DisconnectMulti\(0x[0-9a-f]+\) = skip$')" -eq 1
for shot in focuser-settings microsteps wheel-settings; do
  check "screenshot $shot.png" test -s "$shots/$shot.png"
done
unset DISPLAY
