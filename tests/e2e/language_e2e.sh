#!/usr/bin/env bash
# End-to-end check of the language on the built program, run headless in a fresh settings
# directory: under LANG=de_DE.UTF-8 the program takes German as its language, stores it, and
# reports a listening port that another program holds with the German text on stderr.
#
#   language_e2e.sh TARNWICK
#
# The holder of the port listens on 127.0.0.1 only. Every wait has a deadline; the script stops only
# the processes it started, by PID, and removes its temporary folder.
set -euo pipefail
# shellcheck source=../../tools/proclib.sh
source "$(dirname "$0")/../../tools/proclib.sh"

tarnwick=${1:-}
fail() {
  echo "language_e2e: FAIL: $*" >&2
  exit 1
}
[ -x "$tarnwick" ] || fail "program '$tarnwick' is not executable"
command -v python3 >/dev/null || fail "python3 is missing; run tools/install-deps.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-language-e2e.XXXXXX")
home=$work/home
mkdir -p "$home"
holder_pid=
tarnwick_pid=

cleanup() {
  local status=$?
  if [ "$status" -ne 0 ]; then
    echo "--- tarnwick stderr ---" >&2
    cat "$work/tarnwick.err" >&2 2>/dev/null || true
  fi
  stop_pid "$tarnwick_pid"
  stop_pid "$holder_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
exit_on_signals

# Holds a loopback port until it is stopped and writes the port's number to a file.
python3 -c '
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
with open(sys.argv[1], "w") as f:
    f.write(str(s.getsockname()[1]))
time.sleep(120)
' "$work/port" &
holder_pid=$!
for ((i = 0; i < 100; i++)); do
  [ -s "$work/port" ] && break
  sleep 0.05
done
port=$(cat "$work/port" 2>/dev/null) || fail "the port holder did not start"
printf '[Corvane]\nPort_Text=%s\n' "$port" >"$home/TARNWICK.INI"

env -u LC_ALL -u LC_MESSAGES LANG=de_DE.UTF-8 "$tarnwick" --headless --home "$home" >"$work/tarnwick.out" 2>"$work/tarnwick.err" &
tarnwick_pid=$!
expected='tarnwick: Fehler: Tarnwick kann seinen Port nicht öffnen.'
for ((i = 0; i < 200; i++)); do
  grep -qF "$expected" "$work/tarnwick.err" && break
  process_alive "$tarnwick_pid" || fail "the program ended early"
  sleep 0.05
done
grep -qF "$expected" "$work/tarnwick.err" || fail "no German message for the port in use"
grep -qF 'Bitte wählen Sie auf der Seite' "$work/tarnwick.err" || fail "the message lost its further lines"
if grep -q '#' "$work/tarnwick.err"; then fail "a language key reached stderr"; fi
stop_pid "$tarnwick_pid"
tarnwick_pid=

# German was detected and stored as the language of this user.
grep -qi '^Language=hex:01$' "$home/TARNWICK.USER" || fail "the stored language is not German: $(grep -i '^Language' "$home/TARNWICK.USER")"
echo "language_e2e: ok"
