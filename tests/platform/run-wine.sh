#!/usr/bin/env bash
# The platform tests under Wine: the cross-built test program against native
# board simulators behind COM ports, in a private Wine prefix under the build
# folder.
#
#   tests/platform/run-wine.sh --exe build-plat-win/tests/platform/quillmoor-platform-tests.exe \
#                              --sim build/sim/quillmoor-sim --build-dir build-plat-win
#
#   COM1  a healthy board
#   COM2  a board whose FWfocus reply pauses 250 ms before its last byte
#   COM3  a silent board (it hears everything and answers nothing)
#   COM4  nothing: the port's link leads nowhere
#
# Extra arguments after "--" go to the test program (e.g. --gtest_filter=...).
# Prints the test program's output, then "N passed, N failed" (gtest's test
# counts; a run that ends without gtest's summary, or debugger output that
# never reached Wine's debug channel, counts one more failure) and exits
# non-zero when anything failed.
set -u

usage() { echo "usage: $0 --exe PATH --sim PATH --build-dir DIR [-- test options]" >&2; exit 2; }
exe= sim= build_dir=
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -f "$exe" ] && [ -x "$sim" ] && [ -n "$build_dir" ] || usage
for tool in wine wineserver winepath; do
  command -v $tool >/dev/null || { echo "$tool not found" >&2; echo "0 passed, 1 failed"; exit 1; }
done

work=$(mkdir -p "$build_dir" && cd "$build_dir" && pwd)/wine-platform
rm -rf "$work"
mkdir -p "$work/ports" "$work/out"

export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

sim_pids=()
control_fd_open=
cleanup() {
  local pid
  [ -n "$control_fd_open" ] && exec 3>&-
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  wineserver -k >/dev/null 2>&1
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# start_board NAME PORT [sim options]: a simulator behind COM<PORT>; waits
# for its link and its first line (the pty path).
start_board() {
  local name=$1 port=$2; shift 2
  "$sim" --link "$work/ports/com$port" "$@" </dev/null >"$work/out/$name.sim" 2>&1 &
  sim_pids+=("$!")
  wait_for_line "$work/out/$name.sim" 1 && [ -L "$work/ports/com$port" ] && return 0
  echo "board $name did not start: $(cat "$work/out/$name.sim")" >&2
  return 1
}

# wait_for_line FILE N: until FILE has at least N lines (5 s at most).
wait_for_line() {
  local i
  for i in $(seq 100); do
    [ "$(wc -l <"$1" 2>/dev/null || echo 0)" -ge "$2" ] && return 0
    sleep 0.05
  done
  return 1
}

echo "# prefix $WINEPREFIX"
start=$(date +%s)

# A fresh prefix whose COM ports lead to links of our own.
. "$(dirname "$0")/../wine/prefix.sh"
make_wine_prefix
wineserver -p >/dev/null 2>&1
cp "$exe" "$WINEPREFIX/drive_c/quillmoor-platform-tests.exe"

boards_ok=1
start_board healthy 1 || boards_ok=
start_board gap 2 --fault FWfocus=gap || boards_ok=
# The silent board is switched by a control line, so it answers no word at all.
mkfifo "$work/silent.control"
"$sim" --link "$work/ports/com3" <"$work/silent.control" >"$work/out/silent.sim" 2>&1 &
sim_pids+=("$!")
exec 3>"$work/silent.control"
control_fd_open=1
echo "silent on" >&3
if ! wait_for_line "$work/out/silent.sim" 2 || [ "$(sed -n 2p "$work/out/silent.sim")" != ok ]; then
  echo "silent board did not start: $(cat "$work/out/silent.sim")" >&2
  boards_ok=
fi
rm -f "$work/ports/com4"  # COM4: nothing there

if [ -n "$boards_ok" ]; then
  # Output to files: Wine's services keep inherited pipes open.
  WINEDEBUG=-all,warn+debugstr wine 'C:\quillmoor-platform-tests.exe' \
    --healthy-port 1 --gap-port 2 --silent-port 3 --missing-port 4 "$@" \
    >"$work/out/tests.out" 2>"$work/out/tests.debug"
  status=$?
else
  : >"$work/out/tests.out" >"$work/out/tests.debug"
  status=1
fi
tr -d '\r' <"$work/out/tests.out" >"$work/out/tests.txt"
cat "$work/out/tests.txt"

passed=$(grep -c '^\[       OK \] ' "$work/out/tests.txt")
failed=$(grep -cE '^\[  FAILED  \] .* \([0-9]+ ms\)$' "$work/out/tests.txt")
if ! grep -q '^\[==========\] .* ran\.' "$work/out/tests.txt"; then
  failed=$((failed + 1))
  echo "FAIL the test program ended without its summary (status $status)"
  tail -5 "$work/out/tests.debug" | sed 's/^/    /'
elif grep -q 'DebugOutputTest.WatcherSeesEachTextUntilRemoved' "$work/out/tests.txt" &&
     ! grep -q 'OutputDebugStringA "quillmoor platform test: first line\\r\\n"' "$work/out/tests.debug"; then
  failed=$((failed + 1))
  echo "FAIL debugger output did not reach Wine's debug channel"
elif [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
  failed=1
  echo "FAIL the test program ended with status $status"
fi
echo "# run took $(( $(date +%s) - start )) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
