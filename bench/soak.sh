#!/usr/bin/env bash
# Soak probes of the running program against slow peers and floods, on 127.0.0.1 only, each bounded
# in time. Prints the proxy's threads, open files and resident memory before and after each probe.
#
#   bench/soak.sh            (BUILD=build by default; CLIENTS=2000 HALF=1000 STALLED=500 CAP=2500)
#
# Probes:
#   load      CLIENTS clients connected at once, then each one GET of a 5 KB page (through bench's
#             origin_server), with the open files the system allows.
#   half      HALF clients that send half a request head and wait, under `ulimit -n 1024`, while a
#             normal client asks for a page; then the head time-out (set to 5 s here) frees them.
#   stalled   STALLED requests to a server that accepts and never answers, abandoned by their
#             clients; the idle time-out (set to 5 s here) frees them.
# The proxy runs with a home of its own in a temporary folder; everything started here is stopped
# by PID at the end.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$repo/$build ;; esac
tarnwick=$build/tarnwick
origin=$build/bench/origin_server
# shellcheck source=../tools/proclib.sh
source "$repo/tools/proclib.sh"
[ -x "$tarnwick" ] || { echo "soak.sh: $tarnwick not built" >&2; exit 1; }
[ -x "$origin" ] || { echo "soak.sh: $origin not built (needs Google Benchmark)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "soak.sh: python3 not found" >&2; exit 1; }
unset http_proxy HTTP_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-soak.XXXXXX")
tarnwick_pid=
origin_pid=
cleanup() {
  stop_pid "$tarnwick_pid"
  stop_pid "$origin_pid"
  rm -rf "$work"
}
trap cleanup EXIT
exit_on_signals

"$origin" 0 600 >"$work/origin.out" &
origin_pid=$!
for ((i = 0; i < 100; i++)); do grep -q "listening on" "$work/origin.out" 2>/dev/null && break; sleep 0.1; done
origin_port=$(awk '/listening on/ {print $3; exit}' "$work/origin.out")
[ -n "$origin_port" ] || { echo "soak.sh: the origin did not start" >&2; exit 1; }

port=$(free_port)
mkdir -p "$work/home"
printf '[Corvane]\nPort_Text=%s\nm_Log_Enabled_Checked=False\n[Tarnwick.Limits]\nHeadTimeout=5\nIdleTimeout=5\nMaxConnections=%s\n' \
  "$port" "${CAP:-2500}" >"$work/home/TARNWICK.INI"

# start_proxy FILES: the program under a limit of FILES open files (soft and hard: it raises its
# soft limit to the hard one at start).
start_proxy() {
  (ulimit -Sn "$1" && ulimit -Hn "$1" && exec "$tarnwick" --headless --home "$work/home") >"$work/tarnwick.out" 2>&1 &
  tarnwick_pid=$!
  for ((i = 0; i < 200; i++)); do pid_listens_on "$tarnwick_pid" "$port" && break; sleep 0.1; done
  pid_listens_on "$tarnwick_pid" "$port" || { echo "soak.sh: tarnwick did not start" >&2; cat "$work/tarnwick.out" >&2; exit 1; }
}

# probe NAME: one probe of the script below against the running program.
probe() {
  python3 - "$1" "$tarnwick_pid" "$port" "$origin_port" "${CLIENTS:-2000}" "${HALF:-1000}" "${STALLED:-500}" <"$work/probes.py"
}

cat >"$work/probes.py" <<'PY'
import os, socket, sys, threading, time
probe = sys.argv[1]
pid, port, origin_port, clients, half, stalled = map(int, sys.argv[2:])

def figures():
    threads = len(os.listdir(f"/proc/{pid}/task"))
    files = len(os.listdir(f"/proc/{pid}/fd"))
    rss = next(int(l.split()[1]) for l in open(f"/proc/{pid}/status") if l.startswith("VmRSS"))
    return f"threads {threads:4d}  files {files:5d}  memory {rss / 1024:7.1f} MiB"

def get(path, timeout=60, gate=None):
    s = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    s.settimeout(timeout)
    if gate is not None:
        gate.wait(30)  # every client connected before any one asks
    s.sendall(f"GET http://127.0.0.1:{origin_port}{path} HTTP/1.0\r\n\r\n".encode())
    data = b""
    while True:
        piece = s.recv(65536)
        if not piece:
            break
        data += piece
    s.close()
    return data

def settle(deadline=30):
    # Waits until the proxy holds no more than its idle threads (bounded).
    end = time.monotonic() + deadline
    while time.monotonic() < end and len(os.listdir(f"/proc/{pid}/task")) > 8:
        time.sleep(0.2)

def load():
    ok, worst = [0], [0.0]
    lock = threading.Lock()
    gate = threading.Barrier(clients)
    def one():
        start = time.monotonic()
        try:
            good = get("/5k", gate=gate).startswith(b"HTTP/1.1 200")
        except (OSError, threading.BrokenBarrierError):
            good = False
        with lock:
            ok[0] += good
            worst[0] = max(worst[0], time.monotonic() - start)
    barrier = [threading.Thread(target=one) for _ in range(clients)]
    t0 = time.monotonic()
    for t in barrier: t.start()
    for t in barrier: t.join(120)
    print(f"load: {ok[0]}/{clients} connected at once, answered 200 in {time.monotonic() - t0:.1f} s, slowest {worst[0]:.2f} s")
    settle()
    print(f"after load            {figures()}")

def half_heads():
    held = []
    for _ in range(half):
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=5)
            s.sendall(b"GET http://127.0.0.1/ HTTP/1.0\r\nHost: x")
            held.append(s)
        except OSError:
            break
    time.sleep(0.5)
    print(f"{len(held)} half heads held  {figures()}")
    t0 = time.monotonic()
    try:
        answer = get("/5k", timeout=30)[:40]
    except OSError as e:
        answer = repr(e).encode()
    first_line = answer.split(b"\r\n")[0].decode(errors="replace")
    print(f"normal client meanwhile: {first_line!r} in {time.monotonic() - t0:.2f} s")
    settle()
    print(f"after head time-out   {figures()}")
    for s in held: s.close()

def stalled_server():
    stall = socket.socket()
    stall.bind(("127.0.0.1", 0))
    stall.listen(4096)
    stall_port = stall.getsockname()[1]
    abandoned = 0
    for _ in range(stalled):
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=5)
            s.sendall(f"GET http://127.0.0.1:{stall_port}/ HTTP/1.0\r\n\r\n".encode())
            s.close()
            abandoned += 1
        except OSError:
            break
    time.sleep(1)
    print(f"{abandoned} abandoned to a stalled server  {figures()}")
    settle()
    print(f"after idle time-out   {figures()}")
    stall.close()

print(f"{probe:<21} start {figures()}")
{"load": load, "half": half_heads, "stalled": stalled_server}[probe]()
PY

# The load with the files the program can have (it raises its soft limit to the hard one); the slow
# peers under the desktop's usual 1,024, as the issue's probes had them.
start_proxy "$(ulimit -Hn)"
probe load
stop_pid "$tarnwick_pid"
tarnwick_pid=
start_proxy 1024
probe half
probe stalled
