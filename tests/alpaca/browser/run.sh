#!/usr/bin/env bash
# The setup pages in a real browser: Debian's chromium driven by
# playwright-core (installed from npm into build-alpaca/node_modules, never
# with a browser of its own), against the server and the simulator.
# Screenshots go to build-alpaca/screenshots/. Ends with "N passed, N failed".
#   tests/alpaca/browser/run.sh --server PATH --sim PATH
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
server= sim=
while [ $# -gt 0 ]; do
  case $1 in
    --server) server=$2; shift 2 ;;
    --sim) sim=$2; shift 2 ;;
    *) echo "usage: $0 --server PATH --sim PATH" >&2; exit 2 ;;
  esac
done
if [ ! -x /usr/bin/chromium ] || ! command -v npm >/dev/null; then
  echo "chromium or npm missing: browser tests skipped"
  echo "0 passed, 0 failed"
  exit 0
fi
modules=$top/build-alpaca
if [ ! -d "$modules/node_modules/playwright-core" ]; then
  mkdir -p "$modules"
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --no-save --no-audit --no-fund --prefix "$modules" \
    playwright-core@1 >"$modules/npm.log" 2>&1 ||
    { tail -n 20 "$modules/npm.log"; echo "0 passed, 1 failed"; exit 1; }
fi

work=$(mktemp -d /tmp/quillmoor-browser-XXXXXX)
sim_pid= server_pid=
cleanup() {
  local pid
  for pid in $server_pid $sim_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

"$sim" --link "$work/port" --time-scale 0.2 --record "$work/record.txt" </dev/null >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -L "$work/port" ] && break; sleep 0.1; done
XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data "$server" --serial "$work/port" --http-port 0 --bind 127.0.0.1 \
  --discovery-port 0 >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 50); do grep -q 'serving on port' "$work/server.out" && break; sleep 0.1; done
port=$(sed -n 's/.*serving on port \([0-9]*\),.*/\1/p' "$work/server.out")
[ -n "$port" ] || { cat "$work/server.out"; echo "0 passed, 1 failed"; exit 1; }

mkdir -p "$modules/screenshots"
NODE_PATH=$modules/node_modules node "$here/setup_pages.js" --base "http://127.0.0.1:$port" \
  --serial "$work/port" --shots "$modules/screenshots" --logs "$work/data/quillmoor" --record "$work/record.txt"
