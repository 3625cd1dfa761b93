#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed program from there, as a user
# who installed it would: settings under the user's XDG config folder, nothing written beside the
# program; the desktop entry, the man page and the systemd user unit are checked with the tools
# that read them.
#
#   install_e2e.sh BUILD_DIR
#
# Everything stays on 127.0.0.1 and in a temporary folder; the script stops only what it started.
set -euo pipefail
# shellcheck source=../../tools/proclib.sh
source "$(dirname "$0")/../../tools/proclib.sh"

build=${1:-}
fail() {
  echo "install_e2e: FAIL: $*" >&2
  exit 1
}
[ -d "$build" ] || fail "no build folder '$build'"
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY XDG_CONFIG_HOME

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-install-e2e.XXXXXX")
prefix=$work/prefix
tarnwick_pid=
cleanup() {
  local status=$?
  [ "$status" -ne 0 ] && cat "$work/tarnwick.out" >&2 2>/dev/null
  stop_pid "$tarnwick_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$prefix" >"$work/install.out" || fail "cmake --install failed: $(cat "$work/install.out")"
for file in bin/tarnwick share/applications/tarnwick.desktop share/man/man1/tarnwick.1 lib/systemd/user/tarnwick.service; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -d "$prefix/share/tarnwick" ] || fail "no data folder share/tarnwick"
for lang in ENG DEU ITA ESP FRA; do
  [ -f "$prefix/share/tarnwick/LANGUAGE/$lang/LANGUAGE.TXT" ] || fail "the $lang language file is not installed"
done

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/tarnwick.desktop" || fail "desktop-file-validate refused the entry"
else
  echo "install_e2e: desktop-file-validate missing, desktop entry not validated"
fi
if command -v man >/dev/null; then
  MANWIDTH=100 man -l "$prefix/share/man/man1/tarnwick.1" 2>"$work/man.err" >"$work/man.out" ||
    fail "man -l failed: $(cat "$work/man.err")"
  grep -q -- '--import-blocklist' "$work/man.out" || fail "the man page lacks the command line"
  [ -s "$work/man.err" ] && fail "man -l warned: $(cat "$work/man.err")"
else
  echo "install_e2e: man missing, man page not rendered"
fi
grep -q "$prefix/share/tarnwick" "$prefix/share/man/man1/tarnwick.1" || fail "the man page does not name the data folder"
grep -qx "ExecStart=$prefix/bin/tarnwick --headless" "$prefix/lib/systemd/user/tarnwick.service" ||
  fail "the unit does not run the installed program"
if command -v systemd-analyze >/dev/null; then
  # The unit's documentation link must resolve too: its man page is found in the prefix.
  MANPATH=$prefix/share/man systemd-analyze verify "$prefix/lib/systemd/user/tarnwick.service" >"$work/verify.out" 2>&1 ||
    fail "systemd-analyze verify: $(cat "$work/verify.out")"
else
  echo "install_e2e: systemd-analyze missing, unit not verified"
fi

# The installed program keeps its settings in the user's config folder.
home=$work/home
config=$home/.config/tarnwick
mkdir -p "$config"
port=$(free_port)
printf '[Corvane]\nPort_Text=%s\n' "$port" >"$config/TARNWICK.INI"
HOME=$home "$prefix/bin/tarnwick" --headless >"$work/tarnwick.out" 2>&1 &
tarnwick_pid=$!
for ((i = 0; i < 200; i++)); do
  pid_listens_on "$tarnwick_pid" "$port" && break
  process_alive "$tarnwick_pid" || fail "the installed program ended at start-up"
  sleep 0.1
done
pid_listens_on "$tarnwick_pid" "$port" || fail "the installed program did not listen on $port"
kill -TERM "$tarnwick_pid"
wait "$tarnwick_pid" || fail "the installed program did not end cleanly"
tarnwick_pid=
grep -qi '^\[CorvaneStats\]\|StatStrings' "$config/TARNWICK.INI" || fail "no statistics saved in $config"
[ -e "$prefix/bin/TARNWICK.INI" ] && fail "settings were written beside the installed program"
[ -e "$config/tarnwick.lock" ] || fail "the lock file is not in the config folder"
grep -q 'not found !!!' "$work/tarnwick.out" && fail "the installed program did not find its language files"
echo "install_e2e: all checks passed"
