#!/usr/bin/env bash
# HTTPS through the built program as curl and a scripted client use it:
#
#   tunnel_e2e.sh TARNWICK
#
# A TLS server (tools/tls_origin.py, with a certificate made here with openssl) on 127.0.0.1 is
# reached through CONNECT tunnels of the headless program:
# - `curl -k -x` downloads 3 MiB and uploads 2 MiB that comes back, every byte compared;
# - a client that shuts its sending side inside TLS still gets the server's answer, which proves
#   the half-close reached the server and the tunnel stayed open the other way;
# - the access log has one CONNECT line per tunnel with status 200.
# Exits 77 (CTest "skipped") when curl, openssl or python3 is missing. Every wait has a deadline;
# only the processes this script started are stopped, by PID.
set -euo pipefail
# shellcheck source=../../tools/proclib.sh
source "$(dirname "$0")/../../tools/proclib.sh"
tools=$(cd "$(dirname "$0")/../../tools" && pwd)

tarnwick=${1:-}
fail() {
  echo "tunnel_e2e: FAIL: $*" >&2
  exit 1
}
[ -x "$tarnwick" ] || fail "program '$tarnwick' is not executable"
for need in curl openssl python3; do
  if ! command -v "$need" >/dev/null; then
    echo "tunnel_e2e: $need is missing (make deps installs it), skipping" >&2
    exit 77
  fi
done
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-tunnel.XXXXXX")
home=$work/home
mkdir -p "$home"
origin_pid=
tarnwick_pid=
cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    for f in tarnwick.out origin.err home/TARNWICK.LOG; do
      echo "--- $f ---" >&2
      tail -n 40 "$work/$f" >&2 2>/dev/null || true
    done
  fi
  stop_pid "$tarnwick_pid"
  stop_pid "$origin_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
exit_on_signals

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || fail "openssl could not make a certificate"
python3 "$tools/tls_origin.py" 120 "$work/cert.pem" "$work/key.pem" >"$work/origin.port" 2>"$work/origin.err" &
origin_pid=$!
proxy_port=$(free_port)
cat >"$home/TARNWICK.INI" <<INI
[Corvane]
Port_Text=$proxy_port
m_Log_Enabled_Checked=True
INI
"$tarnwick" --headless --home "$home" >"$work/tarnwick.out" 2>&1 &
tarnwick_pid=$!

for ((i = 0; i < 200; i++)); do
  [ -s "$work/origin.port" ] && pid_listens_on "$tarnwick_pid" "$proxy_port" && break
  process_alive "$tarnwick_pid" || fail "tarnwick ended at start-up"
  process_alive "$origin_pid" || fail "the TLS server ended at start-up"
  sleep 0.1
done
origin_port=$(head -n 1 "$work/origin.port")
[ -n "$origin_port" ] && pid_listens_on "$tarnwick_pid" "$proxy_port" || fail "nothing listening within 20 s"
origin=https://127.0.0.1:$origin_port
through_proxy=(curl --silent --show-error --max-time 60 -k -x "http://127.0.0.1:$proxy_port")

python3 -c 'import sys; sys.stdout.buffer.write((bytes(range(256)) * 12288)[:3145728])' >"$work/expected.bin"
"${through_proxy[@]}" -o "$work/downloaded.bin" "$origin/blob?size=3145728" || fail "curl could not download through the tunnel"
cmp "$work/expected.bin" "$work/downloaded.bin" || fail "the download through the tunnel differs"

head -c 2097152 /dev/urandom >"$work/upload.bin"
"${through_proxy[@]}" --data-binary @"$work/upload.bin" -H 'Content-Type: application/octet-stream' \
  -o "$work/echoed.bin" "$origin/echo" || fail "curl could not upload through the tunnel"
cmp "$work/upload.bin" "$work/echoed.bin" || fail "the upload did not come back byte for byte"

python3 "$tools/tunnel_half_close.py" "$proxy_port" "$origin_port" 1048576 >/dev/null ||
  fail "the half-close did not pass the tunnel"

# The log line is written when the tunnel closes, which may trail the client's end a little.
for ((i = 0; i < 50; i++)); do
  [ "$(grep -c "\"CONNECT 127.0.0.1:$origin_port HTTP/1.1\" 200 " "$home/TARNWICK.LOG" 2>/dev/null)" -ge 3 ] && break
  sleep 0.1
done
lines=$(grep -c "\"CONNECT 127.0.0.1:$origin_port HTTP/1.1\" 200 " "$home/TARNWICK.LOG" || true)
[ "$lines" -eq 3 ] || fail "expected three CONNECT lines with status 200 in the log, found $lines"
# The download's tunnel sent the client at least the 3 MiB it carried.
sent=$(grep "\"CONNECT 127.0.0.1:$origin_port HTTP/1.1\" 200 " "$home/TARNWICK.LOG" | head -n 1 | awk '{print $NF}' | tr -d '\r')
[ "$sent" -ge 3145728 ] || fail "the first tunnel's log line counts $sent bytes sent, fewer than it carried"
echo "tunnel_e2e: 3 MiB down, 2 MiB up and back, and a half-close passed TLS tunnels byte for byte"
