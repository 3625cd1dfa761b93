#!/usr/bin/env bash
# Load run: ApacheBench against the loopback origin, once directly and once through the proxy, in
# the same run, so the ratio proxy/direct is measured on the same machine in the same state.
#
#   bench/load.sh            (or: make bench-load)
#
# Environment:
#   BUILD                 build folder holding tarnwick and bench/origin_server (default: build)
#   TARNWICK_BIN          the program to measure (default: $BUILD/tarnwick)
#   ORIGIN_SERVER_BIN     the loopback origin (default: $BUILD/bench/origin_server)
#   TARNWICK_PROXY_PORT   measure an already running proxy on 127.0.0.1:PORT instead of starting one
#   LOAD_TIME_LIMIT       seconds each ab run may take at most (default 30)
#   LOAD_N_PAGE_C1        requests for the 5 KB page at concurrency 1  (default 2000)
#   LOAD_N_PAGE_C32       requests for the 5 KB page at concurrency 32 (default 20000)
#   LOAD_N_LARGE          requests for the 20 MiB file at concurrency 1 (default 20)
#
# MB/s counts response bodies only (10^6 bytes), so the proxy's different headers do not skew it.
# The script exits non-zero when a run failed or any request failed or was not answered 200.
set -euo pipefail
# shellcheck source=../tools/proclib.sh
source "$(dirname "$0")/../tools/proclib.sh"

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$repo/$build ;; esac
tarnwick=${TARNWICK_BIN:-$build/tarnwick}
origin_server=${ORIGIN_SERVER_BIN:-$build/bench/origin_server}
time_limit=${LOAD_TIME_LIMIT:-30}
n_page_c1=${LOAD_N_PAGE_C1:-2000}
n_page_c32=${LOAD_N_PAGE_C32:-20000}
n_large=${LOAD_N_LARGE:-20}
default_proxy_port=8080

die() { echo "load.sh: $*" >&2; exit 1; }

command -v ab >/dev/null || die "ab not found (apache2-utils); run tools/install-deps.sh"
[ -x "$origin_server" ] || die "$origin_server not built; run make build"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-load.XXXXXX")
started_pids=()

# Stops only what this script started, by PID: SIGTERM, a bounded wait, then SIGKILL.
cleanup() {
  local pid i
  for pid in "${started_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${started_pids[@]}"; do
    for ((i = 0; i < 50; i++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
# A shell killed by an untrapped signal skips its EXIT trap, so the usual ones are turned into exits.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 141' PIPE
trap 'exit 143' TERM

start_origin() {
  # The origin's own lifetime limit is a second guard should this script be killed outright. The
  # output file exists before the child starts, so the polling below never reads a missing file.
  : >"$work/origin.out"
  "$origin_server" 0 1800 >"$work/origin.out" 2>"$work/origin.err" &
  origin_pid=$!
  started_pids+=("$origin_pid")
  local i
  for ((i = 0; i < 100; i++)); do
    origin_port=$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$work/origin.out")
    [ -n "$origin_port" ] && return 0
    kill -0 "$origin_pid" 2>/dev/null || die "origin_server ended: $(cat "$work/origin.err")"
    sleep 0.1
  done
  die "origin_server did not announce its port within 10 s"
}

# The relay alone: no tag filter, no popup script, log on. The program's first-run defaults filter
# HTML, which would change the pages these checks compare byte for byte.
write_relay_settings() {
  mkdir -p "$1"
  printf '[Corvane]\r\nPort_Text=8080\r\nFilterType_ItemIndex=0\r\nPopups_ItemIndex=0\r\nm_Log_Enabled_Checked=True\r\n' \
    >"$1/TARNWICK.INI"
}

start_proxy() {
  [ -x "$tarnwick" ] || die "$tarnwick not built; run make build (or set TARNWICK_PROXY_PORT)"
  port_taken "$default_proxy_port" &&
    die "port $default_proxy_port is already in use; stop that program or set TARNWICK_PROXY_PORT"
  write_relay_settings "$work/home"
  "$tarnwick" --headless --home "$work/home" >"$work/proxy.out" 2>&1 &
  proxy_pid=$!
  started_pids+=("$proxy_pid")
  proxy_port=$default_proxy_port
  local i
  for ((i = 0; i < 150; i++)); do
    pid_listens_on "$proxy_pid" "$proxy_port" && return 0
    kill -0 "$proxy_pid" 2>/dev/null || die "tarnwick ended at start-up: $(cat "$work/proxy.out")"
    sleep 0.1
  done
  die "tarnwick did not listen on port $proxy_port within 15 s"
}

# ab_field FILE PATTERN: the first number on the first line of ab's report starting with PATTERN.
ab_field() {
  sed -n "s/^$2 *\([0-9.]*\).*/\1/p" "$1" | head -n 1
}

failures=0
rows=()

# run_case NAME PATH CONCURRENCY REQUESTS: one ab run directly and one through the proxy.
run_case() {
  local name=$1 path=$2 concurrency=$3 requests=$4 mode report
  local -A rps ms mbs done_ failed
  for mode in direct proxy; do
    report=$work/ab-$name-$mode.txt
    local proxy_args=()
    [ "$mode" = proxy ] && proxy_args=(-X "127.0.0.1:$proxy_port")
    # -t before -n: ab's -t resets the count, a later -n sets it again and keeps the time limit.
    if ! ab -q -r -s 30 -t "$time_limit" -n "$requests" -c "$concurrency" "${proxy_args[@]}" \
      "http://127.0.0.1:$origin_port$path" >"$report" 2>&1; then
      echo "load.sh: ab failed for $name ($mode):" >&2
      tail -n 5 "$report" >&2
      failures=$((failures + 1))
      rps[$mode]=error ms[$mode]=- mbs[$mode]=- done_[$mode]=0 failed[$mode]=-
      continue
    fi
    local seconds body non2xx
    seconds=$(ab_field "$report" 'Time taken for tests:')
    body=$(ab_field "$report" 'HTML transferred:')
    non2xx=$(ab_field "$report" 'Non-2xx responses:')
    rps[$mode]=$(ab_field "$report" 'Requests per second:')
    ms[$mode]=$(ab_field "$report" 'Time per request:')
    done_[$mode]=$(ab_field "$report" 'Complete requests:')
    failed[$mode]=$(ab_field "$report" 'Failed requests:')
    failed[$mode]=$((${failed[$mode]:-0} + ${non2xx:-0}))
    mbs[$mode]=$(awk -v b="$body" -v s="$seconds" 'BEGIN { printf "%.1f", (s > 0 ? b / s / 1e6 : 0) }')
    if [ "${failed[$mode]}" -ne 0 ]; then
      failures=$((failures + 1))
      echo "load.sh: $name ($mode): ${failed[$mode]} request(s) failed or not 2xx:" >&2
      grep -E -A 2 '^(Failed requests|Non-2xx)' "$report" >&2 || true
    fi
  done
  # A ratio of runs with failures compares error answers, not the proxy's speed.
  local ratio_rps=- ratio_ms=-
  if [ "${failed[direct]}" = 0 ] && [ "${failed[proxy]}" = 0 ]; then
    ratio_rps=$(awk -v p="${rps[proxy]}" -v d="${rps[direct]}" 'BEGIN { printf "%.2f", (d > 0 ? p / d : 0) }')
    ratio_ms=$(awk -v p="${ms[proxy]}" -v d="${ms[direct]}" 'BEGIN { printf "%.2f", (d > 0 ? p / d : 0) }')
  fi
  rows+=("$(printf '%-10s | %6s %10s %9s %8s | %6s %10s %9s %8s | %6s %6s | %s/%s' \
    "$name" "${done_[direct]}" "${rps[direct]}" "${ms[direct]}" "${mbs[direct]}" \
    "${done_[proxy]}" "${rps[proxy]}" "${ms[proxy]}" "${mbs[proxy]}" \
    "$ratio_rps" "$ratio_ms" "${failed[direct]}" "${failed[proxy]}")")
}

start_origin
if [ -n "${TARNWICK_PROXY_PORT:-}" ]; then
  proxy_port=$TARNWICK_PROXY_PORT
else
  start_proxy
fi
echo "origin 127.0.0.1:$origin_port, proxy 127.0.0.1:$proxy_port, at most $time_limit s per run"

run_case 5k-c1 /5k 1 "$n_page_c1"
run_case 5k-c32 /5k 32 "$n_page_c32"
run_case 20m-c1 /20m 1 "$n_large"

echo
printf '%-10s | %-36s | %-36s | %-13s | %s\n' '' 'direct' 'proxy' 'proxy/direct' 'failed'
printf '%-10s | %6s %10s %9s %8s | %6s %10s %9s %8s | %6s %6s | %s\n' \
  case n req/s ms MB/s n req/s ms MB/s req/s ms direct/proxy
for row in "${rows[@]}"; do echo "$row"; done

if [ -n "${proxy_pid:-}" ] && [ -f "$work/home/TARNWICK.LOG" ]; then
  echo "proxy access log: $(wc -l <"$work/home/TARNWICK.LOG") lines"
fi
if [ "$failures" -gt 0 ]; then
  echo "load.sh: $failures run(s) had errors or failed requests" >&2
  exit 1
fi
