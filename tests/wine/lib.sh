# Helpers of run.sh: simulated boards, the Windows programs, and readers for
# the trace and the wire record. Sourced; uses run.sh's variables.

declare -A board_pid

# start_board NAME PORT [sim options]: a simulated board behind COM<PORT>,
# recording the line to out/NAME.wire.
start_board() { launch_board "$1" "$2" /dev/null "${@:3}"; }

# launch_board NAME PORT INPUT [sim options]: start_board with the board's
# standard input read from INPUT; waits for the port's link and the board's
# first line.
launch_board() {
  local name=$1 port=$2 input=$3; shift 3
  "$sim" --record "$work/out/$name.wire" --link "$work/ports/com$port" "$@" \
    <"$input" >"$work/out/$name.sim" 2>&1 &
  board_pid[$name]=$!
  sim_pids+=("$!")
  local i
  for i in $(seq 100); do [ -L "$work/ports/com$port" ] && [ -s "$work/out/$name.sim" ] && return 0; sleep 0.05; done
  echo "board $name did not start: $(cat "$work/out/$name.sim")" >&2
  return 1
}

# stop_board NAME: ends the board, which writes its record a last time.
stop_board() {
  local pid=${board_pid[$1]:-}
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  unset "board_pid[$1]"
}

# client NAME SCENARIO [options]: runs one client process with the debugger
# output captured; counts its ok/FAIL lines; a crash or a missing summary
# counts as a failure.
client() {
  local name=$1; shift
  WINEDEBUG=-all,warn+debugstr wine 'C:\quillmoor-wine-client.exe' "$@" \
    >"$work/out/$name.client" 2>"$work/out/$name.debug"
  count_client "$name" $?
}

# count_client NAME STATUS: shows the ok/FAIL lines of a finished client and
# adds them up; a non-zero exit without a FAIL line is a failure of its own.
count_client() {
  local name=$1 status=$2 ok bad
  ok=$(grep -c '^ok ' "$work/out/$name.client")
  bad=$(grep -c '^FAIL ' "$work/out/$name.client")
  grep -E '^(ok|FAIL) ' "$work/out/$name.client"
  passed=$((passed + ok))
  failed=$((failed + bad))
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
    fail "client $name ended with status $status" "$(tail -5 "$work/out/$name.debug")"
  fi
}

regtool() { wine 'C:\quillmoor-regtool.exe' "$@" 2>/dev/null | tr -d '\r'; }

# The trace lines that reached the debugger output, without time stamps.
debug_trace() {
  sed -n 's/^.*OutputDebugStringA "\(.*\)"$/\1/p' "$work/out/$1.debug" |
    sed -e 's/\\r//g' -e 's/\\n$//' -e 's/^[0-9]*\.[0-9]\{3\} : //'
}

# The lines of a trace file, without time stamps and carriage returns.
file_trace() { tr -d '\r' <"$1" | sed 's/^[0-9]*\.[0-9]\{3\} : //'; }

# Only the lines of the COM objects and of the client set.
member_lines() { grep -E '^(CFocuserImpl|CFilterWheelImpl)::|^(Connect|Disconnect)Multi\('; }

# Every line of a trace file starts with the "%.3f : " stamp.
all_stamped() { ! tr -d '\r' <"$1" | grep -qvE '^[0-9]+\.[0-9]{3} : '; }

# The runs of bytes the PC sent, one per line, as hex.
sent_runs() { sed -n 's/^ *[0-9.]* >> //p' "$work/out/$1.wire"; }

# hex TEXT [BYTE...]: the command word in hex, then extra bytes as given.
hex() {
  local word=$1; shift
  printf '%s' "$word" | od -An -tx1 | tr 'a-f' 'A-F' | xargs | tr -d '\n'
  [ $# -gt 0 ] && printf ' %s' "$@"
  echo
}

# --- Boards steered while a client runs -------------------------------------

declare -A board_ctl

# start_board_ctl NAME PORT [sim options]: as start_board, with a FIFO on the
# board's standard input so that board_say can send it control lines. The
# harness holds the FIFO open for writing, so the board never reads its end.
start_board_ctl() {
  local name=$1 port=$2; shift 2
  local fifo=$work/out/$name.ctl fd
  rm -f "$fifo"
  mkfifo "$fifo"
  exec {fd}<>"$fifo"
  board_ctl[$name]=$fd
  launch_board "$name" "$port" "$fifo" "$@"
}

# stop_board_ctl NAME: stop_board, and the FIFO closed.
stop_board_ctl() {
  stop_board "$1"
  local fd=${board_ctl[$1]:-}
  [ -n "$fd" ] && exec {fd}>&-
  unset "board_ctl[$1]"
}

# board_say NAME LINE: sends a control line and prints the board's answer
# (one line each); fails when none comes within 5 s.
board_say() {
  local out=$work/out/$1.sim before i
  before=$(wc -l <"$out")
  printf '%s\n' "$2" >&"${board_ctl[$1]}"
  for i in $(seq 500); do
    if [ "$(wc -l <"$out")" -gt "$before" ]; then sed -n "$((before + 1))p" "$out"; return 0; fi
    sleep 0.01
  done
  return 1
}

# board_ok NAME LINE: board_say, and the answer must be "ok".
board_ok() {
  local answer
  answer=$(board_say "$1" "$2")
  [ "$answer" == ok ] && return 0
  echo "board $1 answered '$answer' to '$2'" >&2
  return 1
}

# board_sent NAME: how many bytes the board has sent so far.
board_sent() { board_say "$1" status | sed -n 's/.* sent=\([0-9]*\).*/\1/p'; }

# wait_until SECONDS COMMAND...: runs COMMAND every 20 ms until it succeeds.
wait_until() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.02; done
}

# All bytes the PC sent, as one line of hex with a space after each byte.
sent_stream() { sent_runs "$1" | tr '\n' ' ' | tr -s ' '; echo; }
# count_sent NAME HEX: how often HEX (as printed by hex) occurs in sent_stream.
count_sent() { sent_stream "$1" | grep -o "$2 " | wc -l; }
# sent_contains NAME HEX: the PC sent HEX (the record is rewritten while the
# board runs, so this can be waited on).
sent_contains() { [ -f "$work/out/$1.wire" ] && [ "$(count_sent "$1" "$2")" -gt 0 ]; }
# Bytes in one direction of a record: wire_bytes NAME '>>'|'<<'.
wire_bytes() { sed -n "s/^ *[0-9.]* $2 //p" "$work/out/$1.wire" | wc -w; }

# The complete lines of a file that a program is still writing.
complete_lines() { if [ -n "$(tail -c1 "$1")" ]; then sed '$d' "$1"; else cat "$1"; fi; }

# client_steps NAME HANDLER LIMIT SCENARIO [options]: runs the client like
# client() but in the background, serving its steps (serve_steps). A client
# still running after LIMIT seconds counts as a failure (a deadlock).
# client_debug sets WINEDEBUG for it, client_exe names another program to run.
client_steps() {
  local name=$1 handler=$2 limit=$3; shift 3
  local out=$work/out/$name.client pid
  WINEDEBUG=${client_debug:--all,warn+debugstr} wine "${client_exe:-C:\\quillmoor-wine-client.exe}" "$@" \
    >"$out" 2>"$work/out/$name.debug" &
  pid=$!
  serve_steps "$name" "$pid" "$out" "$handler" "$limit"
  wait "$pid"
  count_client "$name" $?
}

# serve_steps NAME PID OUT HANDLER LIMIT: while the Windows program PID runs,
# each "step X" line it writes to OUT is handed to HANDLER X, after which the
# file C:\steps\X tells the program to go on. After LIMIT seconds the program
# is ended by its PID. Each step the handler could not do, and the time
# limit, are reported through fail.
serve_steps() {
  local name=$1 pid=$2 out=$3 handler=$4 limit=$5 served=0 alive step
  local -a steps
  local end=$((SECONDS + limit))
  rm -rf "$drive_c/steps"
  mkdir -p "$drive_c/steps"
  while :; do
    alive=0
    kill -0 "$pid" 2>/dev/null && alive=1
    mapfile -t steps < <(complete_lines "$out" | tr -d '\r' | sed -n 's/^step //p')
    while [ "$served" -lt "${#steps[@]}" ]; do
      step=${steps[$served]}
      served=$((served + 1))
      "$handler" "$step" || fail "$name: the harness could not do step $step"
      : >"$drive_c/steps/$step"
    done
    [ "$alive" -eq 1 ] || break
    if [ $SECONDS -ge $end ]; then
      kill "$pid" 2>/dev/null
      fail "$name: the client was still running after $limit s"
      break
    fi
    sleep 0.02
  done
}
