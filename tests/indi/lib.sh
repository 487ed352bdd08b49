# What the INDI scripts share: stopping every process they start by its PID,
# a free port, and indiserver with the driver. Sourced once work, driver and
# dev are set; sim_pid and waiter are set by the scripts themselves.
sim_pid= server_pid= driver_pid= waiter=

cleanup() {
  local pid
  # The driver is indiserver's child: it is stopped by its PID too.
  for pid in $waiter $server_pid $driver_pid $sim_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  exec 8>&- 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

free_port() {
  local port=$((20000 + ($$ * 7 + RANDOM) % 30000))
  while (echo >/dev/tcp/127.0.0.1/$port) 2>/dev/null; do port=$((port + 1)); done
  echo $port
}

# start_server: indiserver on a free port ($port) running the driver; waits
# until the device answers, and notes the driver's PID.
start_server() {
  port=$(free_port)
  indiserver -p "$port" -u "$work/indiserver.sock" "$driver" >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 50); do indi_getprop -p "$port" "$dev.CONNECTION.*" >/dev/null 2>&1 && break; sleep 0.2; done
  driver_pid=$(pgrep -P "$server_pid")
}
