# Faults on the Windows side of the link and the load run, sourced by run.sh
# after suite.sh (which leaves the DLL unregistered). Each block states what
# it proves. The clients ask for the board's part at their "step" lines
# (client_steps in lib.sh); the board answers every control line, so nothing
# here sleeps to wait for it.
#
# QUILLMOOR_STRESS_SECONDS sets how long the load runs (default 60).

faults_start=$SECONDS
# Every client below starts from the default options plus its own (a
# scenario must not inherit, say, the sensor another one left behind).
: "${options_key:=HKLM32\Software\ASCOM\Focuser Drivers\Quillmoor.Focuser}"
fresh_options() { regtool delete "$options_key" >/dev/null; }
"$wine64" regsvr32 /s "$win_dll" >/dev/null 2>&1
check "faults: regsvr32 registers the DLL again" test $? -eq 0

# The controller's own lines (moves, skips, joins and leaves) of a trace file.
controller_lines() {
  file_trace "$1" | grep -aE '^(Goto|OK |Failed |Skip cmd|ConnectMulti|DisconnectMulti)' |
    sed -E 's/ in=[0-9]+\.[0-9]ms( timeout=[0-9]+ms)?$//; s/^Skip cmd\(WmoveFocus.*\)$/Skip cmd(WmoveFocus..)/'
}

# --- Cable pulled mid-move ---------------------------------------------------
# The board vanishes (both pty ends closed) while the focuser moves 1000 steps
# (5 s), and on a second board while the wheel turns two slots of 1.5 s. The
# client checks result, budget, IsMoving and reconnection; here: the moves
# really were on the wire when the cable went, and the driver traced them as
# failed with their budgets.
pulled_step() {
  case $1 in
    unplug-focuser)
      wait_until 5 sent_contains pulled1 "$(hex FWgoFocus E8 03)" && board_ok pulled1 unplug ;;
    board-2)
      stop_board_ctl pulled1 && start_board_ctl pulled2 3 --time-scale 1 --slot-ms 1500 ;;
    unplug-wheel)
      wait_until 5 sent_contains pulled2 "$(hex FWGOTO 32)" && board_ok pulled2 unplug ;;
    board-3)
      stop_board_ctl pulled2 && start_board_ctl pulled3 3 --time-scale 0 ;;
    *) return 1 ;;
  esac
}
section_start=$SECONDS
start_board_ctl pulled1 3 --time-scale 1
fresh_options
client_steps unplug pulled_step 90 unplug --com-port 3 --focus-shift 0
stop_board_ctl pulled1
stop_board_ctl pulled2
stop_board_ctl pulled3
echo "# unplug took $((SECONDS - section_start)) s"
grep -h '^# ' "$work/out/unplug.client" | tr -d '\r'
check "unplug: the failed focuser move is traced with its budget" \
  grep -qE '^Failed GoFocus\(0->1000\) in=[0-9]+\.[0-9]ms timeout=7110ms$' <(debug_trace unplug)
check "unplug: the failed wheel turn is traced" \
  grep -qE '^Failed Goto\(0->2\) in=[0-9]+\.[0-9]ms$' <(debug_trace unplug)
check "unplug: the third board was asked for slot 2 after its connect" \
  test "$(sent_runs pulled3 | head -3 | tr '\n' '|')" == "$(hex FWFILTER)|$(hex FWfocus)|$(hex FWreadEE 00 90)|" \
       -a "$(count_sent pulled3 "$(hex FWGOTO 32)")" -eq 1

# --- Spoiled replies and stray notices ----------------------------------------
# Faults armed one at a time just before the call they spoil: a short reply,
# none, a late last byte (beyond the 100 ms gap a read allows), a burst of
# stray bytes before a command, a garbage filter byte, a garbled wheel
# answer. The board also sends its focuser-move notice half way through every
# turn.
gap_sent_before=0
spoiled_step() {
  case $1 in
    focus-short) board_ok spoiled 'fault FWfocus short 1' ;;
    focus-silent) board_ok spoiled 'fault FWfocus silent 1' ;;
    focus-gap) gap_sent_before=$(board_sent spoiled) && board_ok spoiled 'fault FWfocus gap 1' ;;
    gap-drained) wait_until 5 eval '[ "$(board_sent spoiled)" -ge $((gap_sent_before + 2)) ]' ;;
    stale-burst)
      burst_from=$(board_sent spoiled) && board_ok spoiled 'flood on' &&
        wait_until 5 eval '[ "$(board_sent spoiled)" -ge $((burst_from + 50)) ]' && board_ok spoiled 'flood off' ;;
    temperature-short) board_ok spoiled 'fault FWtemperature short 1' ;;
    isauto-silent) board_ok spoiled 'fault FWisAuto silent 1' ;;
    filter-garbage) board_ok spoiled 'fault FWFILTER garbage 1' ;;
    goto-garbage) board_ok spoiled 'fault FWGOTO garbage 1' ;;
    *) return 1 ;;
  esac
}
section_start=$SECONDS
start_board_ctl spoiled 3 --time-scale 0 --notices
fresh_options
client_steps replies spoiled_step 60 replies --com-port 3 --focus-shift 0 --log 'C:\trace-spoiled.log'
stop_board_ctl spoiled
echo "# replies took $((SECONDS - section_start)) s"
same "replies: the wheel's trace: notices skipped, the garbled turn failed" "\
Goto(0->3) dif=2 TimeOut=4000
Skip cmd(WmoveFocus..)
OK Goto(0->3)
Goto(3->4) dif=1 TimeOut=3000
Failed Goto(3->4)
Goto(4->0) dif=1 TimeOut=3000
Skip cmd(WmoveFocus..)
OK Goto(4->0)" "$(controller_lines "$drive_c/trace-spoiled.log" | grep -E '^(Goto|OK Goto|Failed Goto|Skip)')"
check "replies: FWfocus went out once per Position get and once at the connect, no retries" \
  test "$(count_sent spoiled "$(hex FWfocus)")" -eq 8

# --- A board that floods --------------------------------------------------------
# 0x55 at line speed, unasked, for a thousand queries and two moves that never
# end; the client checks budgets and its memory.
flooded_step() {
  case $1 in
    flood-on) board_ok flooded 'flood on' ;;
    stall-focus) board_ok flooded 'fault FWgoFocus stall 1' ;;
    stall-wheel) board_ok flooded 'fault FWGOTO stall 1' ;;
    flood-off) board_ok flooded 'flood off' && board_ok flooded clear ;;
    *) return 1 ;;
  esac
}
section_start=$SECONDS
start_board_ctl flooded 3 --time-scale 0
fresh_options
client_steps flood flooded_step 90 flood --com-port 3 --focus-shift 0 --log 'C:\trace-flooded.log'
stop_board_ctl flooded
echo "# flood took $((SECONDS - section_start)) s"
same "flood: both endless moves failed when their budgets ran out, the next ones went through" "\
ConnectMulti(0x..) = skip
Failed GoFocus(0->100)
Goto(0->1) dif=1 TimeOut=3000
Failed Goto(0->1)
Goto(-1->2) dif=2 TimeOut=4000
OK Goto(-1->2)
OK GoFocus(0->100)
DisconnectMulti(0x..) = skip
DisconnectMulti(0x..) = Disconnect" \
  "$(controller_lines "$drive_c/trace-flooded.log" | sed -E 's/\(0x[0-9a-f]+\)/(0x..)/')"
check "flood: every trace file line carries its time stamp" all_stamped "$drive_c/trace-flooded.log"
grep -h '^# flood' "$work/out/flood.client" | tr -d '\r'
echo "# flood: the board sent $(wire_bytes flooded '<<') bytes"

# --- Busy stays honest ---------------------------------------------------------
# 4000 steps at 200 steps/s scaled to 2 s, while three threads fire up to
# 6000 commands at both objects for 0.7 s: all refused, none reached the wire.
section_start=$SECONDS
start_board busy 3 --time-scale 0.1
fresh_options
client busy busy --com-port 3 --focus-shift 0 --log 'C:\trace-busy.log'
stop_board busy
echo "# busy took $((SECONDS - section_start)) s"
check "busy: nothing was sent between the move and the first command after it" \
  grep -q "$(hex FWgoFocus A0 0F) $(hex FWfocus) " <(sent_stream busy)
check "busy: every trace file line carries its time stamp (4 threads writing)" all_stamped "$drive_c/trace-busy.log"
grep -h '^# busy' "$work/out/busy.client" | tr -d '\r'

# --- Load: eight apartments on two objects ---------------------------------------
# A paced board (9600 baud), moves at a hundredth of their time. The client
# checks every result; here: the moves on the wire match the accepted calls
# (the temperature log sends no moves), the trace file holds whole lines and
# ends with the last client's leave, and the timer wrote its log meanwhile.
stress_seconds=${QUILLMOOR_STRESS_SECONDS:-60}
rm -f "$drive_c"/term_log_*.csv "$drive_c/trace-stress.log"
section_start=$SECONDS
start_board loaded 3 --pace --time-scale 0.01
fresh_options
client_debug=-all client_steps stress : $((stress_seconds + 60)) stress --duration "$stress_seconds" \
  --com-port 3 --focus-shift 0 --log 'C:\trace-stress.log'
stop_board loaded
echo "# stress took $((SECONDS - section_start)) s"
figures=$(tr -d '\r' <"$work/out/stress.client" | sed -n 's/^stress-figures //p')
figure() { printf '%s\n' "$figures" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
if check "stress: the client reported its figures" test -n "$figures"; then
  check "stress: FWgoFocus on the wire once per accepted Move ($(figure moves))" \
    test "$(count_sent loaded "$(hex FWgoFocus)")" -eq "$(figure moves)"
  check "stress: FWGOTO on the wire once per accepted wheel Position put ($(figure turns))" \
    test "$(count_sent loaded "$(hex FWGOTO)")" -eq "$(figure turns)"
  to_board=$(wire_bytes loaded '>>')
  from_board=$(wire_bytes loaded '<<')
  echo "# stress figures: calls made $(figure calls), calls refused $(figure refused) (busy, or not connected between a leave and a join)," \
    "accepted $(figure accepted) with $(figure moves) focuser moves and $(figure turns) wheel turns;" \
    "bytes on the wire $((to_board + from_board)) ($to_board to the board, $from_board from it);" \
    "8 threads, $stress_seconds s, $(figure ticks) timer ticks," \
    "$(count_sent loaded "$(hex FWreadEE 00 90)") connects"
  grep -h '^# refused by member' "$work/out/stress.client" | tr -d '\r'
fi
trace=$drive_c/trace-stress.log
check "stress: every trace file line carries its time stamp" all_stamped "$trace"
check "stress: the trace file ends with a whole line" test -z "$(tail -c1 "$trace")"
check "stress: the last controller line is the last client's leave" \
  grep -qE '^DisconnectMulti\(0x[0-9a-f]+\) = Disconnect$' <(controller_lines "$trace" | tail -1)
templogs=("$drive_c"/term_log_*.csv)
if check "stress: the timer wrote a temperature log" test -f "${templogs[0]}"; then
  # One file a day: a run across midnight leaves two, each with its header.
  check "stress: the temperature log starts with its header" \
    test "$(for log in "${templogs[@]}"; do head -1 "$log" | tr -d '\r'; done | sort -u)" == "Time,T0,T1,Focus,Filter"
  for log in "${templogs[@]}"; do tail -n +2 "$log"; done | tr -d '\r' >"$work/out/stress-templog.csv"
  check "stress: a tick in the quiet end wrote a full row" \
    grep -qE '^[0-9]{2}:[0-9]{2}:[0-9]{2},18\.50,-3\.25,[0-9]+,(L|R|G|B|Ha)$' "$work/out/stress-templog.csv"
  check "stress: every temperature log row is whole (a cell is empty when the link was busy)" \
    test "$(grep -cvE '^[0-9]{2}:[0-9]{2}:[0-9]{2},(18\.50)?,(-3\.25)?,[0-9]*,(L|R|G|B|Ha)?$' \
            "$work/out/stress-templog.csv")" -eq 0
fi

"$wine64" regsvr32 /u /s "$win_dll" >/dev/null 2>&1
check "faults: regsvr32 /u unregisters the DLL again" test $? -eq 0
echo "# faults and load took $((SECONDS - faults_start)) s"
