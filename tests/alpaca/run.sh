#!/usr/bin/env bash
# Runs every Alpaca script against a built server and simulator and adds up
# their counts. Usage: tests/alpaca/run.sh --server PATH --sim PATH
# Ends with "N passed, N failed".
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
server= sim=
while [ $# -gt 0 ]; do
  case $1 in
    --server) server=$(realpath "$2"); shift 2 ;;
    --sim) sim=$(realpath "$2"); shift 2 ;;
    *) echo "usage: $0 --server PATH --sim PATH" >&2; exit 2 ;;
  esac
done
[ -x "$server" ] && [ -x "$sim" ] || { echo "usage: $0 --server PATH --sim PATH" >&2; exit 2; }

passed=0 failed=0
run() {  # name, command...: runs one script and adds its summary line
  local name=$1 log summary
  shift
  echo "== $name"
  log=$(mktemp /tmp/quillmoor-alpaca-log-XXXXXX)
  "$@" 2>&1 | tee "$log"
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  rm -f "$log"
  if [ -n "$summary" ]; then
    passed=$((passed + $(cut -d' ' -f1 <<<"$summary")))
    failed=$((failed + $(cut -d' ' -f3 <<<"$summary")))
  else
    failed=$((failed + 1))
  fi
}

run "client test" python3 "$here/api_test.py" --server "$server" --sim "$sim"
# Discovery broadcasts: only inside a network namespace of its own, holding
# nothing but loopback, so that no datagram leaves the machine.
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
  run "discovery" unshare -n python3 "$here/discovery_test.py" --server "$server"
else
  echo "== discovery skipped: needs root for a network namespace"
fi
if [ -x "$here/browser/run.sh" ]; then
  run "setup pages in a browser" "$here/browser/run.sh" --server "$server" --sim "$sim"
fi
if [ "${QUILLMOOR_ALPACA_QUICK:-0}" != 1 ]; then
  run "load" python3 "$here/load_test.py" --server "$server" --sim "$sim" --seconds 60
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
