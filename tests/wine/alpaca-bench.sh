#!/usr/bin/env bash
# The Alpaca benchmark (tests/alpaca/bench.py, run by hand) against the
# native server and then the Windows build under Wine, in one run, so that
# the two sets of figures come from the same machine and moment. Builds
# nothing; the Wine prefix is made afresh under BUILD_DIR.
#
#   tests/wine/alpaca-bench.sh --exe build-win/alpaca/quillmoor-alpaca.exe \
#       --server build-alpaca/alpaca/quillmoor-alpaca --sim build-alpaca/sim/quillmoor-sim \
#       --build-dir build-win [-- BENCH OPTIONS]
set -u

usage() { echo "usage: $0 --exe PATH --server PATH --sim PATH --build-dir DIR [-- bench options]" >&2; exit 2; }
exe= server= sim= build_dir=
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --server) server=$(realpath "$2"); shift 2 ;;
    --sim) sim=$(realpath "$2"); shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -f "$exe" ] && [ -x "$server" ] && [ -x "$sim" ] && [ -n "$build_dir" ] || usage

here=$(cd "$(dirname "$0")" && pwd)
. "$here/prefix.sh"
wine_scratch "$build_dir" alpaca-bench

. "$here/harness.sh"
. "$here/lib.sh"

make_wine_prefix
wineserver -p >/dev/null 2>&1
ensure_port_mapping 3 >/dev/null || { echo "COM3 of the prefix does not lead to $work/ports/com3" >&2; exit 1; }

echo "== native: $server"
python3 "$here/../alpaca/bench.py" --server "$server" --sim "$sim" "$@"
echo "== Windows build under Wine: $exe"
python3 "$here/../alpaca/bench.py" --server "$exe" --sim "$sim" --wine-prefix "$WINEPREFIX" --wine-ports "$work/ports" "$@"
