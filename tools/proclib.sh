# Shell helpers shared by the end-to-end tests and the load script: watching and stopping the
# processes a script started, and finding listening ports without connecting to them (a probe
# connection would become a request in the proxy's access log). Source it; it defines functions only.

# True while PID runs: a child that has exited stays a zombie until waited for, so `kill -0`
# alone cannot tell that it ended.
process_alive() {
  kill -0 "$1" 2>/dev/null || return 1
  [ "$(sed -n 's/^[0-9]* (.*) \([A-Z]\).*/\1/p' "/proc/$1/stat" 2>/dev/null)" != Z ]
}

# Asks PID to end, waits up to 5 s, then kills it. An empty PID is nothing to do.
stop_pid() {
  local pid=$1 i
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for ((i = 0; i < 50; i++)); do
    process_alive "$pid" || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# True when process PID owns a socket listening on PORT (any IPv4 address).
pid_listens_on() {
  local pid=$1 port_hex inodes
  port_hex=$(printf '%04X' "$2")
  inodes=$(find "/proc/$pid/fd" -maxdepth 1 -lname 'socket:*' -printf '%l\n' 2>/dev/null |
    sed -n 's/^socket:\[\([0-9]*\)\]$/\1/p' | tr '\n' ' ')
  [ -n "$inodes" ] || return 1
  awk -v port="$port_hex" -v inodes="$inodes" '
    BEGIN { n = split(inodes, list, " "); for (i = 1; i <= n; i++) mine[list[i]] = 1 }
    FNR > 1 && $4 == "0A" && $2 ~ (":" port "$") && ($10 in mine) { found = 1 }
    END { exit found ? 0 : 1 }' /proc/net/tcp
}

# True when anything at all listens on PORT (used to refuse a port that is not ours).
port_taken() {
  local port_hex
  port_hex=$(printf '%04X' "$1")
  awk -v port="$port_hex" 'FNR > 1 && $4 == "0A" && $2 ~ (":" port "$") { found = 1 }
    END { exit found ? 0 : 1 }' /proc/net/tcp /proc/net/tcp6
}

# A TCP port on 127.0.0.1 that nothing listens on at the moment of asking.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Turns the usual ending signals into an exit, so that the caller's EXIT trap (its clean-up) runs.
exit_on_signals() {
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 141' PIPE
  trap 'exit 143' TERM
}
