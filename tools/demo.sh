#!/usr/bin/env bash
# The main job: cross-builds Quillmoor.DLL and a late-binding Windows client,
# builds the board simulator, makes a private Wine prefix, registers the DLL,
# puts the simulated board behind COM2 (paced at 9600 baud, so the times are
# those a user sees), runs a short session of the focuser and the filter
# wheel through the drivers' ProgIDs, prints the trace log the driver wrote,
# and ends by opening the control dialog (SetupDialog) on a virtual screen
# and saving a screenshot of it.
#
#   tools/demo.sh                 everything above; the dialog closes itself
#   tools/demo.sh --interactive   the dialog opens on $DISPLAY and stays up
#                                 for a person to drive the simulated board
#
# Everything lands in build-win/ (the Windows programs) and build-demo/ (the
# simulator and the Wine prefix). Run from anywhere; needs apt-get as root or
# through sudo for whatever is missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
started=$(date +%s)
trap 'echo "demo.sh: failed at line $LINENO" >&2' ERR

interactive=""
case "${1:-}" in
  "") ;;
  --interactive)
    [ -n "${DISPLAY:-}" ] || { echo "demo.sh: --interactive needs a display (DISPLAY is not set)" >&2; exit 2; }
    interactive=$DISPLAY ;;
  *) echo "usage: tools/demo.sh [--interactive]" >&2; exit 2 ;;
esac

step() { printf '== %s\n' "$*"; }
# quietly LOG COMMAND...: runs the command with its output in LOG, shown only
# when it fails.
quietly() {
  local log=$1; shift
  if ! "$@" >"$log" 2>&1; then
    echo "failed: $*" >&2
    tail -n 40 "$log" >&2
    return 1
  fi
}

step "packages"
tools/install-deps.sh all

step "building Quillmoor.DLL and the Windows client (build-win)"
mkdir -p build-demo
quietly build-demo/build-win.log cmake -S . -B build-win -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
quietly build-demo/build-win.log cmake --build build-win -j 2 \
  --target quillmoor_driver quillmoor-wine-client
dll=$top/build-win/driver/Quillmoor.DLL
client=$top/build-win/tests/wine/quillmoor-wine-client.exe

step "building the board simulator (build-demo)"
quietly build-demo/build-sim.log cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release
quietly build-demo/build-sim.log cmake --build build-demo -j 2 --target quillmoor-sim
sim=$top/build-demo/sim/quillmoor-sim

work=$top/build-demo/wine-session
rm -rf "$work"
mkdir -p "$work/ports" "$work/out"
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
drive_c=$WINEPREFIX/drive_c

sim_pid=""
screen_pid=""
client_pid=""
cleanup() {
  local pid
  for pid in "$client_pid" "$sim_pid" "$screen_pid"; do
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  done
  # Only the server of this prefix: WINEPREFIX is ours.
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step "a Wine prefix of its own ($WINEPREFIX)"
# ComPort 0 is "Auto", LogFile names the trace file; the driver's settings
# live in the 32-bit view (Wow6432Node).
settings='ASCOM\Focuser Drivers\Quillmoor.Focuser'
trace_file='C:\quillmoor-trace.log'
. "$top/tests/wine/prefix.sh"
make_wine_prefix "$(printf '[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\%s]\n"ComPort"=dword:00000000\n"LogFile"="%s"\n' \
  "$settings" "${trace_file//\\/\\\\}")"
wineserver -p >/dev/null 2>&1

mkdir -p "$drive_c/Quillmoor"
cp "$dll" "$drive_c/Quillmoor/Quillmoor.DLL"
cp "$client" "$drive_c/quillmoor-client.exe"
step 'regsvr32 C:\Quillmoor\Quillmoor.DLL'
quietly "$work/out/regsvr32.log" "$wine64" regsvr32 /s 'C:\Quillmoor\Quillmoor.DLL'

step "the simulated board behind COM2 at 9600 baud, nothing on COM1"
"$sim" --pace --time-scale 0.2 --notices --link "$work/ports/com2" \
  </dev/null >"$work/out/sim.out" 2>"$work/out/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -L "$work/ports/com2" ] && [ -s "$work/out/sim.out" ] && break; sleep 0.05; done
[ -L "$work/ports/com2" ] || { echo "the simulator did not start: $(cat "$work/out/sim.err")" >&2; exit 1; }
echo "COM2 -> $(head -n 1 "$work/out/sim.out")"
echo "HKLM\\Software\\$settings: ComPort = 0 (Auto), LogFile = $trace_file"

step "session"
# Output goes to a file: Wine's own services keep a pipe open.
status=0
wine 'C:\quillmoor-client.exe' session >"$work/out/session.txt" 2>"$work/out/session.err" || status=$?
tr -d '\r' <"$work/out/session.txt"

step "trace log ($trace_file; seconds since the driver loaded)"
if [ -f "$drive_c/quillmoor-trace.log" ]; then
  # cat -v shows any raw byte a line carries (as ^T and the like).
  tr -d '\r' <"$drive_c/quillmoor-trace.log" | cat -v
else
  echo "(no trace file was written)"
  status=1
fi

step "the control dialog (SetupDialog of the focuser)"
. "$top/tests/wine/screen.sh"
. "$top/tests/wine/lib.sh"
fail() { echo "$*" >&2; status=1; }
start_wine_screen "$work/out/xvfb.log" "$interactive"
shot_folder=$top/build-demo/screenshots
mkdir -p "$shot_folder"
scenario=control-demo limit=120
[ -z "$interactive" ] || scenario=control-demo-interactive limit=86400
# The client asks for its screenshot with a "step shot-..." line.
wine 'C:\quillmoor-client.exe' "$scenario" >"$work/out/dialog.txt" 2>"$work/out/dialog.err" &
client_pid=$!
shoot() { shot_step "$1" "$shot_folder"; }
serve_steps "control dialog" "$client_pid" "$work/out/dialog.txt" shoot "$limit"
wait "$client_pid" || status=1
client_pid=""
tr -d '\r' <"$work/out/dialog.txt" | grep -v '^step '
[ -s "$shot_folder/control-dialog.png" ] && echo "screenshot: $shot_folder/control-dialog.png"

echo "== took $(( $(date +%s) - started )) s"
if [ "$status" -ne 0 ]; then
  echo "the session failed (status $status)" >&2
  tail -n 5 "$work/out/session.err" >&2
fi
exit "$status"
