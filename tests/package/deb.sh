#!/usr/bin/env bash
# The Debian package seen from outside: its file list and control fields, and
# the programs run from an extracted copy (dpkg-deb -x) against the packaged
# simulator: the command-line client's status, the INDI driver under
# indiserver, and the Alpaca server answering on loopback. Usage: tests/package/deb.sh --deb FILE. Ends with "N passed, N failed".
set -uo pipefail

deb=
while [ $# -gt 0 ]; do
  case $1 in
    --deb) deb=$2; shift 2 ;;
    *) echo "usage: $0 --deb FILE" >&2; exit 2 ;;
  esac
done
[ -f "$deb" ] || { echo "usage: $0 --deb FILE" >&2; exit 2; }

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/quillmoor-deb-XXXXXX)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data QUILLMOOR_PORTS=$work/ports
mkdir -p "$work/ports"
root=$work/root
dev=Quillmoor
passed=0 failed=0
. "$here/../indi/lib.sh"  # stops what it started by PID, and indiserver on a free port

check() {  # name, command...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; passed=$((passed + 1))
  else echo "FAIL $name"; failed=$((failed + 1)); fi
}

# --- What the package holds ---------------------------------------------------
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
echo "$files" | sed 's/^/#   /'
for file in ./usr/bin/quillmoor ./usr/bin/quillmoor-sim ./usr/bin/indi_quillmoor ./usr/share/indi/indi_quillmoor.xml \
            ./usr/bin/quillmoor-alpaca ./usr/lib/systemd/system/quillmoor-alpaca.service \
            ./usr/share/doc/quillmoor/changelog.gz ./usr/share/doc/quillmoor/copyright \
            ./usr/share/man/man1/quillmoor.1.gz ./usr/share/man/man1/quillmoor-sim.1.gz \
            ./usr/share/man/man1/indi_quillmoor.1.gz ./usr/share/man/man1/quillmoor-alpaca.1.gz; do
  check "the package holds $file" grep -qxF "$file" <<<"$files"
done
check "every file lies under /usr, /lib or /etc" test -z "$(grep -vE '^\./(usr|lib|etc)/' <<<"$files")"
check "no test program or static library is packaged" test -z "$(grep -E '_tests$|bench|fuzz|\.a$' <<<"$files")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "# Depends: $depends"
check "its dependencies come from the libraries the programs link, and the setup pages' chart library" \
  bash -c 'grep -q "libc6 (>=" <<<"$1" && grep -q "libindidriver" <<<"$1" && grep -q "libstdc++6" <<<"$1" &&
           grep -q "libjs-chart.js" <<<"$1"' - "$depends"
check "the unit starts the packaged server" \
  grep -qx "ExecStart=/usr/bin/quillmoor-alpaca .*" <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/system/quillmoor-alpaca.service)
if command -v lintian >/dev/null; then
  lintian_out=$(lintian --allow-root "$deb" 2>&1)
  echo "# lintian:"; sed 's/^/#   /' <<<"${lintian_out:-(nothing)}"
  check "lintian finds no errors" test -z "$(grep '^E:' <<<"$lintian_out")"
fi
check "its name and version make the file name" \
  test "$(basename "$deb")" == "$(dpkg-deb -f "$deb" Package)_$(dpkg-deb -f "$deb" Version)_$(dpkg-deb -f "$deb" Architecture).deb"

# --- The packaged programs, from an extracted copy ----------------------------
dpkg-deb -x "$deb" "$root"
sim=$root/usr/bin/quillmoor-sim
driver=$root/usr/bin/indi_quillmoor
"$sim" --link "$work/ports/com3" --time-scale 0 </dev/null >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -L "$work/ports/com3" ] && break; sleep 0.1; done
"$root/usr/bin/quillmoor" --port COM3 status >"$work/status.out" 2>&1
check "the packaged client's status reads the packaged simulator" \
  bash -c '[ $1 -eq 0 ] && grep -qx "focuser: present" "$2" && grep -q "^temperature 0: 18.50$" "$2"' - $? "$work/status.out"

start_server
set_prop() { indi_setprop -p "$port" "$@" >/dev/null 2>&1; }
wait_for() { indi_eval -p "$port" -t "$1" -w "$2" >/dev/null 2>&1; }
set_prop "$dev.DEVICE_PORT.PORT=$work/ports/com3"
set_prop "$dev.DEVICE_AUTO_SEARCH.INDI_ENABLED=Off;INDI_DISABLED=On"
set_prop "$dev.CONNECTION.CONNECT=On"
check "the packaged INDI driver connects under indiserver" wait_for 10 "\"$dev.CONNECTION._STATE\"==1"
set_prop "$dev.FILTER_SLOT.FILTER_SLOT_VALUE=3"
check "and turns the wheel to slot 3" \
  wait_for 10 "\"$dev.FILTER_SLOT.FILTER_SLOT_VALUE\"==3 && \"$dev.FILTER_SLOT._STATE\"==1"

# The Alpaca server on its own board, on a free loopback port.
"$sim" --link "$work/ports/com4" --time-scale 0 </dev/null >"$work/sim4.out" 2>&1 &
sim4_pid=$!
for _ in $(seq 50); do [ -L "$work/ports/com4" ] && break; sleep 0.1; done
"$root/usr/bin/quillmoor-alpaca" --serial "$work/ports/com4" --http-port 0 --bind 127.0.0.1 --discovery-port 0 \
  >"$work/alpaca.out" 2>&1 &
alpaca_pid=$!
trap 'kill "$alpaca_pid" "$sim4_pid" 2>/dev/null; cleanup' EXIT
alpaca_port=
for _ in $(seq 100); do
  alpaca_port=$(sed -nE 's/^quillmoor-alpaca: serving on port ([0-9]+).*/\1/p' "$work/alpaca.out")
  [ -n "$alpaca_port" ] && break
  sleep 0.1
done
api=http://127.0.0.1:${alpaca_port:-0}/api/v1
curl -s -m 5 -X PUT -d "Connected=true&ClientID=1&ClientTransactionID=7" "$api/focuser/0/connected" >"$work/connect.json"
connected=false
for _ in $(seq 50); do
  curl -s -m 5 "$api/focuser/0/connected" | grep -q '"Value":true' && { connected=true; break; }
  sleep 0.1
done
check "the packaged Alpaca server connects to the board" test "$connected" = true
check "and answers the focuser's position as JSON" \
  bash -c 'curl -s -m 5 "$1/focuser/0/position?ClientTransactionID=9" | grep -q "\"ClientTransactionID\":9"' - "$api"
kill "$alpaca_pid" "$sim4_pid" 2>/dev/null
wait "$alpaca_pid" "$sim4_pid" 2>/dev/null

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
