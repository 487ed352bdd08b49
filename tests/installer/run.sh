#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix: a silent install, both
# builds driven by the late-bound client of their own bitness, uninstall and
# reinstall with the options kept, an upgrade over the installed version, a
# DLL in use during a silent upgrade, and the first page on a virtual screen;
# with them the network server's service, through install, upgrade and uninstall.
#
#   tests/installer/run.sh --dll64 build-win/driver/Quillmoor.DLL --dll32 build-win32/driver/Quillmoor.DLL \
#       --server build-win/alpaca/quillmoor-alpaca.exe --clients64 build-win/tests/wine --clients32 build-win32/tests/wine \
#       --sim build-wine-sim/sim/quillmoor-sim --build-dir build-installer
#
# The 32-bit checks run only where this machine starts i386 programs
# (tools/i386.sh); elsewhere they are counted as skipped. Ends with
# "N passed, N failed, N skipped"; the first page is saved as
# BUILD_DIR/screenshots/installer-first-page.png.
set -u

usage() {
  echo "usage: $0 --dll64 PATH --dll32 PATH --server PATH --clients64 DIR --clients32 DIR --sim PATH --build-dir DIR" >&2
  exit 2
}
dll64= dll32= server= clients64= clients32= sim= build_dir=
while [ $# -gt 0 ]; do
  case "$1" in
    --dll64) dll64=$2; shift 2 ;;
    --dll32) dll32=$2; shift 2 ;;
    --server) server=$2; shift 2 ;;
    --clients64) clients64=$2; shift 2 ;;
    --clients32) clients32=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ -f "$dll64" ] && [ -f "$dll32" ] && [ -f "$server" ] && [ -d "$clients64" ] && [ -d "$clients32" ] && [ -x "$sim" ] &&
  [ -n "$build_dir" ] || usage

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$top/tools/i386.sh"
i386_probe
. "$top/tests/wine/prefix.sh"
wine_scratch "$build_dir" installer-suite
mkdir -p "$work/setup"

. "$top/tests/wine/harness.sh"
skipped=0
# check32 NAME COMMAND...: a check that needs 32-bit Windows programs.
check32() {
  if [ "$QUILLMOOR_I386" = yes ]; then check "$@"; else skipped=$((skipped + 1)); echo "skip $1"; fi
}

. "$top/tests/wine/lib.sh"

focuser_clsid='{0A7EB263-F0A2-4BEA-9233-4014C079DE48}'
wheel_clsid='{44723263-F0A2-41EA-1233-1014C079DE48}'
libid='{C54CF23C-F0A2-4D40-A1B2-ABA5B33E2E7C}'
options_key='HKLM32\Software\ASCOM\Focuser Drivers\Quillmoor.Focuser'
wheel_key='HKLM32\Software\ASCOM\FilterWheel Drivers\Quillmoor.FilterWheel'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor'
folder64="$drive_c/Program Files/Common Files/ASCOM/Focuser"
folder32="$drive_c/Program Files (x86)/Common Files/ASCOM/Focuser"
path64='C:\Program Files\Common Files\ASCOM\Focuser\Quillmoor.DLL'
path32='C:\Program Files (x86)\Common Files\ASCOM\Focuser\Quillmoor.DLL'

# --- Two versions of the installer ------------------------------------------
# The newer one carries DLLs with a marker appended (the loader ignores data
# after the image), so that a test can tell which DLLs are in place.
for bits in 64 32; do
  source_dll=$dll64; [ $bits = 32 ] && source_dll=$dll32
  cp "$source_dll" "$work/setup/old$bits.dll"
  { cat "$source_dll"; printf 'quillmoor upgrade marker'; } >"$work/setup/new$bits.dll"
done
cp "$server" "$work/setup/old-server.exe"
{ cat "$server"; printf 'quillmoor upgrade marker'; } >"$work/setup/new-server.exe"
for version in old:1.0.0.1 new:1.0.0.2; do
  name=${version%%:*}
  if ! "$top/tools/installer/build.sh" --version "${version#*:}" --dll64 "$work/setup/${name}64.dll" \
       --dll32 "$work/setup/${name}32.dll" --server "$work/setup/$name-server.exe" --out "$work/setup/setup-$name.exe" >"$work/out/makensis-$name.log" 2>&1; then
    fail "makensis builds the $name installer" "$(tail -20 "$work/out/makensis-$name.log")"
    echo "$passed passed, $failed failed, $skipped skipped"
    exit 1
  fi
done
x86_64-w64-mingw32-gcc -municode -O -o "$work/setup/hold_file.exe" "$here/hold_file.c" ||
  fail "hold_file.exe builds"

echo "# prefix $WINEPREFIX"
start=$(date +%s)
make_wine_prefix
wineserver -p >/dev/null 2>&1
cp "$work/setup/setup-old.exe" "$work/setup/setup-new.exe" "$clients64/quillmoor-wine-client.exe" "$clients64/quillmoor-regtool.exe" "$work/setup/hold_file.exe" "$drive_c/"
cp "$clients32/quillmoor-wine-client.exe" "$drive_c/quillmoor-wine-client32.exe"

# What the installer can register depends on whether Wine starts 32-bit
# programs here, which the probe alone does not tell: QUILLMOOR_NO_I386 skips
# the 32-bit checks but leaves an installed wine32 working. Where the 32-bit
# regsvr32 cannot start, every install ends with 4 (a DLL not registered),
# which also outranks the 3010 of a DLL in use.
wine 'C:\windows\syswow64\cmd.exe' /c exit 7 >/dev/null 2>&1
if [ $? -eq 7 ]; then registers32=yes ok_status=0 in_use_status=$((3010 % 256))
else registers32=no ok_status=4 in_use_status=4; fi
echo "# 32-bit programs start under Wine here: $registers32"

# setup NAME [ARGS]: runs an installer and prints its exit code (Wine gives
# the low byte of the Windows code: 3010 reads 194).
setup() { local name=$1; shift; wine "C:\\setup-$name.exe" "$@" >"$work/out/setup-$name.log" 2>&1; echo $?; }
# value KEY NAME: one value line of regtool's dump ("@" for the default value).
value() { regtool dump "$1" | grep -F "$([ "$2" = @ ] && echo '@=' || echo "\"$2\"=")" | head -1; }
# client_as BITS NAME SCENARIO [options]: the late-bound client of that bitness.
client_as() {
  local bits=$1 name=$2 exe='C:\quillmoor-wine-client.exe'; shift 2
  [ "$bits" = 32 ] && exe='C:\quillmoor-wine-client32.exe'
  WINEDEBUG=-all,warn+debugstr wine "$exe" "$@" >"$work/out/$name.client" 2>"$work/out/$name.debug"
  count_client "$name" $?
}
# drive BITS NAME [options]: both objects by ProgID, connected to a board on
# COM3, a move and a turn.
drive() {
  local bits=$1 name=$2; shift 2
  start_board "$name" 3 --time-scale 0
  client_as "$bits" "$name" members "$@"
  stop_board "$name"
}
same_file() { cmp -s "$1" "$2"; }
gone() { [ "$(regtool dump "$1")" == "[$1] missing" ]; }
# wait_gone SECONDS PATH...: the uninstaller goes on in a copy of itself
# after the program started has ended; its effects are waited for.
wait_gone() { local limit=$1; shift; wait_until "$limit" bash -c 'for p; do [ ! -e "$p" ] || exit 1; done' - "$@"; }

# --- A silent install ------------------------------------------------------
status=$(setup old /S)
check "the silent install ends with $ok_status" test "$status" -eq "$ok_status"
check "the 64-bit DLL is in the 64-bit Common Files" same_file "$work/setup/old64.dll" "$folder64/Quillmoor.DLL"
check "the 32-bit DLL is in the 32-bit Common Files" same_file "$work/setup/old32.dll" "$folder32/Quillmoor.DLL"
check "no unpacked copy is left beside the DLLs" test ! -e "$folder64/Quillmoor.DLL.new" -a ! -e "$folder32/Quillmoor.DLL.new"
check "the uninstaller is in Program Files\\Quillmoor" test -f "$drive_c/Program Files/Quillmoor/Uninstall.exe"
for clsid in "$focuser_clsid" "$wheel_clsid"; do
  check "InprocServer32 of $clsid in the 64-bit view is the 64-bit DLL" \
    test "$(value "HKCR\\CLSID\\$clsid\\InprocServer32" @)" == "@=sz:\"$path64\""
  check32 "InprocServer32 of $clsid in the 32-bit view is the 32-bit DLL" \
    test "$(value "HKCR32\\CLSID\\$clsid\\InprocServer32" @)" == "@=sz:\"$path32\""
done
check "the type library is registered for 64-bit programs from the 64-bit DLL" \
  test "$(value "HKCR\\TypeLib\\$libid\\1.0\\0\\win64" @)" == "@=sz:\"$path64\""
check32 "the type library is registered for 32-bit programs from the 32-bit DLL" \
  test "$(value "HKCR32\\TypeLib\\$libid\\1.0\\0\\win32" @)" == "@=sz:\"$path32\""
check "the Chooser lists the focuser as \"Quillmoor driver\"" \
  test "$(value "$options_key" @)" == '@=sz:"Quillmoor driver"'
check "the Chooser lists the filter wheel as \"ZelkFilterWheel driver\"" \
  test "$(value "$wheel_key" @)" == '@=sz:"ZelkFilterWheel driver"'
uninstall_dump=$(regtool dump "$uninstall_key")
same "the Uninstall key" "\
[$uninstall_key]
\"DisplayName\"=sz:\"Quillmoor ASCOM drivers (focuser and filter wheel)\"
\"DisplayVersion\"=sz:\"1.0.0.1\"
\"InstallLocation\"=sz:\"C:\\Program Files\\Quillmoor\"
\"NoModify\"=dword:00000001
\"NoRepair\"=dword:00000001
\"Publisher\"=sz:\"Zelk\"
\"QuietUninstallString\"=sz:\"\"C:\\Program Files\\Quillmoor\\Uninstall.exe\" /S\"
\"UninstallString\"=sz:\"\"C:\\Program Files\\Quillmoor\\Uninstall.exe\"\"" \
  "$(grep -v EstimatedSize <<<"$uninstall_dump")"
size_kb=$(( ($(stat -c %s "$dll64") + $(stat -c %s "$dll32")) / 1024 ))
estimated=$(( 16#$(sed -n 's/^"EstimatedSize"=dword://p' <<<"$uninstall_dump") ))
check "EstimatedSize ($estimated KB) is the size of both DLLs ($size_kb KB)" \
  test "$estimated" -ge "$size_kb" -a "$estimated" -le $((size_kb + 8))
# Users: KEY_READ | KEY_WRITE, for the key and its subkeys (CC DC LC SW RP RC).
sddl=$(regtool sddl "$options_key")
echo "# options key access list as set by DllInstall: $sddl"
check "the Users group may read and write the options key" grep -qF '(A;OICI;CCDCLCSWRPRC;;;BU)' <<<"$sddl"

# The network server: its service runs the installed program and answers on loopback.
server_exe="$drive_c/Program Files/Quillmoor/quillmoor-alpaca.exe"
service_state() { "$wine64" sc query QuillmoorAlpaca </dev/null 2>/dev/null | tr -d '\r' | grep -q "STATE *: *$1 "; }
no_service() { ! "$wine64" sc query QuillmoorAlpaca </dev/null >/dev/null 2>&1; }
apiversions() { curl -s --max-time 2 http://127.0.0.1:11111/management/apiversions; }
serves() { apiversions | grep -q '"Value":\[1\]'; }
check "the network server is installed" same_file "$work/setup/old-server.exe" "$server_exe"
check "its service is registered and running" wait_until 30 service_state 4
check "and answers on 127.0.0.1:11111" wait_until 30 serves
link=$(find "$drive_c" -name 'Quillmoor network server setup.url' 2>/dev/null | head -1)
check "the Start menu links to its setup page" grep -q 'URL=http://localhost:11111/setup' "$link"

# --- Both builds by ProgID, sharing the options ------------------------------
drive 64 drive64 --com-port 3 --focus-shift 1000 --log 'C:\quillmoor-trace.log'
check "the 64-bit DLL saved its options to the shared key" \
  test "$(value "$options_key" AscomFocusShift)" == '"AscomFocusShift"=dword:000003e8'
check "saving the options kept the Chooser entry" test "$(value "$options_key" @)" == '@=sz:"Quillmoor driver"'
# No options given: the 32-bit build finds COM3 and the shift of 1000 that the
# 64-bit one saved, or its checks of the positions fail.
if [ "$QUILLMOOR_I386" = yes ]; then drive 32 drive32; else check32 "the 32-bit client drives the 32-bit DLL"; fi

# --- Uninstall: nothing left but the options and the logs --------------------
wine 'C:\Program Files\Quillmoor\Uninstall.exe' /S >"$work/out/uninstall.log" 2>&1
check "the uninstaller removes every file" wait_gone 60 "$folder64" "$folder32" "$drive_c/Program Files/Quillmoor"
check "and stops and removes the server's service" wait_until 30 no_service
check "so nothing answers on port 11111 any more" bash -c '! curl -s --max-time 2 http://127.0.0.1:11111/management/apiversions'
check "the Start-menu link is gone" test ! -e "$link"
wait_until 30 gone "$uninstall_key"
leftovers=()
for key in "HKCR\\CLSID\\$focuser_clsid" "HKCR\\CLSID\\$wheel_clsid" "HKCR32\\CLSID\\$focuser_clsid" \
           "HKCR32\\CLSID\\$wheel_clsid" 'HKCR\Quillmoor.Focuser' 'HKCR\Quillmoor.Focuser.1' \
           'HKCR\Quillmoor.FilterWheel' 'HKCR\Quillmoor.FilterWheel.1' 'HKCR32\Quillmoor.Focuser' \
           'HKCR32\Quillmoor.FilterWheel' "HKCR\\TypeLib\\$libid" "HKCR32\\TypeLib\\$libid" "$wheel_key" \
           "$uninstall_key"; do
  gone "$key" || leftovers+=("$key")
done
check "no CLSID, ProgID, type library, wheel Chooser key or Uninstall key is left" test ${#leftovers[@]} -eq 0 ||
  printf '    left: %s\n' "${leftovers[@]}"
check "the focuser's Chooser entry is gone" test -z "$(value "$options_key" @)"
check "the options are kept" test "$(value "$options_key" AscomFocusShift)" == '"AscomFocusShift"=dword:000003e8'
check "the trace log is kept" test -s "$drive_c/quillmoor-trace.log"

# --- Reinstall: the options are still there --------------------------------
status=$(setup old /S)
check "the reinstall ends with $ok_status" test "$status" -eq "$ok_status"
check "after the reinstall the option written through the client is still there" \
  test "$(value "$options_key" AscomFocusShift)" == '"AscomFocusShift"=dword:000003e8'
check "after the reinstall the Chooser lists the focuser again" \
  test "$(value "$options_key" @)" == '@=sz:"Quillmoor driver"'

# --- Upgrade in place ----------------------------------------------------------
# A server's transaction numbers count from 1: after twenty reads, a low one
# shows a new process.
wait_until 30 serves
for _ in $(seq 20); do apiversions >/dev/null; done
status=$(setup new /S)
check "the upgrade ends with $ok_status" test "$status" -eq "$ok_status"
check "the upgrade put the new 64-bit DLL in place" same_file "$work/setup/new64.dll" "$folder64/Quillmoor.DLL"
check "the upgrade put the new 32-bit DLL in place" same_file "$work/setup/new32.dll" "$folder32/Quillmoor.DLL"
check "the Uninstall key shows the new version" \
  test "$(value "$uninstall_key" DisplayVersion)" == '"DisplayVersion"=sz:"1.0.0.2"'
check "the upgrade put the new server in place" same_file "$work/setup/new-server.exe" "$server_exe"
wait_until 30 serves
transaction=$(apiversions | sed -n 's/.*"ServerTransactionID":\([0-9]*\).*/\1/p')
check "and its service runs the new program ($transaction requests served)" test "${transaction:-99}" -lt 10
check "the upgrade kept the options" test "$(value "$options_key" AscomFocusShift)" == '"AscomFocusShift"=dword:000003e8'
drive 64 upgraded64
if [ "$QUILLMOOR_I386" = yes ]; then drive 32 upgraded32; else check32 "the upgraded 32-bit DLL drives"; fi

# --- A DLL in use during a silent install ------------------------------------
# Windows refuses to delete a loaded DLL; Wine does not, so a program that
# holds the file open without delete sharing stands in for one that loaded it.
rm -f "$drive_c/held" "$drive_c/release"
wine 'C:\hold_file.exe' "$path64" 'C:\held' 'C:\release' >/dev/null 2>&1 &
holder=$!
sim_pids+=("$holder")
wait_until 20 test -f "$drive_c/held"
status=$(setup old /S)
check "with the 64-bit DLL in use the silent install ends with $in_use_status (3010: restart needed; 4 outranks it)" \
  test "$status" -eq "$in_use_status"
check "the DLL in use is left as it was" same_file "$work/setup/new64.dll" "$folder64/Quillmoor.DLL"
check "the free 32-bit DLL was replaced at once" same_file "$work/setup/old32.dll" "$folder32/Quillmoor.DLL"
check "the replacement is scheduled for the next restart" \
  grep -q PendingFileRenameOperations <(regtool dump 'HKLM\System\CurrentControlSet\Control\Session Manager')
: >"$drive_c/release"
wait "$holder"
"$wine64" wineboot -r >"$work/out/wineboot-restart.log" 2>&1
check "after a restart the 64-bit DLL is replaced" same_file "$work/setup/old64.dll" "$folder64/Quillmoor.DLL"

# --- What the key's access list becomes when Wine restarts ------------------
wineserver -k >/dev/null 2>&1
wineserver -w
wineserver -p >/dev/null 2>&1
echo "# options key access list after the Wine server restarted: $(regtool sddl "$options_key")"

# --- The first page, on a virtual screen -------------------------------------
shots=$(cd "$build_dir" && pwd)/screenshots
mkdir -p "$shots"
. "$top/tests/wine/screen.sh"
if start_wine_screen "$work/out/xvfb.log"; then
  sim_pids+=("$screen_pid")
  wine 'C:\setup-new.exe' >"$work/out/setup-shown.log" 2>&1 &
  shown=$!
  sim_pids+=("$shown")
  # The page is up once the screen is no longer one colour.
  painted() { [ "$(import -window root -format '%k' info: 2>/dev/null)" -gt 20 ]; }
  wait_until 30 painted && sleep 2
  import -window root "$work/out/screen.png" && convert "$work/out/screen.png" -trim +repage "$shots/installer-first-page.png"
  check "the installer's first page is shown (installer-first-page.png)" painted
  kill "$shown" 2>/dev/null
else
  fail "the virtual screen did not start"
fi

echo "# suite took $(( $(date +%s) - start )) s"
i386_report "$skipped"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
