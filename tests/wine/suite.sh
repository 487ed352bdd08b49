# The scenarios of the Wine suite, in order. Sourced by run.sh after the
# prefix is up; each block states what it proves.

focuser_clsid='{0A7EB263-F0A2-4BEA-9233-4014C079DE48}'
wheel_clsid='{44723263-F0A2-41EA-1233-1014C079DE48}'
libid='{C54CF23C-F0A2-4D40-A1B2-ABA5B33E2E7C}'
options_key='HKLM32\Software\ASCOM\Focuser Drivers\Quillmoor.Focuser'
focuser_v3_iid='{8CCCABDD-3DA2-460D-AE0E-7B970A43C8E0}'
wheel_v2_iid='{D172C6D7-9C76-41D8-AD70-1495969E597A}'

# --- Registration --------------------------------------------------------
"${regsvr32[@]}" /u /s "$win_dll" >/dev/null 2>&1
check "unregistering with nothing registered succeeds" test $? -eq 0
check "HKCR\\CLSID is still there" regtool dump 'HKCR\CLSID' >/dev/null

# A subkey left by an earlier installation must not survive registration.
regtool mkkey "HKCR\\CLSID\\$focuser_clsid\\StaleFromEarlierInstall"
"${regsvr32[@]}" /s "$win_dll" >/dev/null 2>&1
check "regsvr32 registers the DLL" test $? -eq 0

for class in "Quillmoor.Focuser|$focuser_clsid|Quillmoor driver" \
             "Quillmoor.FilterWheel|$wheel_clsid|ZelkFilterWheel driver"; do
  IFS='|' read -r progid clsid description <<<"$class"
  same "$progid registry keys" "\
[HKCR\\$progid]
@=sz:\"$description\"
[HKCR\\$progid\\CLSID]
@=sz:\"$clsid\"
[HKCR\\$progid.1]
@=sz:\"$description\"
[HKCR\\$progid.1\\CLSID]
@=sz:\"$clsid\"
[HKCR\\CLSID\\$clsid]
@=sz:\"$description\"
[HKCR\\CLSID\\$clsid\\InprocServer32]
@=sz:\"C:\\Quill'moor\\Quillmoor.DLL\"
\"ThreadingModel\"=sz:\"both\"
[HKCR\\CLSID\\$clsid\\ProgID]
@=sz:\"$progid.1\"
[HKCR\\CLSID\\$clsid\\VersionIndependentProgID]
@=sz:\"$progid\"" \
    "$(regtool dump "HKCR\\$progid"; regtool dump "HKCR\\$progid.1"; regtool dump "HKCR\\CLSID\\$clsid")"
done
check "the type library is registered as version 1.0 from the DLL" \
  grep -qxF "@=sz:\"C:\\Quill'moor\\Quillmoor.DLL\"" <(regtool dump "HKCR\\TypeLib\\$libid\\1.0")

for iface in "IFocuserV3|$focuser_v3_iid" "IFilterWheelV2|$wheel_v2_iid"; do
  IFS='|' read -r name iid <<<"$iface"
  check "$name is registered for marshalling by the type library" \
    grep -qxF "@=sz:\"$name\"" <(regtool dump "HKCR\\Interface\\$iid")
done

# --- The type library of the built DLL: old IIDs and DISPIDs unchanged -------
client typelib typelib --dll "$win_dll"
grep -h '^# tlb' "$work/out/typelib.client" | tr -d '\r'

# --- Every member without a board ------------------------------------------
# COM12 leads nowhere: connecting fails at once.
client disconnected disconnected --com-port 12 --focus-shift 1000
same "disconnected: the trace of every member" "\
CFocuserImpl::get_Link(0)
CFocuserImpl::put_Link(-1)
ConnectMulti(0x1) = connect
CFocuserImpl::get_Link(0)
CFocuserImpl::put_Link(0)
CFocuserImpl::get_Absolute(-1)
CFocuserImpl::get_IsMoving(0)
CFocuserImpl::get_MaxIncrement(1000)
CFocuserImpl::get_MaxStep(30000)
CFocuserImpl::get_StepSize(10.000000)
CFocuserImpl::get_TempCompAvailable(1)
CFocuserImpl::get_Position(0)
CFocuserImpl::get_TempComp(-1)
CFocuserImpl::put_TempComp(-1)
CFocuserImpl::get_Temperature(0.000000)
CFocuserImpl::Move(500)
CFocuserImpl::Halt()
CFocuserImpl::SetupDialog()
CFilterWheelImpl::get_Connected(0)
CFilterWheelImpl::put_Connected(-1)
ConnectMulti(0x2) = connect
CFilterWheelImpl::get_Names()
CFilterWheelImpl::get_FocusOffsets()
CFilterWheelImpl::get_Position(-1)
CFilterWheelImpl::put_Position(2)
CFilterWheelImpl::SetupDialog()
CFilterWheelImpl::put_Connected(0)" "$(debug_trace disconnected | member_lines)"

# --- Every member against the board ----------------------------------------
start_board members 3 --time-scale 0
client members members --com-port 3 --focus-shift 1000 --log 'C:\trace-members.log'
stop_board members
same "members: the trace file" "\
CFocuserImpl::get_Link(-1)
CFocuserImpl::get_Absolute(-1)
CFocuserImpl::get_IsMoving(0)
CFocuserImpl::get_MaxIncrement(1000)
CFocuserImpl::get_MaxStep(30000)
CFocuserImpl::get_StepSize(10.000000)
CFocuserImpl::get_Position(0)
CFocuserImpl::Move(-200)
CFocuserImpl::get_Position(-200)
CFocuserImpl::put_TempComp(-1)
CFocuserImpl::get_TempComp(0)
CFocuserImpl::put_TempComp(0)
CFocuserImpl::get_TempComp(-1)
CFocuserImpl::get_TempCompAvailable(1)
CFocuserImpl::get_Temperature(18.500000)
CFocuserImpl::Halt()
CFocuserImpl::SetupDialog()
CFilterWheelImpl::put_Connected(-1)
ConnectMulti(0x2) = skip
CFilterWheelImpl::get_Connected(-1)
CFilterWheelImpl::get_Names()
CFilterWheelImpl::get_FocusOffsets()
CFilterWheelImpl::get_Position(0)
CFilterWheelImpl::put_Position(3)
CFilterWheelImpl::get_Position(3)
CFilterWheelImpl::SetupDialog()
CFilterWheelImpl::put_Connected(0)
DisconnectMulti(0x2) = skip
CFocuserImpl::put_Link(0)
DisconnectMulti(0x1) = Disconnect" "$(file_trace "$drive_c/trace-members.log" | member_lines)"
check "members: every trace file line carries its time stamp" all_stamped "$drive_c/trace-members.log"
check "members: the focuser move is traced by the controller" \
  grep -qE '^OK GoFocus\(0->-200\) in=[0-9]+\.[0-9]ms$' <(file_trace "$drive_c/trace-members.log")
check "members: the wheel move is traced by the controller" \
  grep -qE '^OK Goto\(0->3\) in=[0-9]+\.[0-9]ms$' <(file_trace "$drive_c/trace-members.log")
check "members: the connect is on the debugger output before the file opens" \
  grep -qxF 'ConnectMulti(0x1) = connect' <(debug_trace members)
same "members: the bytes the board received" "\
$(hex FWFILTER)
$(hex FWfocus)
$(hex FWreadEE 00 90)
$(hex FWCOUNT)
$(hex FWzm)
$(hex FWfocus)
$(hex FWgoFocus 38 FF)
$(hex FWfocus)
$(hex FWautoCompSet 30)
$(hex FWisAuto)
$(hex FWautoCompSet 2F)
$(hex FWisAuto)
$(hex FWtemperature 30)
$(hex FWFILTER)
$(hex FWGOTO 33)
$(hex FWFILTER)" "$(sent_runs members)"

# --- Two clients on one link -----------------------------------------------
start_board shared 3 --time-scale 0
client shared shared --com-port 3 --focus-shift 0 --log 'C:\trace-shared.log'
stop_board shared
same "shared: joins and leaves of the client set" "\
CFocuserImpl::put_Link(-1)
ConnectMulti(0x1) = connect
CFilterWheelImpl::get_Connected(-1)
CFilterWheelImpl::put_Connected(-1)
ConnectMulti(0x2) = skip
CFilterWheelImpl::put_Connected(0)
DisconnectMulti(0x2) = skip
CFocuserImpl::get_Link(-1)
CFilterWheelImpl::get_Connected(-1)
CFocuserImpl::put_Link(-1)
ConnectMulti(0x1) = skip
CFocuserImpl::put_Link(0)
DisconnectMulti(0x1) = Disconnect
CFilterWheelImpl::get_Connected(0)" "$(debug_trace shared | member_lines)"
check "shared: the port was opened once" test "$(sent_runs shared | grep -c "^$(hex FWreadEE 00 90)\$")" -eq 1

# --- A move on one thread, questions on another --------------------------------
# 4000 steps at 200 steps/s, scaled to about a second.
start_board threads 3 --time-scale 0.05
client threads threads --com-port 3 --focus-shift 0 --log 'C:\trace-threads.log'
stop_board threads
check "threads: the Position answered from the last value sent nothing during the move" \
  test "$(sent_runs threads | sed -n "/^$(hex FWgoFocus A0 0F)\$/{n;p}")" == "$(hex FWfocus)"

# --- Server rules: unload test, class objects, aggregation, interfaces --------
client server server --com-port 12 --dll "$win_dll"

# --- "Auto" finds the board behind a port with no board ---------------------
# COM1: a board that answers nothing; COM2: no port; COM3: the board.
start_board mute 1 --no-focuser --no-wheel
start_board found 3 --time-scale 0
client auto auto --com-port 0 --focus-shift 0 --log 'C:\trace-auto.log'
stop_board mute
stop_board found
same "auto: COM1 was asked for a wheel and a focuser, then given up" "\
$(hex FWFILTER)
$(hex FWfocus)" "$(sent_runs mute)"
check "auto: the board on COM3 was identified" \
  test "$(sent_runs found | head -3 | tr '\n' '|')" == "$(hex FWFILTER)|$(hex FWfocus)|$(hex FWreadEE 00 90)|"

# --- The current ASCOM contracts, and an old script client -------------------
. "$here/contracts.sh"

# --- Temperature log by the timer; options saved when the DLL unloads -------
regtool delete "$options_key"
check "timer: the options key is gone before the run" \
  test "$(regtool dump "$options_key")" == "[$options_key] missing"
rm -f "$drive_c"/term_log_*.csv
start_board timer 3 --time-scale 0
client timer timer --com-port 3 --log 'C:\trace-timer.log'
stop_board timer
templogs=("$drive_c"/term_log_*.csv)
if check "timer: one temperature log was written" test -f "${templogs[0]}" -a ${#templogs[@]} -eq 1; then
  tr -d '\r' <"${templogs[0]}" >"$work/out/templog.csv"
  check "timer: the log starts with its header" test "$(head -1 "$work/out/templog.csv")" == "Time,T0,T1,Focus,Filter"
  check "timer: every tick wrote a row of both sensors, the focuser and the filter" \
    test "$(tail -n +2 "$work/out/templog.csv" | grep -cvE '^[0-9]{2}:[0-9]{2}:[0-9]{2},18\.50,-3\.25,0,L$')" -eq 0 \
         -a "$(wc -l <"$work/out/templog.csv")" -ge 2
fi
same "timer: the unload saved every option" "\
[$options_key]
\"AscomFocusShift\"=dword:00000000
\"AscomMaxFocusPos\"=dword:00007530
\"AscomPreferredTermometer\"=dword:00000000
\"ChangeFilterTimeoutMs\"=dword:000003e8
\"ComPort\"=dword:00000003
\"LogFile\"=sz:\"C:\\trace-timer.log\"
\"MinMotorStep\"=dword:00000001
\"StepLenInMicrons\"=hex(3):00,00,00,00,00,00,24,40
\"TermometerName0\"=sz:\"\"
\"TermometerName1\"=sz:\"\"
\"TermometerName2\"=sz:\"\"
\"TermometerName3\"=sz:\"\"" "$(regtool dump "$options_key")"

# --- The day's log where C:\ cannot take it --------------------------------
# A standard user may not create files in C:\; a folder in the file's place
# stops even root. The log then goes to the per-user folder.
today=$(date +%Y-%m-%d)
rm -f "$drive_c"/term_log_*.csv
mkdir "$drive_c/term_log_$today.csv"
rm -rf "$drive_c"/users/*/AppData/Local/Quillmoor
start_board fallback 3 --time-scale 0
client fallback timer --com-port 3
stop_board fallback
rmdir "$drive_c/term_log_$today.csv"
peruser=("$drive_c"/users/*/AppData/Local/Quillmoor/term_log_"$today".csv)
check "timer: with C:\\ closed to it, the day's log is written to %LOCALAPPDATA%\\Quillmoor" \
  test -f "${peruser[0]}" -a "$(tr -d '\r' <"${peruser[0]}" 2>/dev/null | head -1)" == "Time,T0,T1,Focus,Filter"

# --- Unloading from a thread other than the timer's -------------------------
client unload-thread unload-thread

# --- Unregistration ------------------------------------------------------
# A subkey that registration did not write keeps its parent.
regtool mkkey 'HKCR\Quillmoor.Focuser\AddedByAnotherProgram'
"${regsvr32[@]}" /u /s "$win_dll" >/dev/null 2>&1
check "regsvr32 /u unregisters the DLL" test $? -eq 0
same "unregistration leaves only what others own" "\
[HKCR\\Quillmoor.Focuser]
[HKCR\\Quillmoor.Focuser\\AddedByAnotherProgram]
[HKCR\\Quillmoor.Focuser.1] missing
[HKCR\\Quillmoor.FilterWheel] missing
[HKCR\\Quillmoor.FilterWheel.1] missing
[HKCR\\CLSID\\$focuser_clsid] missing
[HKCR\\CLSID\\$wheel_clsid] missing
[HKCR\\TypeLib\\$libid] missing
[HKCR\\Interface\\$focuser_v3_iid] missing
[HKCR\\Interface\\$wheel_v2_iid] missing" "$(for key in Quillmoor.Focuser Quillmoor.Focuser.1 Quillmoor.FilterWheel \
  Quillmoor.FilterWheel.1 "CLSID\\$focuser_clsid" "CLSID\\$wheel_clsid" "TypeLib\\$libid" \
  "Interface\\$focuser_v3_iid" "Interface\\$wheel_v2_iid"; do
  regtool dump "HKCR\\$key"; done)"
check "HKCR\\CLSID stays after unregistration" regtool dump 'HKCR\CLSID' >/dev/null
