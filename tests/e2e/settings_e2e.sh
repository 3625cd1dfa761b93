#!/usr/bin/env bash
# End-to-end checks of the settings file, the modes, the statistics and the single instance, on the
# built program run headless with a settings directory of its own.
#
#   settings_e2e.sh settings TARNWICK
#       A written TARNWICK.INI: the program listens on its Port_Text (a free port picked here), a
#       second instance on the same directory ends at once with status 0 while the first keeps
#       serving, and after SIGTERM the file holds the statistics lines with the right ConnCnt.
#   settings_e2e.sh modes TARNWICK
#       m_Options_Offline_Checked answers 304 without asking the origin, with the same version
#       text in its Server line as --version prints; with a block list entry, a blocked address
#       gets 403 normally and passes in m_Options_Passthru_Checked mode.
#   settings_e2e.sh fresh TARNWICK
#       An empty settings directory: the program listens on 8080 and writes TARNWICK.INI at exit
#       with its first-run settings. Needs port 8080, so CTest holds RESOURCE_LOCK port8080.
#   settings_e2e.sh reload TARNWICK
#       SIGHUP takes up an edited TARNWICK.INI (a block entry and the port) in the same process; a
#       file that holds no settings keeps the running ones.
#   settings_e2e.sh import TARNWICK
#       --import-blocklist on a hosts file while the program runs: the running program blocks the
#       imported hosts at once; a second import finds them present.
#   settings_e2e.sh explain TARNWICK
#       --explain names the deciding entry for a block hit, an exception by Referer, a redirection
#       and a request that passes, from the settings in the settings directory.
#   settings_e2e.sh autostart TARNWICK
#       --autostart on writes a valid XDG autostart entry for the program, off removes it.
#   settings_e2e.sh slowstart TARNWICK
#       SIGTERM while a large settings file is still being read at start-up ends the program with
#       status 0, the file written back whole.
#   settings_e2e.sh limits TARNWICK
#       The [Tarnwick.Limits] section read at start: a head not sent within HeadTimeout closes the
#       connection, a connection beyond MaxConnections gets 503 at once, and the section survives
#       the settings file being written at exit.
#
# Everything stays on 127.0.0.1. Every wait has a deadline; the script stops only the processes it
# started, by PID, and removes its temporary folder.
set -euo pipefail
# shellcheck source=../../tools/proclib.sh
source "$(dirname "$0")/../../tools/proclib.sh"

mode=${1:-}
tarnwick=${2:-}

fail() {
  echo "settings_e2e ($mode): FAIL: $*" >&2
  exit 1
}

case $mode in
  settings | modes | fresh | reload | import | explain | autostart | limits | slowstart) ;;
  *)
    echo "usage: settings_e2e.sh settings|modes|fresh|reload|import|explain|autostart|limits|slowstart TARNWICK" >&2
    exit 2
    ;;
esac
[ -x "$tarnwick" ] || fail "program '$tarnwick' is not executable"
for tool in curl python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing; run tools/install-deps.sh"
done
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-settings-e2e.XXXXXX")
home=$work/home
mkdir -p "$home"
origin_pid=
tarnwick_pid=

cleanup() {
  local status=$?
  if [ "$status" -ne 0 ]; then
    echo "--- tarnwick output ---" >&2
    cat "$work"/tarnwick*.out >&2 2>/dev/null || true
    echo "--- TARNWICK.INI ---" >&2
    cat "$home/TARNWICK.INI" >&2 2>/dev/null || true
  fi
  stop_pid "$tarnwick_pid"
  stop_pid "$origin_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
exit_on_signals

# A loopback port that nothing listens on at this moment.

# The origin answers every GET with 200 "origin page" and counts the requests it received.
start_origin() {
  python3 "$(dirname "$0")/../../tools/test_origin.py" 120 --requests "$work/origin.requests" >"$work/origin.port" 2>"$work/origin.err" &
  origin_pid=$!
  local i
  for ((i = 0; i < 100; i++)); do
    origin_port=$(cat "$work/origin.port" 2>/dev/null || true)
    [ -n "$origin_port" ] && return 0
    sleep 0.1
  done
  fail "the origin did not start"
}

# start_tarnwick PORT: runs the program on $home and waits until it listens on PORT.
start_tarnwick() {
  local port=$1 i
  "$tarnwick" --headless --home "$home" >"$work/tarnwick.out" 2>&1 &
  tarnwick_pid=$!
  for ((i = 0; i < 200; i++)); do
    pid_listens_on "$tarnwick_pid" "$port" && return 0
    process_alive "$tarnwick_pid" || fail "tarnwick ended at start-up"
    sleep 0.1
  done
  fail "tarnwick did not listen on port $port within 20 s"
}

stop_tarnwick() {
  local i status=0
  kill -TERM "$tarnwick_pid"
  for ((i = 0; i < 150; i++)); do
    process_alive "$tarnwick_pid" || break
    sleep 0.1
  done
  process_alive "$tarnwick_pid" && fail "tarnwick still runs 15 s after SIGTERM"
  wait "$tarnwick_pid" || status=$?
  tarnwick_pid=
  [ "$status" -eq 0 ] || fail "tarnwick exited with status $status after SIGTERM, expected 0"
}

# get PORT PATH: the status code of a GET through the proxy on PORT.
get() {
  curl --silent --max-time 20 -o "$work/body" -w '%{http_code}' --proxy "http://127.0.0.1:$1" \
    "http://127.0.0.1:$origin_port$2" || true
}

origin_requests() { [ -f "$work/origin.requests" ] && wc -l <"$work/origin.requests" || echo 0; }

# ini_value SECTION KEY: the value in TARNWICK.INI (first match, names without regard to case).
ini_value() {
  python3 - "$home/TARNWICK.INI" "$1" "$2" <<'PY'
import sys
path, section, key = sys.argv[1], sys.argv[2].lower(), sys.argv[3].lower()
current = None
for line in open(path, encoding="utf-8", errors="replace"):
    line = line.strip()
    if line.startswith("["):
        current = line[1:line.index("]")].strip().lower() if "]" in line else None
    elif current == section and "=" in line:
        name, value = line.split("=", 1)
        if name.strip().lower() == key:
            print(value.strip())
            break
PY
}

expect_equal() {
  [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

run_settings() {
  start_origin
  local port
  port=$(free_port)
  printf '[Corvane]\nPort_Text=%s\nm_Log_Enabled_Checked=True\n' "$port" >"$home/TARNWICK.INI"
  start_tarnwick "$port"
  expect_equal "first GET" "$(get "$port" /one)" 200
  expect_equal "body" "$(cat "$work/body")" "origin page"

  # A second instance on the same settings directory ends at once, silently and successfully.
  local second_status=0
  timeout 20 "$tarnwick" --headless --home "$home" >"$work/tarnwick-second.out" 2>&1 || second_status=$?
  expect_equal "second instance's status" "$second_status" 0
  [ -s "$work/tarnwick-second.out" ] && fail "the second instance printed: $(cat "$work/tarnwick-second.out")"
  process_alive "$tarnwick_pid" || fail "the first instance ended when the second started"
  expect_equal "GET after the second start" "$(get "$port" /two)" 200
  pid_listens_on "$tarnwick_pid" 8080 && fail "tarnwick listens on 8080 instead of only $port"

  stop_tarnwick
  expect_equal "ConnCnt line" "$(ini_value Corvane.StatStrings_Strings Item8)" "ConnCnt=2"
  expect_equal "statistics line count" "$(ini_value Corvane.StatStrings_Strings Count)" 13
  expect_equal "first statistics line" "$(ini_value Corvane.StatStrings_Strings Item0)" "FltImagesCnt=0"
  expect_equal "Port_Text kept" "$(ini_value Corvane Port_Text)" "$port"
  [ "$(grep -c 'GET http://127.0.0.1' "$home/TARNWICK.LOG")" -eq 2 ] || fail "the access log lacks its two lines"

  # The counts go on from where they were at the next start.
  start_tarnwick "$port"
  expect_equal "GET after the restart" "$(get "$port" /three)" 200
  stop_tarnwick
  expect_equal "ConnCnt after the restart" "$(ini_value Corvane.StatStrings_Strings Item8)" "ConnCnt=3"
}

# write_modes_ini PORT OFFLINE PASSTHRU: both filter types, one block list entry.
write_modes_ini() {
  printf '[Corvane]\nPort_Text=%s\nFilterType_ItemIndex=3\nm_Options_Offline_Checked=%s\nm_Options_Passthru_Checked=%s\n' \
    "$1" "$2" "$3" >"$home/TARNWICK.INI"
  printf '[Corvane.BlockList_Items]\nCount=1\nItem0=/blocked/\n[Corvane.BlockListStates_Strings]\nCount=1\nItem0=1\n' \
    >>"$home/TARNWICK.INI"
}

run_modes() {
  start_origin
  local port
  port=$(free_port)

  write_modes_ini "$port" True False
  start_tarnwick "$port"
  expect_equal "offline GET" "$(get "$port" /offline)" 304
  # The program names its version with one text: --version prints what its answers carry.
  local version
  version=$("$tarnwick" --version)
  [[ "$version" == *1.4* ]] || fail "--version printed '$version'"
  curl --silent --max-time 20 -o /dev/null -D "$work/offline.head" --proxy "http://127.0.0.1:$port" \
    "http://127.0.0.1:$origin_port/offline" || true
  grep -qxF "Server: $version"$'\r' "$work/offline.head" ||
    fail "the 304 answer does not carry 'Server: $version': $(cat "$work/offline.head")"
  stop_tarnwick
  expect_equal "requests that reached the origin in offline mode" "$(origin_requests)" 0

  write_modes_ini "$port" False False
  start_tarnwick "$port"
  expect_equal "blocked GET" "$(get "$port" /blocked/ad.gif)" 403
  expect_equal "allowed GET" "$(get "$port" /page)" 200
  stop_tarnwick
  expect_equal "requests that reached the origin in normal mode" "$(origin_requests)" 1

  write_modes_ini "$port" False True
  start_tarnwick "$port"
  expect_equal "blocked address in pass-through mode" "$(get "$port" /blocked/ad.gif)" 200
  stop_tarnwick
  expect_equal "requests that reached the origin" "$(origin_requests)" 2
}

run_fresh() {
  if [ -n "$(awk 'FNR > 1 && $4 == "0A" && $2 ~ /:1F90$/' /proc/net/tcp /proc/net/tcp6)" ]; then
    fail "port 8080 is already in use by another program"
  fi
  start_tarnwick 8080
  [ -f "$home/TARNWICK.INI" ] && fail "TARNWICK.INI was written before the exit"
  stop_tarnwick
  [ -f "$home/TARNWICK.INI" ] || fail "no TARNWICK.INI after the exit"
  expect_equal "Port_Text" "$(ini_value Corvane Port_Text)" 8080
  expect_equal "AllowOthers_Checked" "$(ini_value Corvane AllowOthers_Checked)" False
  expect_equal "FilterType_ItemIndex" "$(ini_value Corvane FilterType_ItemIndex)" 3
  expect_equal "m_Log_Enabled_Checked" "$(ini_value Corvane m_Log_Enabled_Checked)" True
  expect_equal "image sizes" "$(ini_value Corvane.SizeList_Items Count)" 12
  [ "$(ini_value Corvane.BlockList_Items Count)" -gt 0 ] || fail "no block list"
  [ -f "$home/TARNWICK.LOG" ] || fail "no access log"

  # A stored port that cannot be used: 8080, and a word about it.
  local bad
  for bad in "" abc 0 -1 70000; do
    printf '[Corvane]\nPort_Text=%s\n' "$bad" >"$home/TARNWICK.INI"
    start_tarnwick 8080
    grep -q "cannot be used; Tarnwick listens on port 8080" "$work/tarnwick.out" || fail "port '$bad' not reported"
    stop_tarnwick
  done
  printf 'garbage\0\377\n[[[' >"$home/TARNWICK.INI"
  start_tarnwick 8080
  stop_tarnwick
}

run_limits() {
  local port
  port=$(free_port)
  printf '[Corvane]\nPort_Text=%s\n[Tarnwick.Limits]\nHeadTimeout=2\nMaxConnections=1\n' "$port" >"$home/TARNWICK.INI"
  start_tarnwick "$port"
  local outcome
  outcome=$(python3 - "$port" <<'PY'
import socket, sys, time
port = int(sys.argv[1])
held = socket.create_connection(("127.0.0.1", port))
held.sendall(b"GET http://127.0.0.1/ HTTP/1.0\r\n")  # and the rest never comes
time.sleep(0.3)
second = socket.create_connection(("127.0.0.1", port))
second.settimeout(10)
second.sendall(b"GET http://127.0.0.1/ HTTP/1.0\r\n\r\n")
answer = second.recv(4096).split(b"\r\n")[0].decode()
start = time.monotonic()
held.settimeout(20)
closed = held.recv(4096) == b""
print(answer + "|" + ("closed" if closed and time.monotonic() - start < 15 else "open"))
PY
  )
  expect_equal "second connection, then the held one" "$outcome" "HTTP/1.0 503 Service Unavailable|closed"
  grep -q "Tarnwick listens on 127.0.0.1.*, port $port" "$work/tarnwick.out" || fail "no listening address on stderr"

  # Headless, a port in use ends the program with status 1 and a message instead of serving nothing.
  mkdir -p "$work/other"
  printf '[Corvane]\nPort_Text=%s\n' "$port" >"$work/other/TARNWICK.INI"
  local status=0
  timeout 20 "$tarnwick" --headless --home "$work/other" >"$work/tarnwick-busy.out" 2>&1 || status=$?
  expect_equal "status with the port in use" "$status" 1
  grep -q "^tarnwick: " "$work/tarnwick-busy.out" || fail "no message for the port in use"
  stop_tarnwick
  expect_equal "MaxConnections kept" "$(ini_value Tarnwick.Limits MaxConnections)" 1

  # A settings file that cannot be written at exit: a message, and status 1 instead of 0.
  start_tarnwick "$port"
  rm "$home/TARNWICK.INI"
  mkdir "$home/TARNWICK.INI"
  kill -TERM "$tarnwick_pid"
  local i
  for ((i = 0; i < 150; i++)); do
    process_alive "$tarnwick_pid" || break
    sleep 0.1
  done
  process_alive "$tarnwick_pid" && fail "tarnwick still runs 15 s after SIGTERM"
  status=0
  wait "$tarnwick_pid" || status=$?
  tarnwick_pid=
  expect_equal "status when the settings cannot be written" "$status" 1
  grep -q "The statistics cannot be written to" "$work/tarnwick.out" || fail "no message for the failed write"
  rmdir "$home/TARNWICK.INI"
}

# write_block_ini PORT ENTRY: normal mode, request filter on, one ticked block entry.
write_block_ini() {
  printf '[Corvane]\nPort_Text=%s\nFilterType_ItemIndex=3\n' "$1" >"$home/TARNWICK.INI"
  printf '[Corvane.BlockList_Items]\nCount=1\nItem0=%s\n[Corvane.BlockListStates_Strings]\nCount=1\nItem0=1\n' \
    "$2" >>"$home/TARNWICK.INI"
}

# wait_listening PORT: the running program listens on PORT within 20 s.
wait_listening() {
  local i
  for ((i = 0; i < 200; i++)); do
    pid_listens_on "$tarnwick_pid" "$1" && return 0
    sleep 0.1
  done
  fail "tarnwick did not listen on port $1 within 20 s"
}

run_reload() {
  start_origin
  local first second pid
  first=$(free_port)
  write_block_ini "$first" /first/
  start_tarnwick "$first"
  pid=$tarnwick_pid
  expect_equal "/first/ before the reload" "$(get "$first" /first/a)" 403
  expect_equal "/second/ before the reload" "$(get "$first" /second/a)" 200

  second=$(free_port)
  write_block_ini "$second" /second/
  kill -HUP "$tarnwick_pid"
  wait_listening "$second"
  expect_equal "/second/ after the reload" "$(get "$second" /second/a)" 403
  expect_equal "/first/ after the reload" "$(get "$second" /first/a)" 200
  pid_listens_on "$tarnwick_pid" "$first" && fail "the old port is still open"
  expect_equal "process after the reload" "$tarnwick_pid" "$pid"

  printf 'this is not a settings file\n' >"$home/TARNWICK.INI"
  kill -HUP "$tarnwick_pid"
  local i
  for ((i = 0; i < 100; i++)); do
    grep -q 'settings not reloaded' "$work/tarnwick.out" && break
    sleep 0.1
  done
  grep -q 'settings not reloaded.*holds no Tarnwick settings' "$work/tarnwick.out" ||
    fail "no word on stderr about the broken file"
  expect_equal "/second/ after the broken file" "$(get "$second" /second/a)" 403
  stop_tarnwick
  expect_equal "Port_Text saved at exit" "$(ini_value Corvane Port_Text)" "$second"
}

run_import() {
  start_origin
  local port
  port=$(free_port)
  write_block_ini "$port" /nothing-here/
  printf '# test hosts\n127.0.0.1 localhost\n0.0.0.0 ads.blocked.example\n192.0.2.1 real.example\n' >"$work/hosts"
  start_tarnwick "$port"
  expect_equal "before the import" "$(get "$port" /x/ads.blocked.example/a)" 200
  local out
  out=$("$tarnwick" --home "$home" --import-blocklist "$work/hosts") || fail "the import failed: $out"
  expect_equal "import report" "$out" "1 added, 0 already present, 1 skipped"
  local i status=
  for ((i = 0; i < 100; i++)); do
    status=$(get "$port" /x/ads.blocked.example/b)
    [ "$status" = 403 ] && break
    sleep 0.1
  done
  expect_equal "after the import, without a restart" "$status" 403
  stop_tarnwick
  out=$("$tarnwick" --home "$home" --import-blocklist "$work/hosts")
  expect_equal "second import" "$out" "0 added, 1 already present, 1 skipped"
  expect_equal "entries kept at exit" "$(ini_value Corvane.BlockList_Items Count)" 2
  "$tarnwick" --home "$home" --import-blocklist "$work/missing" 2>"$work/err" && fail "a missing file was imported"
  grep -q 'missing' "$work/err" || fail "no word about the missing file"
}

# explain URL [REFERER]: the program's explanation under $home's settings.
explain() {
  if [ -n "${2:-}" ]; then
    "$tarnwick" --home "$home" --explain "$1" --referer "$2"
  else
    "$tarnwick" --home "$home" --explain "$1"
  fi
}

expect_line() {
  grep -qxF -- "$2" <<<"$3" || fail "$1: no line '$2' in:
$3"
}

run_explain() {
  {
    printf '[Corvane]\nPort_Text=1\nFilterType_ItemIndex=3\nEnableRedir_Checked=True\n'
    printf '[Corvane.BlockList_Items]\nCount=3\nItem0=! mysite.example\nItem1=/ads/\nItem2=banner\n'
    printf '[Corvane.BlockListStates_Strings]\nCount=3\nItem0=1\nItem1=1\nItem2=1\n'
    printf '[Corvane.RedirList_Items]\nCount=1\nItem0=shop.example\n'
    printf '[Corvane.RedirListStates_Strings]\nCount=1\nItem0=1|2|http://elsewhere.example/|\n'
  } >"$home/TARNWICK.INI"
  local out
  out=$(explain http://cdn.example/banner/ads/x.gif)
  expect_line "block hit" 'block list: blocked by entry "/ads/"' "$out"
  expect_line "block hit" 'result: 403 Page Blocked' "$out"
  out=$(explain http://cdn.example/banner.gif http://mysite.example/page)
  expect_line "exception" \
    'block list: exception "! mysite.example" found in the Referer lets the request through (entry "banner" matched); pictures of this connection are not filtered' \
    "$out"
  out=$(explain http://shop.example/cart)
  expect_line "redirection" \
    'redirection list: entry "shop.example" matches, action redirect to http://elsewhere.example/' "$out"
  expect_line "redirection" 'result: 302 redirect to http://elsewhere.example/' "$out"
  out=$(explain http://news.example/)
  expect_line "pass" 'block list: no entry matches' "$out"
  expect_line "pass" 'access list: no entry for 127.0.0.1, access granted' "$out"
  grep -q '^result: forwarded to the server' <<<"$out" || fail "pass: $out"
  [ -f "$home/tarnwick.lock" ] && [ -s "$home/tarnwick.lock" ] && fail "--explain took the program's lock"
  "$tarnwick" --home "$home" --referer x 2>/dev/null && fail "--referer without --explain was taken"
  return 0
}

run_autostart() {
  export XDG_CONFIG_HOME=$work/config
  "$tarnwick" --autostart on >/dev/null || fail "--autostart on failed"
  local entry=$XDG_CONFIG_HOME/autostart/tarnwick.desktop
  [ -f "$entry" ] || fail "no autostart entry"
  grep -qx "Exec=$(readlink -f "$tarnwick")" "$entry" || fail "the entry does not run this program: $(cat "$entry")"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate refused the entry"
  fi
  "$tarnwick" --autostart off >/dev/null || fail "--autostart off failed"
  [ -e "$entry" ] && fail "the entry is still there"
  "$tarnwick" --autostart maybe 2>/dev/null && fail "--autostart maybe was taken"
  return 0
}

run_slowstart() {
  local port entries=200000
  port=$(free_port)
  python3 - "$home/TARNWICK.INI" "$port" "$entries" <<'PY'
import sys
path, port, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
with open(path, "w") as ini:
    ini.write("[Corvane]\nPort_Text=%s\n[Corvane.BlockList_Items]\nCount=%d\n" % (port, count))
    ini.writelines("Item%d=slow-start-%07d.example\n" % (i, i) for i in range(count))
PY
  "$tarnwick" --headless --home "$home" >"$work/tarnwick.out" 2>&1 &
  tarnwick_pid=$!
  sleep 0.3
  grep -q "listens on" "$work/tarnwick.out" && fail "start-up was over before the signal; the test needs a larger file"
  kill -TERM "$tarnwick_pid"
  local i status=0
  for ((i = 0; i < 600; i++)); do
    process_alive "$tarnwick_pid" || break
    sleep 0.1
  done
  process_alive "$tarnwick_pid" && fail "tarnwick still runs 60 s after a SIGTERM during start-up"
  wait "$tarnwick_pid" || status=$?
  tarnwick_pid=
  expect_equal "status after SIGTERM during start-up" "$status" 0
  expect_equal "block list written back" "$(ini_value Corvane.BlockList_Items Count)" "$entries"
}

"run_$mode"
echo "settings_e2e ($mode): all checks passed"
