#!/usr/bin/env bash
# Headless Chromium through the built program against nginx, as a user of today's web would see it:
#
#   chromium_e2e.sh TARNWICK
#
# nginx (a private configuration and prefix in a temporary folder) serves a test page over plain
# HTTP with gzip on and the same page over TLS, with a certificate made here with openssl. The
# program runs headless with the tag filter and the popup filter on and "ads.test" on its block
# list. Chromium loads both pages through it and prints their DOM after the scripts ran:
# - the gzip page has lost its listed ad picture and link, and stays in standards mode
#   (document.compatMode "CSS1Compat", written into the page by its own script);
# - the https page arrives through a CONNECT tunnel.
# Chromium resolves no name at all outside this machine (--host-resolver-rules) and has its
# background requests switched off; the few it makes all the same go to Google's hosts, which the
# block list refuses before the proxy would look their names up (the log shows it). Exits 77 (CTest "skipped") when chromium, nginx or openssl is missing.
# Everything listens on 127.0.0.1 high ports; every wait has a deadline; only the processes this
# script started are stopped, by PID.
set -euo pipefail
# shellcheck source=../../tools/proclib.sh
source "$(dirname "$0")/../../tools/proclib.sh"

tarnwick=${1:-}
fail() {
  echo "chromium_e2e: FAIL: $*" >&2
  exit 1
}
[ -x "$tarnwick" ] || fail "program '$tarnwick' is not executable"

chromium_bin=$(command -v chromium || command -v chromium-browser || true)
nginx_bin=$(command -v nginx || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || true)
for need in "$chromium_bin" "$nginx_bin" "$(command -v openssl || true)" "$(command -v python3 || true)"; do
  if [ -z "$need" ]; then
    echo "chromium_e2e: chromium, nginx, openssl or python3 is missing (make deps installs them), skipping" >&2
    exit 77
  fi
done
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-chromium.XXXXXX")
home=$work/home
mkdir -p "$home" "$work/site" "$work/nginx/logs" "$work/profile"
# nginx's worker runs as an unprivileged user and must read the site.
chmod 755 "$work" "$work/site"
nginx_pid=
tarnwick_pid=

cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    for f in tarnwick.out nginx.err nginx/logs/error.log chromium.err home/TARNWICK.LOG; do
      echo "--- $f ---" >&2
      tail -n 40 "$work/$f" >&2 2>/dev/null || true
    done
  fi
  stop_pid "$tarnwick_pid"
  stop_pid "$nginx_pid"
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
exit_on_signals

http_port=$(free_port)
tls_port=$(free_port)
proxy_port=$(free_port)

# The test page: long enough for nginx to compress it, with listed ads and a script that shows the
# rendering mode in the page itself.
{
  echo '<!DOCTYPE html>'
  echo '<html><head><title>Tarnwick test page</title></head><body>'
  echo "<p id=\"news\">Today's news</p>"
  echo "<img id=\"ad-picture\" src=\"http://ads.test:$http_port/banner.gif\" width=\"468\" height=\"60\">"
  echo '<a id="ad-link" href="http://ads.test/click">Buy now</a>'
  for i in $(seq 1 60); do echo "<p>Paragraph $i of the article, long enough to be worth compressing.</p>"; done
  echo '<div id="mode">unknown</div>'
  echo '<script>document.getElementById("mode").textContent = "mode:" + document.compatMode;</script>'
  echo '</body></html>'
} >"$work/site/index.html"
echo '<!DOCTYPE html><html><body><p id="secure">secure page over the tunnel</p></body></html>' >"$work/site/secure.html"

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || fail "openssl could not make a certificate"

cat >"$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 64; }
http {
  access_log $work/nginx/logs/access.log;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  types { text/html html; }
  gzip on;
  gzip_min_length 1;
  server {
    listen 127.0.0.1:$http_port;
    root $work/site;
  }
  server {
    listen 127.0.0.1:$tls_port ssl;
    ssl_certificate $work/cert.pem;
    ssl_certificate_key $work/key.pem;
    root $work/site;
  }
}
CONF
"$nginx_bin" -p "$work/nginx" -c "$work/nginx.conf" -g 'daemon off;' >"$work/nginx.err" 2>&1 &
nginx_pid=$!

cat >"$home/TARNWICK.INI" <<INI
[Corvane]
Port_Text=$proxy_port
FilterType_ItemIndex=3
flt_Images_Checked=True
flt_Text_Checked=True
DontFilterWhen_ItemIndex=2
Popups_ItemIndex=1
m_Log_Enabled_Checked=True
[Corvane.BlockList_Items]
Count=3
Item0=ads.test
Item1=google
Item2=gstatic
[Corvane.BlockListStates_Strings]
Count=3
Item0=1
Item1=1
Item2=1
INI
"$tarnwick" --headless --home "$home" >"$work/tarnwick.out" 2>&1 &
tarnwick_pid=$!

wait_listening() {
  local pid=$1 port=$2 name=$3 i
  for ((i = 0; i < 200; i++)); do
    pid_listens_on "$pid" "$port" && return 0
    process_alive "$pid" || fail "$name ended at start-up"
    sleep 0.1
  done
  fail "$name did not listen on port $port within 20 s"
}
wait_listening "$tarnwick_pid" "$proxy_port" tarnwick
# nginx listens from its worker's parent, which is the process started here.
wait_listening "$nginx_pid" "$http_port" nginx
wait_listening "$nginx_pid" "$tls_port" nginx

# The precondition: nginx compresses the page for a client that accepts gzip.
curl --silent --max-time 20 --noproxy '*' -H 'Accept-Encoding: gzip' -D - -o /dev/null \
  "http://127.0.0.1:$http_port/index.html" | grep -qi '^content-encoding: *gzip' ||
  fail "nginx does not compress the test page"

# dump URL: the page's DOM after its scripts ran, as Chromium built it through the proxy.
dump() {
  timeout 60 "$chromium_bin" --headless=new --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$work/profile" \
    --proxy-server="http://127.0.0.1:$proxy_port" --proxy-bypass-list='<-loopback>' \
    --host-resolver-rules='MAP * ~NOTFOUND, EXCLUDE 127.0.0.1' \
    --ignore-certificate-errors \
    --disable-background-networking --disable-component-update --disable-sync \
    --disable-default-apps --disable-extensions --disable-domain-reliability \
    --disable-client-side-phishing-detection --safebrowsing-disable-auto-update \
    --disable-features=NetworkTimeServiceQuerying,OptimizationHints,Translate,MediaRouter,AutofillServerCommunication,CertificateTransparencyComponentUpdater \
    --no-default-browser-check --metrics-recording-only --no-pings --password-store=basic \
    --virtual-time-budget=3000 --dump-dom "$1" 2>>"$work/chromium.err"
}

page=$(dump "http://127.0.0.1:$http_port/index.html") || fail "chromium could not load the gzip page"
grep -q "Today's news" <<<"$page" || fail "the gzip page did not arrive: $page"
grep -q 'ad-picture' <<<"$page" && fail "the listed ad picture is still in the page"
grep -q 'ad-link' <<<"$page" && fail "the listed ad link is still in the page"
grep -q 'mode:CSS1Compat' <<<"$page" || fail "the page is not in standards mode: $(grep -o 'mode:[A-Za-z0-9]*' <<<"$page")"

secure=$(dump "https://127.0.0.1:$tls_port/secure.html") || fail "chromium could not load the https page"
grep -q 'secure page over the tunnel' <<<"$secure" || fail "the https page did not arrive: $secure"

grep -q "\"CONNECT 127.0.0.1:$tls_port HTTP/1.1\" 200" "$home/TARNWICK.LOG" ||
  fail "the access log lacks the tunnel's line"
# Whatever else Chromium asked the proxy for was refused by the block list before any connection,
# so the proxy never looked a name up either. A connection Chromium opened ahead and closed unused
# is logged as an empty request ("" 0 -) and named no host at all.
# The log's lines end in CR LF.
if tr -d '\r' <"$home/TARNWICK.LOG" | grep -v '"[A-Z]* \(http://\)\?127\.0\.0\.1:' | grep -v '" 403 ' |
  grep -v '"" 0 -$'; then
  fail "the proxy connected to a host outside this machine"
fi
echo "chromium_e2e: the gzip page lost its ads in standards mode; the https page came through the tunnel"
