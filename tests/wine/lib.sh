# Helpers of run.sh: simulated boards, the Windows programs, and readers for
# the trace and the wire record. Sourced; uses run.sh's variables.

declare -A board_pid

# start_board NAME PORT [sim options]: a simulated board behind COM<PORT>,
# recording the line to out/NAME.wire.
start_board() {
  local name=$1 port=$2; shift 2
  "$sim" --record "$work/out/$name.wire" --link "$work/ports/com$port" "$@" \
    </dev/null >"$work/out/$name.sim" 2>&1 &
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
  local status=$?
  local ok bad
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
