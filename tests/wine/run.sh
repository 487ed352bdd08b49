#!/usr/bin/env bash
# The Wine suite of Quillmoor.DLL. Builds nothing: it takes the cross-built
# DLL and Windows test programs and the native board simulator, makes a
# private Wine prefix under the build folder, registers the DLL, puts
# simulated boards on COM ports and runs the late-binding client through its
# scenarios, checking what the client saw, the registry, the wire bytes the
# simulator recorded and the trace.
#
#   tests/wine/run.sh --dll build-win/driver/Quillmoor.DLL \
#                     --clients build-win/tests/wine \
#                     --sim build/sim/quillmoor-sim --cli build/tools/quillmoor \
#                     --build-dir build-win
#
# --dialogs-only runs just the dialogs, for work on them. --bits 32 takes a
# 32-bit DLL and 32-bit test programs (from build-win32), registers them with
# the 32-bit regsvr32 and runs only the late-bound scenarios of suite.sh.
#
# After suite.sh, faults.sh pulls the cable, spoils replies, floods the line
# and runs the 8-thread load for QUILLMOOR_STRESS_SECONDS (default 60);
# dialogs/suite.sh then drives the setup dialogs under Xvfb.
#
# Needs: wine, wine64 (wineserver, regsvr32), Xvfb, ImageMagick, fonts-wine.
# Prints "N passed, N failed" last and exits non-zero when anything failed.
set -u

usage() {
  echo "usage: $0 --dll PATH --clients DIR --sim PATH --cli PATH --build-dir DIR [--dialogs-only] [--bits 32]" >&2
  exit 2
}
dll= clients= sim= cli= build_dir= dialogs_only= bits=64
while [ $# -gt 0 ]; do
  case "$1" in
    --dll) dll=$2; shift 2 ;;
    --clients) clients=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --dialogs-only) dialogs_only=1; shift ;;
    --bits) bits=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ "$bits" = 64 ] || [ "$bits" = 32 ] || usage
[ -f "$dll" ] && [ -x "$sim" ] && [ -x "$cli" ] && [ -d "$clients" ] && [ -n "$build_dir" ] || usage
for tool in wine wineserver; do
  command -v $tool >/dev/null || { echo "$tool not found" >&2; echo "0 passed, 1 failed"; exit 1; }
done

here=$(cd "$(dirname "$0")" && pwd)
. "$here/prefix.sh"
wine_scratch "$build_dir" wine-suite

# An apostrophe in the folder checks how the module path is registered.
install_dir="$drive_c/Quill'moor"
win_dll="C:\\Quill'moor\\Quillmoor.DLL"

. "$here/harness.sh"
. "$here/lib.sh"
# Each build registers with the regsvr32 of its own bitness.
regsvr32=("$wine64" regsvr32)
[ "$bits" = 32 ] && regsvr32=(wine 'C:\windows\syswow64\regsvr32.exe')
# The script host of the DLL's own bitness, so that it can load it.
script_host=("$wine64" cscript)
[ "$bits" = 32 ] && script_host=(wine 'C:\windows\syswow64\cscript.exe')

start_prefix() {
  make_wine_prefix
  wineserver -p >/dev/null 2>&1
  mkdir -p "$install_dir"
  cp "$dll" "$install_dir/Quillmoor.DLL"
  cp "$clients/quillmoor-wine-client.exe" "$clients/quillmoor-regtool.exe" "$drive_c/"
}

echo "# prefix $WINEPREFIX"
start=$(date +%s)
start_prefix
if [ -z "$dialogs_only" ]; then
  . "$here/suite.sh"
  [ "$bits" = 64 ] && . "$here/faults.sh"  # faults on the Windows side and the load run
fi
[ "$bits" = 64 ] && . "$here/dialogs/suite.sh"  # the setup dialogs, on a virtual screen
echo "# suite took $(( $(date +%s) - start )) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
