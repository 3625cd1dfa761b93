#!/usr/bin/env bash
# End-to-end checks of the browser configuration on the built program, in a temporary HOME that
# holds everything the run may touch.
#
#   browsers_e2e.sh stores TARNWICK
#       A Firefox-style profiles.ini with two profiles, the GNOME proxy schema (gsettings with the
#       keyfile backend under the temporary HOME) and a kioslaverc: `--browsers on` points all of
#       them at the proxy for HTTP and HTTPS, a second `on` changes nothing, and `--browsers off`
#       switches each to direct use while keeping the address.
#   browsers_e2e.sh firefox TARNWICK
#       A headless Firefox (ESR) started on a profile patched by `--browsers on` sends its request
#       for a page on a loopback origin through the running proxy: the access log shows it, and
#       shows nothing but 127.0.0.1 addresses.
#
# Skipped (status 77) when a tool is missing. Every wait has a deadline; the script stops only the
# processes it started, by PID, and removes its temporary folder.
set -euo pipefail
# shellcheck source=../../tools/proclib.sh
source "$(dirname "$0")/../../tools/proclib.sh"

mode=${1:-}
tarnwick=${2:-}

fail() {
  echo "browsers_e2e ($mode): FAIL: $*" >&2
  exit 1
}
skip() {
  echo "browsers_e2e ($mode): SKIPPED: $*" >&2
  exit 77
}

case $mode in
  stores | firefox) ;;
  *)
    echo "usage: browsers_e2e.sh stores|firefox TARNWICK" >&2
    exit 2
    ;;
esac
[ -x "$tarnwick" ] || fail "program '$tarnwick' is not executable"
command -v python3 >/dev/null || skip "python3 is missing; run tools/install-deps.sh"
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-browsers-e2e.XXXXXX")
# Nothing of the real user is reachable from here on: home, configuration and settings backend.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config
export XDG_CACHE_HOME=$HOME/.cache
export XDG_DATA_HOME=$HOME/.local/share
export GSETTINGS_BACKEND=keyfile
unset DBUS_SESSION_BUS_ADDRESS
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
tw=$work/tarnwick
mkdir -p "$tw"
origin_pid=
tarnwick_pid=
firefox_pid=

cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    echo "--- output ---" >&2
    cat "$work"/*.out >&2 2>/dev/null || true
  fi
  stop_pid "$firefox_pid"
  stop_pid "$tarnwick_pid"
  stop_pid "$origin_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
exit_on_signals

# browsers on|off: runs the command and keeps its output in $work/browsers-STATE.out.
browsers() {
  timeout 60 "$tarnwick" --home "$tw" --browsers "$1" >"$work/browsers-$1.out" 2>"$work/browsers-$1.err" ||
    fail "--browsers $1 exited with status $?: $(cat "$work/browsers-$1.err")"
}

expect_in() {  # expect_in FILE TEXT
  grep -qF -- "$2" "$1" || fail "$1 lacks: $2"
}

run_stores() {
  command -v gsettings >/dev/null || skip "gsettings is missing (libglib2.0-bin)"
  gsettings list-keys org.gnome.system.proxy >/dev/null 2>&1 || skip "the GNOME proxy schema is missing (gsettings-desktop-schemas)"
  port=$(free_port)
  printf '[Corvane]\nPort_Text=%s\n' "$port" >"$tw/TARNWICK.INI"

  local ff=$HOME/.mozilla/firefox
  mkdir -p "$ff/aaaa.default-esr" "$work/elsewhere/work-profile"
  printf '[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default-esr\nIsRelative=1\nPath=aaaa.default-esr\nDefault=1\n\n[Profile1]\nName=work\nIsRelative=0\nPath=%s\n' \
    "$work/elsewhere/work-profile" >"$ff/profiles.ini"
  printf '// Mozilla User Preferences\nuser_pref("browser.startup.page", 3);\n' >"$ff/aaaa.default-esr/prefs.js"
  printf 'user_pref("network.proxy.http", "old.example");\nuser_pref("network.proxy.http_port", 3128);\nuser_pref("network.proxy.type", 5);\n' \
    >"$work/elsewhere/work-profile/prefs.js"
  printf '[Proxy Settings]\nNoProxyFor=\nProxyType=0\n' >"$XDG_CONFIG_HOME/kioslaverc"

  local status=0
  "$tarnwick" --home "$tw" --browsers maybe >/dev/null 2>&1 || status=$?
  [ "$status" -eq 2 ] || fail "--browsers maybe gave status $status, expected 2"

  browsers on
  for line in "aaaa.default-esr/prefs.js" "work-profile/prefs.js" "GNOME" "kioslaverc"; do
    expect_in "$work/browsers-on.out" "$line"
  done
  for prefs in "$ff/aaaa.default-esr/prefs.js" "$work/elsewhere/work-profile/prefs.js"; do
    expect_in "$prefs" "user_pref(\"network.proxy.http\",\"localhost\");"
    expect_in "$prefs" "user_pref(\"network.proxy.http_port\",$port);"
    expect_in "$prefs" 'user_pref("network.proxy.type", 1);'
    expect_in "$prefs" "user_pref(\"network.proxy.ssl_port\",$port);"
  done
  [ "$(grep -c 'network.proxy.type' "$work/elsewhere/work-profile/prefs.js")" -eq 1 ] || fail "a second type line in the work profile"
  [ "$(gsettings get org.gnome.system.proxy mode)" = "'manual'" ] || fail "GNOME mode is not manual"
  [ "$(gsettings get org.gnome.system.proxy.http host)" = "'localhost'" ] || fail "GNOME http host"
  [ "$(gsettings get org.gnome.system.proxy.https port)" = "$port" ] || fail "GNOME https port"
  [ -f "$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" ] || fail "gsettings did not write under the temporary HOME"
  expect_in "$XDG_CONFIG_HOME/kioslaverc" "ProxyType=1"
  expect_in "$XDG_CONFIG_HOME/kioslaverc" "httpsProxy=http://localhost $port"

  local before after
  before=$(cat "$ff/aaaa.default-esr/prefs.js" "$work/elsewhere/work-profile/prefs.js" "$XDG_CONFIG_HOME/kioslaverc" \
    "$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" | md5sum)
  browsers on
  after=$(cat "$ff/aaaa.default-esr/prefs.js" "$work/elsewhere/work-profile/prefs.js" "$XDG_CONFIG_HOME/kioslaverc" \
    "$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" | md5sum)
  [ "$before" = "$after" ] || fail "a second --browsers on changed the stores"

  browsers off
  for prefs in "$ff/aaaa.default-esr/prefs.js" "$work/elsewhere/work-profile/prefs.js"; do
    expect_in "$prefs" 'user_pref("network.proxy.type", 0);'
    expect_in "$prefs" "user_pref(\"network.proxy.http\",\"localhost\");"
  done
  [ "$(gsettings get org.gnome.system.proxy mode)" = "'none'" ] || fail "GNOME mode is not none"
  [ "$(gsettings get org.gnome.system.proxy.http host)" = "'localhost'" ] || fail "GNOME lost the address"
  expect_in "$XDG_CONFIG_HOME/kioslaverc" "ProxyType=0"
  expect_in "$XDG_CONFIG_HOME/kioslaverc" "httpProxy=http://localhost $port"
  echo "browsers_e2e (stores): ok"
}

# Switches off everything Firefox would fetch or look up by itself.
write_user_js() {
  cat >"$1/user.js" <<'JS'
user_pref("app.update.enabled", false);
user_pref("app.update.auto", false);
user_pref("app.update.checkInstallTime", false);
user_pref("app.normandy.enabled", false);
user_pref("app.normandy.api_url", "");
user_pref("app.shield.optoutstudies.enabled", false);
user_pref("browser.aboutHomeSnippets.updateUrl", "");
user_pref("browser.discovery.enabled", false);
user_pref("browser.newtabpage.enabled", false);
user_pref("browser.newtabpage.activity-stream.feeds.section.topstories", false);
user_pref("browser.newtabpage.activity-stream.feeds.topsites", false);
user_pref("browser.newtabpage.activity-stream.telemetry", false);
user_pref("browser.ping-centre.telemetry", false);
user_pref("browser.region.update.enabled", false);
user_pref("browser.region.network.url", "");
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("browser.safebrowsing.downloads.remote.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.provider.google4.updateURL", "");
user_pref("browser.safebrowsing.provider.mozilla.updateURL", "");
user_pref("browser.search.geoip.url", "");
user_pref("browser.search.update", false);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage", "about:blank");
user_pref("browser.startup.page", 0);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("captivedetect.canonicalURL", "");
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("dom.push.enabled", false);
user_pref("dom.push.connection.enabled", false);
user_pref("extensions.blocklist.enabled", false);
user_pref("extensions.getAddons.cache.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("extensions.systemAddon.update.enabled", false);
user_pref("media.gmp-manager.url", "");
user_pref("media.gmp-gmpopenh264.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("network.dns.disablePrefetch", true);
user_pref("network.prefetch-next", false);
user_pref("network.predictor.enabled", false);
user_pref("network.http.speculative-parallel-limit", 0);
user_pref("network.trr.mode", 5);
user_pref("services.settings.server", "http://127.0.0.1:9/");
user_pref("services.sync.enabled", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("toolkit.telemetry.unified", false);
user_pref("toolkit.telemetry.server", "");
user_pref("toolkit.coverage.endpoint.base", "");
user_pref("security.OCSP.enabled", 0);
user_pref("security.remote_settings.crlite_filters.enabled", false);
user_pref("security.remote_settings.intermediates.enabled", false);
// Loopback addresses go through the proxy only when asked to.
user_pref("network.proxy.allow_hijacking_localhost", true);
user_pref("network.proxy.no_proxies_on", "");
JS
}

run_firefox() {
  local firefox
  firefox=$(command -v firefox-esr || command -v firefox || true)
  [ -n "$firefox" ] || skip "firefox-esr is missing (apt-get install firefox-esr)"
  command -v timeout >/dev/null || skip "timeout is missing"
  port=$(free_port)
  printf '[Corvane]\nPort_Text=%s\nm_Log_Enabled_Checked=True\n' "$port" >"$tw/TARNWICK.INI"

  # The loopback origin serves one page and records the paths it was asked for.
  python3 "$(dirname "$0")/../../tools/test_origin.py" 150 --requests "$work/origin.requests" --type text/html \
    --body "<html><head><title>tarnwick e2e</title></head><body>through the proxy</body></html>" >"$work/origin.port" 2>"$work/origin.err.out" &
  origin_pid=$!
  local i origin_port=
  for ((i = 0; i < 100; i++)); do
    origin_port=$(cat "$work/origin.port" 2>/dev/null || true)
    [ -n "$origin_port" ] && break
    sleep 0.1
  done
  [ -n "$origin_port" ] || fail "the origin did not start"

  "$tarnwick" --headless --home "$tw" >"$work/tarnwick.out" 2>&1 &
  tarnwick_pid=$!
  for ((i = 0; i < 200; i++)); do
    pid_listens_on "$tarnwick_pid" "$port" && break
    process_alive "$tarnwick_pid" || fail "tarnwick ended at start-up"
    sleep 0.1
  done
  pid_listens_on "$tarnwick_pid" "$port" || fail "tarnwick did not listen on $port"

  local profile=$HOME/.mozilla/firefox/e2e.default-esr
  mkdir -p "$profile"
  printf '[Profile0]\nName=e2e\nIsRelative=1\nPath=e2e.default-esr\nDefault=1\n' >"$HOME/.mozilla/firefox/profiles.ini"
  printf '// Mozilla User Preferences\n' >"$profile/prefs.js"
  write_user_js "$profile"
  browsers on
  expect_in "$work/browsers-on.out" "e2e.default-esr/prefs.js"
  expect_in "$profile/prefs.js" 'user_pref("network.proxy.type", 1);'

  # Firefox loads the page, draws it, and ends by itself; the deadline covers a hang.
  local page="http://127.0.0.1:$origin_port/tarnwick-e2e.html"
  MOZ_HEADLESS=1 timeout -k 5 90 "$firefox" --headless --no-remote --profile "$profile" \
    --screenshot "$work/page.png" "$page" >"$work/firefox.out" 2>&1 &
  firefox_pid=$!
  wait "$firefox_pid" || true
  firefox_pid=

  local log=$tw/TARNWICK.LOG
  for ((i = 0; i < 50; i++)); do
    [ -f "$log" ] && grep -qF "GET $page" "$log" && break
    sleep 0.1
  done
  [ -f "$log" ] || fail "the proxy wrote no access log"
  grep -qF "GET $page" "$log" || fail "the page request did not pass through the proxy: $(cat "$log")"
  grep -qF "/tarnwick-e2e.html" "$work/origin.requests" || fail "the origin never saw the request"
  # Every request Firefox made went to this machine: no outside name or address was asked for.
  if grep -v -F '127.0.0.1' "$log" | grep -q .; then
    fail "requests left the machine: $(grep -v -F '127.0.0.1' "$log")"
  fi
  echo "browsers_e2e (firefox): ok, $(wc -l <"$log") request(s) through the proxy"
}

case $mode in
  stores) run_stores ;;
  firefox) run_firefox ;;
esac
