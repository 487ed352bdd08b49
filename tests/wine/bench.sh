#!/usr/bin/env bash
# The Wine benchmark of Quillmoor.DLL: late-bound member times against a
# simulated board that runs its line at 9600 baud both ways and ends moves at
# once, the "Auto" connect time, long moves on a board that takes its time,
# and the CPU an idle connection costs. A
# measurement, not a test: it builds nothing and checks nothing beyond "the
# calls succeeded" (the exit code is 1 when some did not). tools/bench.sh
# builds what it needs and runs it.
#
#   tests/wine/bench.sh --dll build-bench-win/driver/Quillmoor.DLL \
#                       --clients build-bench-win/tests/wine \
#                       --sim build-bench/sim/quillmoor-sim --build-dir build-bench-win \
#                       [--rounds N] [--idle-seconds S]
#
# Uses a private prefix under the build folder; every simulator and the
# prefix's wineserver end on exit, also on failure.
set -u

usage() {
  echo "usage: $0 --dll PATH --clients DIR --sim PATH --build-dir DIR [--rounds N] [--idle-seconds S]" >&2
  exit 2
}
dll= clients= sim= build_dir= rounds=21 idle_seconds=60
while [ $# -gt 0 ]; do
  case "$1" in
    --dll) dll=$2; shift 2 ;;
    --clients) clients=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --idle-seconds) idle_seconds=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ -f "$dll" ] && [ -x "$sim" ] && [ -d "$clients" ] && [ -n "$build_dir" ] || usage
for tool in wine wineserver; do
  command -v $tool >/dev/null || { echo "$tool not found" >&2; exit 1; }
done

here=$(cd "$(dirname "$0")" && pwd)
work=$(mkdir -p "$build_dir" && cd "$build_dir" && pwd)/wine-bench
rm -rf "$work"
mkdir -p "$work/ports" "$work/out"

export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export QUILLMOOR_BENCH_ROUNDS=$rounds QUILLMOOR_BENCH_IDLE_SECONDS=$idle_seconds
unset DISPLAY
drive_c="$WINEPREFIX/drive_c"

sim_pids=()
server_pid=
client_pid=
cleanup() {
  local pid
  [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  wineserver -k >/dev/null 2>&1
  [ -n "$server_pid" ] && { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; }
}
trap cleanup EXIT
trap 'exit 130' INT TERM

. "$here/lib.sh"
. "$here/prefix.sh"

# CPU seconds (user and system) a Linux process has used so far, threads
# that have ended included; in steps of a clock tick. Prints nothing once the
# process is gone.
cpu_seconds() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  # utime and stime are fields 14 and 15; the name in parentheses may hold spaces.
  echo "${stat##*) }" | awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f\n", ($12 + $13) / hz }'
}

# "PID SECONDS" for each of the given processes still running.
cpu_snapshot() {
  local pid
  for pid in "$@"; do echo "$pid $(cpu_seconds "$pid")"; done | awk 'NF == 2'
}

# The CPU seconds the processes of two snapshots used in between, counting
# only those present in both (a program that ended took its figures along).
cpu_between() {
  awk 'NR == FNR { before[$1] = $2; next } $1 in before { s += $2 - before[$1] } END { print s + 0 }' \
    <(printf '%s\n' "$1") <(printf '%s\n' "$2")
}

# The PIDs of the Wine programs of our prefix (services, device manager,
# plug and play, ...), the client and the server left out (the simulators
# carry WINEPREFIX too, but their executable is not Wine's).
wine_service_pids() {
  local dir pid
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    [ "$pid" = "$server_pid" ] || [ "$pid" = "${client_pid:-}" ] && continue
    case $(readlink "$dir/exe" 2>/dev/null) in */wine*) ;; *) continue ;; esac
    { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

# The prefix, served by a wineserver started here in the foreground so that
# its PID is known.
make_wine_prefix
wineserver -f -p >/dev/null 2>&1 &
server_pid=$!
cp "$dll" "$drive_c/Quillmoor.DLL"
cp "$clients/quillmoor-wine-client.exe" "$drive_c/"
"$wine64" regsvr32 /s 'C:\Quillmoor.DLL' >/dev/null 2>&1 || { echo "regsvr32 failed" >&2; exit 1; }

# bench_client NAME SCENARIO [options]: the client with its output in out/NAME.
bench_client() {
  local name=$1; shift
  wine 'C:\quillmoor-wine-client.exe' "$@" >"$work/out/$name.client" 2>"$work/out/$name.debug"
  local status=$?
  tr -d '\r' <"$work/out/$name.client"
  [ "$status" -eq 0 ] || { echo "(client $name ended with status $status)"; failed=1; }
}
failed=0

echo "## Under Wine ($(wine --version 2>/dev/null)), late-bound through IDispatch::Invoke"
echo
start_board paced 3 --pace --time-scale 0
bench_client exchanges bench --com-port 3 --focus-shift 0

# "Auto": COM1 a device that answers nothing, COM2 no port, the board on COM3.
start_board deaf 1 --pace --no-focuser --no-wheel
bench_client auto bench-auto --com-port 0 --focus-shift 0
stop_board deaf

# Long moves: a board whose moves take their real time.
start_board slow 4 --pace
bench_client move bench-move --com-port 4 --focus-shift 0
stop_board slow

# Idle: the client pumps messages on its own thread, so the temperature log
# runs every five seconds; the server's and the board's CPU are read from
# /proc over the client's measured window.
measure_idle() {
  # First the prefix at rest, with no client, for comparison.
  local rest=$(( idle_seconds / 3 > 0 ? idle_seconds / 3 : 1 )) rest_server rest_services rest_t services
  services=$(wine_service_pids)
  rest_t=$(date +%s.%N)
  rest_server=$(cpu_seconds "$server_pid")
  rest_services=$(cpu_snapshot $services)
  sleep "$rest"
  rest_t=$(echo "$rest_t $(date +%s.%N)" | awk '{ print $2 - $1 }')
  rest_server=$(echo "$rest_server $(cpu_seconds "$server_pid")" | awk '{ print $2 - $1 }')
  rest_services=$(cpu_between "$rest_services" "$(cpu_snapshot $services)")

  rm -f "$drive_c"/term_log_*.csv
  wine 'C:\quillmoor-wine-client.exe' bench-idle --com-port 3 --focus-shift 0 \
    >"$work/out/idle.client" 2>"$work/out/idle.debug" &
  client_pid=$!
  wait_line() {
    local i
    for i in $(seq $(( (idle_seconds + 60) * 10 ))); do
      grep -q "^$1" "$work/out/idle.client" 2>/dev/null && return 0
      kill -0 "$client_pid" 2>/dev/null || return 1
      sleep 0.1
    done
    return 1
  }
  local t0 t1= rows
  if wait_line 'idle: start'; then
    services=$(wine_service_pids)
    server_before=$(cpu_seconds "$server_pid")
    board_before=$(cpu_seconds "${board_pid[paced]}")
    client_before=$(cpu_seconds "$client_pid")
    services_before=$(cpu_snapshot $services)
    t0=$(date +%s.%N)
    if wait_line 'idle: end'; then
      t1=$(date +%s.%N)
      server_after=$(cpu_seconds "$server_pid")
      board_after=$(cpu_seconds "${board_pid[paced]}")
      client_after=$(cpu_seconds "$client_pid")
      services_after=$(cpu_between "$services_before" "$(cpu_snapshot $services)")
      services_before=0
    fi
  fi
  wait "$client_pid" || failed=1
  client_pid=
  tr -d '\r' <"$work/out/idle.client" | grep -v '^idle: '
  if [ -n "${t1:-}" ]; then
    for who in "client (from /proc):$client_before:$client_after" "wineserver:$server_before:$server_after" \
               "Wine's own programs ($(echo $services | wc -w)):$services_before:$services_after" \
               "simulator:$board_before:$board_after"; do
      IFS=: read -r name before after <<<"$who"
      awk -v name="$name" -v b="$before" -v a="$after" -v t0="$t0" -v t1="$t1" \
        'BEGIN { printf "  %s over the same %.0f s: %.3f s CPU (%.3f %%)\n", name, t1 - t0, a - b, 100 * (a - b) / (t1 - t0) }'
    done
  fi
  rows=$(cat "$drive_c"/term_log_*.csv 2>/dev/null | tr -d '\r' | tail -n +2 | wc -l)
  echo "  temperature log rows written: $rows"
  awk -v t="$rest_t" -v s="$rest_server" -v p="$rest_services" 'BEGIN {
    printf "  for comparison, the prefix with no client over %.0f s: wineserver %.3f s CPU (%.3f %%), Wine'"'"'s own programs %.3f s (%.3f %%)\n",
      t, s, 100 * s / t, p, 100 * p / t }'
}
[ "$idle_seconds" -gt 0 ] && measure_idle
stop_board paced
exit "$failed"
