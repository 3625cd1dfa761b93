#!/usr/bin/env bash
# End-to-end checks of the built program: start `tarnwick --headless --home TMP`, send requests
# through it with curl to a loopback origin, stop it with SIGTERM and read its access log.
#
#   proxy_e2e.sh basic TARNWICK
#       GET, HEAD and POST through the proxy to a small Python origin; bodies, statuses, the
#       forwarded requests, exit status 0 after SIGTERM, exactly three log lines, and goaccess
#       reading the log as Common Log Format with no failed line.
#   proxy_e2e.sh bulk TARNWICK ORIGIN_SERVER
#       20 MiB download and 3 MiB upload through the proxy compared byte for byte, an origin 404
#       passed on, 400 requests 16 at a time, then the log and goaccess again. Exits 77 (CTest
#       "skipped") when ORIGIN_SERVER is empty because bench/ was not built.
#
# The proxy listens on the fixed port 8080, so the CTest entries hold RESOURCE_LOCK port8080.
# Everything stays on 127.0.0.1. Every wait has a deadline; the script stops only the processes it
# started, by PID, and removes its temporary folder.
set -euo pipefail
# shellcheck source=../../tools/proclib.sh
source "$(dirname "$0")/../../tools/proclib.sh"

readonly proxy_port=8080
mode=${1:-}
tarnwick=${2:-}
origin_server=${3:-}

fail() {
  echo "proxy_e2e ($mode): FAIL: $*" >&2
  exit 1
}

case $mode in
  basic) ;;
  bulk)
    if [ -z "$origin_server" ]; then
      echo "proxy_e2e (bulk): origin_server was not built, skipping" >&2
      exit 77
    fi
    [ -x "$origin_server" ] || fail "origin server '$origin_server' is not executable"
    ;;
  *)
    echo "usage: proxy_e2e.sh basic TARNWICK | bulk TARNWICK ORIGIN_SERVER" >&2
    exit 2
    ;;
esac
[ -x "$tarnwick" ] || fail "program '$tarnwick' is not executable"
for tool in curl python3 goaccess; do
  command -v "$tool" >/dev/null || fail "$tool is missing; run tools/install-deps.sh"
done

# A proxy variable in the environment, or a no_proxy entry for 127.0.0.1, would send curl around
# the program under test.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-e2e.XXXXXX")
home=$work/home
log=$home/TARNWICK.LOG
origin_pid=
tarnwick_pid=

cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    echo "--- tarnwick output ---" >&2
    cat "$work/tarnwick.out" >&2 2>/dev/null || true
    echo "--- access log ---" >&2
    cat -A "$log" >&2 2>/dev/null || true
    echo "--- origin output ---" >&2
    cat "$work/origin.err" >&2 2>/dev/null || true
  fi
  stop_pid "$tarnwick_pid"
  stop_pid "$origin_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
# A shell killed by an untrapped signal skips its EXIT trap; CTest's timeout sends SIGTERM or SIGKILL.
exit_on_signals

# wait_for_announced_port FILE PID: the port from a "listening on PORT" line, within 10 s.
wait_for_announced_port() {
  local file=$1 pid=$2 port i
  for ((i = 0; i < 100; i++)); do
    port=$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$file")
    if [ -n "$port" ]; then
      echo "$port"
      return 0
    fi
    process_alive "$pid" || return 1
    sleep 0.1
  done
  return 1
}

# The Python origin: GET and HEAD of /data answer the file given, POST /echo answers the body it
# received, anything else is 404. It appends each request it receives (method, target, Connection
# and Content-Length headers) to a record file, and stops by itself after its lifetime.
python_origin='
import http.server, sys, threading
data = open(sys.argv[1], "rb").read()
record = open(sys.argv[2], "a", buffering=1)
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *args):
        pass
    def path_only(self):
        target = self.path
        if target.startswith("http://"):
            target = "/" + target.split("/", 3)[3] if target.count("/") >= 3 else "/"
        return target
    def answer(self, status, body, with_body=True):
        record.write("%s %s %s|%s\n" % (self.command, self.path_only(),
                     self.headers.get("Connection", "-"), self.headers.get("Content-Length", "-")))
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if with_body:
            self.wfile.write(body)
    def do_GET(self):
        self.answer(200 if self.path_only() == "/data" else 404,
                    data if self.path_only() == "/data" else b"not found\n")
    def do_HEAD(self):
        self.answer(200 if self.path_only() == "/data" else 404,
                    data if self.path_only() == "/data" else b"not found\n", with_body=False)
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.answer(200 if self.path_only() == "/echo" else 404, body)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print("listening on %d" % server.server_address[1], flush=True)
stopper = threading.Timer(float(sys.argv[3]), server.shutdown)
stopper.daemon = True
stopper.start()
server.serve_forever()
'

start_python_origin() {
  : >"$work/origin.out"
  : >"$work/origin.record"
  python3 -c "$python_origin" "$work/data.bin" "$work/origin.record" 150 \
    >"$work/origin.out" 2>"$work/origin.err" &
  origin_pid=$!
  origin_port=$(wait_for_announced_port "$work/origin.out" "$origin_pid") ||
    fail "the Python origin did not announce its port"
}

start_origin_server() {
  : >"$work/origin.out"
  "$origin_server" 0 150 >"$work/origin.out" 2>"$work/origin.err" &
  origin_pid=$!
  origin_port=$(wait_for_announced_port "$work/origin.out" "$origin_pid") ||
    fail "origin_server did not announce its port"
}

# The relay alone: no tag filter, no popup script, log on. The program's first-run defaults filter
# HTML, which would change the pages these checks compare byte for byte.
write_relay_settings() {
  mkdir -p "$1"
  printf '[Corvane]\r\nPort_Text=8080\r\nFilterType_ItemIndex=0\r\nPopups_ItemIndex=0\r\nm_Log_Enabled_Checked=True\r\n' \
    >"$1/TARNWICK.INI"
}

start_tarnwick() {
  port_taken "$proxy_port" && fail "port $proxy_port is already in use by another program"
  write_relay_settings "$home"
  "$tarnwick" --headless --home "$home" >"$work/tarnwick.out" 2>&1 &
  tarnwick_pid=$!
  local i
  for ((i = 0; i < 200; i++)); do
    pid_listens_on "$tarnwick_pid" "$proxy_port" && return 0
    process_alive "$tarnwick_pid" || fail "tarnwick ended at start-up"
    sleep 0.1
  done
  fail "tarnwick did not listen on port $proxy_port within 20 s"
}

# Sends SIGTERM and expects the program to be gone with status 0 within 15 s.
stop_tarnwick() {
  local i status
  kill -TERM "$tarnwick_pid"
  for ((i = 0; i < 150; i++)); do
    process_alive "$tarnwick_pid" || break
    sleep 0.1
  done
  process_alive "$tarnwick_pid" && fail "tarnwick still runs 15 s after SIGTERM"
  status=0
  wait "$tarnwick_pid" || status=$?
  tarnwick_pid=
  [ "$status" -eq 0 ] || fail "tarnwick exited with status $status after SIGTERM, expected 0"
}

# wait_for_log_lines N: lets the connection threads finish their log lines (within 5 s) before
# the stop, since the exit path does not wait for them. Not reaching N here is not yet an error:
# the count is checked after the program has ended.
wait_for_log_lines() {
  local i
  for ((i = 0; i < 50; i++)); do
    [ -f "$log" ] && [ "$(tr -cd '\n' <"$log" | wc -c)" -ge "$1" ] && return 0
    sleep 0.1
  done
}

proxy_curl() {
  curl --silent --show-error --max-time 30 --proxy "http://127.0.0.1:$proxy_port" "$@"
}

# check_log EXPECTED...: each EXPECTED is "METHOD PATH HTTP/x.y STATUS SIZE COUNT"; the log must
# hold exactly those lines (in any order, since lines follow the end of connections), each in
# Common Log Format from 127.0.0.1 with a CR LF end and a time stamp close to now.
check_log() {
  [ -f "$log" ] || fail "no access log at $log"
  python3 - "$log" "$origin_port" "$@" <<'PY' || fail "access log check failed (see above)"
import collections, datetime, re, sys
path, port, expected = sys.argv[1], sys.argv[2], sys.argv[3:]
raw = open(path, "rb").read()
problems = []
if raw and not raw.endswith(b"\r\n"):
    problems.append("the log does not end with CR LF")
lines = raw[:-2].split(b"\r\n") if raw.endswith(b"\r\n") else raw.split(b"\r\n") if raw else []
pattern = re.compile(rb'^127\.0\.0\.1 - - \[(\d\d/[A-Z][a-z]{2}/\d{4}:\d\d:\d\d:\d\d) ([+-])(\d\d)(\d\d)\] '
                     rb'"(\S+) http://127\.0\.0\.1:(\d+)(\S*) (HTTP/1\.[01])" (\d{3}) (\d+|-)$')
now = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)
seen = collections.Counter()
for number, line in enumerate(lines, 1):
    match = pattern.match(line)
    if not match or b"\n" in line or b"\r" in line:
        problems.append("line %d is not a Common Log Format line of the expected shape: %r" % (number, line))
        continue
    stamp, sign, hours, minutes, method, line_port, target, version, status, size = match.groups()
    try:
        local = datetime.datetime.strptime(stamp.decode(), "%d/%b/%Y:%H:%M:%S")
    except ValueError:
        problems.append("line %d has an impossible date: %r" % (number, stamp))
        continue
    offset = datetime.timedelta(hours=int(hours), minutes=int(minutes)) * (1 if sign == b"+" else -1)
    # The zone is the standard-time offset; in summer local time runs an hour ahead of it.
    drift = abs((local - offset - now).total_seconds())
    if drift > 600 and abs(drift - 3600) > 600:
        problems.append("line %d: time stamp %s %s%s%s is %d s away from now" %
                        (number, stamp.decode(), sign.decode(), hours.decode(), minutes.decode(), drift))
    if line_port.decode() != port:
        problems.append("line %d names port %s, the origin is on %s" % (number, line_port.decode(), port))
    seen[" ".join(part.decode() for part in (method, target, version, status, size))] += 1
wanted = collections.Counter()
for item in expected:
    *key, count = item.split(" ")
    wanted[" ".join(key)] += int(count)
if len(lines) != sum(wanted.values()):
    problems.append("the log has %d lines, expected %d" % (len(lines), sum(wanted.values())))
for key in sorted(set(wanted) | set(seen)):
    if wanted[key] != seen[key]:
        problems.append("expected %d line(s) '%s', found %d" % (wanted[key], key, seen[key]))
for problem in problems:
    print("  " + problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
}

# check_goaccess LINES METHODS: goaccess, told the log is Common Log Format, must count every line
# as valid and none as failed, and list requests with exactly the given methods.
check_goaccess() {
  local lines=$1 methods=$2
  goaccess "$log" --log-format=COMMON --no-global-config -o "$work/goaccess.json" \
    </dev/null >"$work/goaccess.out" 2>&1 || fail "goaccess failed: $(cat "$work/goaccess.out")"
  python3 - "$work/goaccess.json" "$lines" "$methods" <<'PY' || fail "goaccess did not read the log as expected"
import json, sys
report = json.load(open(sys.argv[1]))
general = report["general"]
lines, methods = int(sys.argv[2]), sorted(sys.argv[3].split(","))
seen_methods = sorted({row["method"] for row in report["requests"]["data"]})
problems = []
if (general["total_requests"], general["valid_requests"], general["failed_requests"]) != (lines, lines, 0):
    problems.append("goaccess counted total %d, valid %d, failed %d; expected %d, %d, 0" % (
        general["total_requests"], general["valid_requests"], general["failed_requests"], lines, lines))
if seen_methods != methods:
    problems.append("goaccess saw methods %s, expected %s" % (seen_methods, methods))
for problem in problems:
    print("  " + problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
}

# expect_equal WHAT ACTUAL EXPECTED
expect_equal() {
  [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

run_basic() {
  # Bodies with every byte value, NULs and bare CR and LF, so any text handling in the relay shows.
  python3 -c '
import sys
sys.stdout.buffer.write((bytes(range(256)) * 12)[:3000])' >"$work/data.bin"
  python3 -c '
import sys
sys.stdout.buffer.write((b"\r\n\0post body " + bytes(range(255, -1, -1))) * 16 + b"tail")' >"$work/post.bin"
  local post_size
  post_size=$(wc -c <"$work/post.bin")
  start_python_origin
  start_tarnwick

  local url=http://127.0.0.1:$origin_port code
  code=$(proxy_curl -o "$work/get.body" -w '%{http_code}' "$url/data") ||
    fail "GET through the proxy: curl failed"
  expect_equal "GET status" "$code" 200
  cmp -s "$work/get.body" "$work/data.bin" || fail "GET body differs from what the origin sent"

  code=$(proxy_curl --head -o "$work/head.out" -w '%{http_code}' "$url/data") ||
    fail "HEAD through the proxy: curl failed"
  expect_equal "HEAD status" "$code" 200
  grep -qi '^Content-Length: 3000'$'\r''$' "$work/head.out" ||
    fail "HEAD answer lacks Content-Length: 3000: $(cat "$work/head.out")"

  code=$(proxy_curl --data-binary "@$work/post.bin" -H 'Content-Type: application/octet-stream' \
    -o "$work/post.body" -w '%{http_code}' "$url/echo") ||
      fail "POST through the proxy: curl failed"
  expect_equal "POST status" "$code" 200
  cmp -s "$work/post.body" "$work/post.bin" || fail "POST echo differs from the body sent"

  # What reached the origin: one request each, told to close, with the POST body's length intact.
  local record
  record=$(sort "$work/origin.record" | tr '[:upper:]' '[:lower:]' | tr '\n' ' ')
  expect_equal "requests seen by the origin (method path connection|length)" "$record" \
    "get /data close|- head /data close|- post /echo close|$post_size "

  wait_for_log_lines 3
  stop_tarnwick
  check_log "GET /data HTTP/1.1 200 3000 1" "HEAD /data HTTP/1.1 200 3000 1" \
    "POST /echo HTTP/1.1 200 $post_size 1"
  check_goaccess 3 GET,HEAD,POST
}

run_bulk() {
  start_origin_server
  start_tarnwick
  local url=http://127.0.0.1:$origin_port code

  curl --silent --show-error --max-time 60 -o "$work/large.direct" "$url/20m" ||
    fail "direct download of /20m failed"
  code=$(proxy_curl --max-time 60 -o "$work/large.proxy" -w '%{http_code}' "$url/20m") ||
    fail "/20m through the proxy: curl failed"
  expect_equal "/20m status" "$code" 200
  expect_equal "/20m size through the proxy" "$(wc -c <"$work/large.proxy")" 20971520
  cmp -s "$work/large.proxy" "$work/large.direct" ||
    fail "/20m through the proxy differs from the origin's bytes"

  head -c 3145728 /dev/urandom >"$work/upload.bin"
  # No "Expect: 100-continue": the origin never sends an interim answer, so curl would stall a second.
  code=$(proxy_curl --max-time 60 --data-binary "@$work/upload.bin" -H 'Expect:' \
    -o "$work/upload.echo" -w '%{http_code}' "$url/echo") ||
      fail "3 MiB POST through the proxy: curl failed"
  expect_equal "3 MiB POST status" "$code" 200
  cmp -s "$work/upload.echo" "$work/upload.bin" || fail "3 MiB POST echo differs from the body sent"

  code=$(proxy_curl -o "$work/missing.body" -w '%{http_code}' "$url/missing") ||
    fail "/missing through the proxy: curl failed"
  expect_equal "status of a missing page" "$code" 404
  expect_equal "body of a missing page" "$(cat "$work/missing.body")" "Not found"

  # Concurrent requests from Python rather than ab: at the end of a run ab closes the spare
  # connections it opened without sending on them, and each of those is a log line of its own.
  curl --silent --show-error --max-time 30 -o "$work/page.direct" "$url/5k" ||
    fail "direct download of /5k failed"
  python3 - "$proxy_port" "$url/5k" "$work/page.direct" <<'PY' || fail "concurrent requests through the proxy failed"
import concurrent.futures, http.client, sys
proxy_port, url, expected = int(sys.argv[1]), sys.argv[2], open(sys.argv[3], "rb").read()
def fetch(_):
    connection = http.client.HTTPConnection("127.0.0.1", proxy_port, timeout=30)
    try:
        connection.request("GET", url)
        response = connection.getresponse()
        return response.status, response.read()
    except OSError as error:
        return str(error), b""
    finally:
        connection.close()
with concurrent.futures.ThreadPoolExecutor(max_workers=16) as pool:
    results = list(pool.map(fetch, range(400)))
bad = [(status, len(body)) for status, body in results if status != 200 or body != expected]
if bad:
    print("  %d of 400 concurrent requests went wrong, e.g. %s" % (len(bad), bad[:5]), file=sys.stderr)
sys.exit(1 if bad else 0)
PY

  wait_for_log_lines 403
  stop_tarnwick
  check_log "GET /20m HTTP/1.1 200 20971520 1" "POST /echo HTTP/1.1 200 3145728 1" \
    "GET /missing HTTP/1.1 404 10 1" "GET /5k HTTP/1.1 200 5120 400"
  check_goaccess 403 GET,POST
}

"run_$mode"
echo "proxy_e2e ($mode): all checks passed"
