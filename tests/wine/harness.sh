# What the Wine test scripts share: the processes they started, stopped by
# PID at exit with the prefix's server, and the counted checks. Sourced once
# WINEPREFIX is set; add each background PID to sim_pids.
sim_pids=()
cleanup() {
  local pid
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  wineserver -k >/dev/null 2>&1
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passed=0 failed=0
pass() { passed=$((passed + 1)); echo "ok $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1"; [ $# -gt 1 ] && printf '%s\n' "$2" | sed 's/^/    /'; }
check() { local name=$1; shift; if "$@"; then pass "$name"; else fail "$name"; return 1; fi; }
# same NAME EXPECTED ACTUAL: passes when the two texts are equal, else shows the diff.
same() {
  if [ "$2" == "$3" ]; then pass "$1"
  else fail "$1" "$(diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | head -40)"; fi
}
