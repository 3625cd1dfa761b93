# Shell helpers shared by the load scripts: a private nginx on 127.0.0.1 as the origin, the program
# started as a user runs it, ApacheBench runs and medians. Source it after tools/proclib.sh, then call
# bench_start; it defines functions only. Everything started is recorded in started_pids and stopped,
# by PID, when the script ends.

bench_die() { echo "${0##*/}: $*" >&2; exit 1; }

# bench_start NAME: a temporary folder `work` and the list `started_pids`, both cleaned up when the
# script ends, however it ends.
bench_start() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  started_pids=()
  trap bench_cleanup EXIT
  exit_on_signals
}

bench_cleanup() {
  local pid
  for pid in "${started_pids[@]}"; do stop_pid "$pid"; done
  rm -rf "$work"
}

# wait_listening PID PORT NAME SECONDS: polls every 20 ms until PID listens on PORT.
wait_listening() {
  local pid=$1 port=$2 name=$3 seconds=$4 i
  for ((i = 0; i < seconds * 50; i++)); do
    pid_listens_on "$pid" "$port" && return 0
    process_alive "$pid" || bench_die "$name ended at start-up"
    sleep 0.02
  done
  bench_die "$name did not listen on port $port within $seconds s"
}

# make_site DIR REALISTIC_PAGE_BIN: the origin's files. /5k.html is the realistic page cut to
# 5 KB-ish (a complete page with links, pictures and an ad slot), /page.html the 1 MB page and
# /page.txt the same bytes as text/plain (which no filter reads), /20m 20 MiB of zeros.
make_site() {
  local dir=$1 generator=$2
  mkdir -p "$dir"
  "$generator" 5120 >"$dir/5k.html" || bench_die "$generator failed"
  "$generator" 1048576 >"$dir/page.html" || bench_die "$generator failed"
  cp "$dir/page.html" "$dir/page.txt"
  head -c $((20 * 1024 * 1024)) /dev/zero >"$dir/20m"
  # nginx's worker runs as an unprivileged user when the script runs as root, and must read them.
  chmod 755 "$work" "$dir"
  chmod 644 "$dir"/*
}

# start_nginx SITE_DIR: one worker, keep-alive off, no access log; sets origin_port and nginx_pid.
start_nginx() {
  local site=$1 prefix=$work/nginx
  local nginx_bin
  nginx_bin=$(command -v nginx || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || true)
  [ -n "$nginx_bin" ] || bench_die "nginx not found (nginx-light); run tools/install-deps.sh"
  mkdir -p "$prefix/logs"
  origin_port=$(free_port)
  cat >"$prefix/nginx.conf" <<CONF
worker_processes 1;
pid $prefix/nginx.pid;
error_log $prefix/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_timeout 0;
  sendfile on;
  client_body_temp_path $prefix/body;
  proxy_temp_path $prefix/proxy;
  fastcgi_temp_path $prefix/fastcgi;
  uwsgi_temp_path $prefix/uwsgi;
  scgi_temp_path $prefix/scgi;
  types { text/html html; text/plain txt; }
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$origin_port;
    root $site;
  }
}
CONF
  "$nginx_bin" -p "$prefix" -c "$prefix/nginx.conf" -g 'daemon off;' >"$prefix/nginx.out" 2>&1 &
  nginx_pid=$!
  started_pids+=("$nginx_pid")
  wait_listening "$nginx_pid" "$origin_port" nginx 10
}

# write_block_entries FILE COUNT: COUNT plausible entries, one a line: ad server names and paths,
# none of which occurs in the benchmark pages' addresses.
write_block_entries() {
  awk -v n="$2" 'BEGIN {
    for (i = 0; i < n; i++) {
      if (i % 3 == 0) printf "adserver%d.tracking-net.example\n", i
      else if (i % 3 == 1) printf "/promo%d/banner\n", i
      else printf "clickcount%d.example\n", i
    } }' >"$1"
}

# write_user_settings HOME PORT [ENTRIES_FILE]: the filters as a user runs them: both filter
# types, every tag kind, popups suppressed, the usual banner sizes, "/ads/" blocked (plus the
# entries of ENTRIES_FILE), log off.
write_user_settings() {
  local home=$1 port=$2 entries=${3:-}
  mkdir -p "$home"
  {
    printf '[Corvane]\r\nPort_Text=%s\r\nFilterType_ItemIndex=3\r\nDontFilterWhen_ItemIndex=0\r\n' "$port"
    printf 'flt_Images_Checked=True\r\nflt_Frames_Checked=True\r\nflt_Layers_Checked=True\r\n'
    printf 'flt_Windows_Checked=True\r\nflt_Forms_Checked=True\r\nflt_Scripts_Checked=True\r\n'
    printf 'flt_Text_Checked=True\r\nFilterByDim_Checked=True\r\nPopups_ItemIndex=1\r\n'
    printf 'm_Log_Enabled_Checked=False\r\nm_Options_Hidesplashscreen_Checked=True\r\n'
    awk -v extra="$entries" 'BEGIN {
      n = 0; item[n++] = "/ads/"
      if (extra != "") while ((getline line < extra) > 0) item[n++] = line
      printf "[Corvane.BlockList_Items]\r\nCount=%d\r\n", n
      for (i = 0; i < n; i++) printf "Item%d=%s\r\n", i, item[i]
      printf "[Corvane.BlockListStates_Strings]\r\nCount=%d\r\n", n
      for (i = 0; i < n; i++) printf "Item%d=1\r\n", i
    }'
    printf '[Corvane.SizeList_Items]\r\nCount=3\r\nItem0=468 x 60\r\nItem1=728 x 90\r\nItem2=120 x 600\r\n'
    printf '[Corvane.SizeListStates_Strings]\r\nCount=3\r\nItem0=1\r\nItem1=1\r\nItem2=1\r\n'
  } >"$home/TARNWICK.INI"
}

# start_tarnwick BIN HOME PORT: starts the program headless and waits until it listens; sets
# tarnwick_pid and startup_seconds (start to listening).
start_tarnwick() {
  local bin=$1 home=$2 port=$3 t0 t1
  [ -x "$bin" ] || bench_die "$bin is not a program; run make build"
  t0=$(date +%s.%N)
  XDG_CONFIG_HOME=$home HOME=$home "$bin" --headless --home "$home" >"$home/tarnwick.out" 2>&1 &
  tarnwick_pid=$!
  started_pids+=("$tarnwick_pid")
  wait_listening "$tarnwick_pid" "$port" tarnwick 120
  t1=$(date +%s.%N)
  startup_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
}

# Peak resident memory of PID in MB.
peak_memory_mb() {
  awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"
}

# ab_rate PROXY_PORT URL_PATH CONCURRENCY REQUESTS: requests per second (PROXY_PORT "-": direct).
# Prints "error" and notes a failure (see bench_failures) when a run failed or any answer was not a
# complete 200. It runs in a command substitution, so the note goes to a file.
ab_rate() {
  local proxy=$1 path=$2 concurrency=$3 requests=$4 report=$work/ab.txt
  local args=(-q -r -s 30 -t "${LOAD_TIME_LIMIT:-30}" -n "$requests" -c "$concurrency")
  [ "$proxy" = - ] || args+=(-X "127.0.0.1:$proxy")
  if ! ab "${args[@]}" "http://127.0.0.1:$origin_port$path" >"$report" 2>&1; then
    echo "${0##*/}: ab failed for $path through ${proxy}:" >&2
    tail -n 3 "$report" >&2
    echo "$path" >>"$work/failures"
    echo error
    return
  fi
  local failed non2xx
  failed=$(sed -n 's/^Failed requests: *\([0-9]*\).*/\1/p' "$report")
  non2xx=$(sed -n 's/^Non-2xx responses: *\([0-9]*\).*/\1/p' "$report")
  if [ "${failed:-0}" -ne 0 ] || [ "${non2xx:-0}" -ne 0 ]; then
    echo "${0##*/}: $path through $proxy: ${failed:-0} failed, ${non2xx:-0} not 2xx" >&2
    echo "$path" >>"$work/failures"
    echo error
    return
  fi
  sed -n 's/^Requests per second: *\([0-9.]*\).*/\1/p' "$report"
}

# curl_mbps PROXY_PORT URL_PATH COUNT: MB/s (10^6 bytes) of COUNT downloads one after the other
# with curl (PROXY_PORT "-": direct). ab reads in small pieces and would measure itself on a large
# file. Prints "error" and notes a failure when a download was not a complete 200.
curl_mbps() {
  local proxy=$1 path=$2 count=$3 i out code size seconds total_size=0 total_seconds=0
  local args=(-s -o /dev/null --max-time 60 -w '%{http_code} %{size_download} %{time_total}\n')
  if [ "$proxy" = - ]; then args+=(--noproxy '*'); else args+=(-x "http://127.0.0.1:$proxy"); fi
  for ((i = 0; i < count; i++)); do
    out=$(curl "${args[@]}" "http://127.0.0.1:$origin_port$path" || true)
    read -r code size seconds <<<"$out"
    if [ "$code" != 200 ] || [ "$size" != "$(stat -c %s "$work/site$path")" ]; then
      echo "${0##*/}: curl $path through $proxy: status ${code:-none}, ${size:-0} bytes" >&2
      echo "$path" >>"$work/failures"
      echo error
      return
    fi
    total_size=$((total_size + size))
    total_seconds=$(awk -v a="$total_seconds" -v b="$seconds" 'BEGIN { print a + b }')
  done
  awk -v b="$total_size" -v s="$total_seconds" 'BEGIN { printf "%.0f", (s > 0 ? b / s / 1e6 : 0) }'
}

# How many runs failed so far.
bench_failures() {
  if [ -f "$work/failures" ]; then wc -l <"$work/failures"; else echo 0; fi
}

# median A B C ...: the median of numbers ("error" wins, so that a failed run shows).
median() {
  local v
  for v in "$@"; do [ "$v" = error ] && { echo error; return; }; done
  printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) }'
}

# ratio A B: A / B with two decimals, "-" when either is missing.
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }'
}

# mbps REQ_PER_S FILE: MB/s (10^6 bytes) of FILE's bytes at that rate.
mbps() {
  local size
  size=$(stat -c %s "$2")
  awk -v r="$1" -v s="$size" 'BEGIN { if (r + 0 > 0) printf "%.0f", r * s / 1e6; else print "error" }'
}
