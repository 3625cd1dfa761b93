#!/usr/bin/env bash
# Load run: nginx (one worker, keep-alive off, 127.0.0.1) as the origin, ApacheBench as the client
# (curl for the 20 MiB download, which ab's small reads would slow down),
# once straight at nginx and once through each program given, in the same run, so that the ratios
# to the direct figures are measured on the same machine in the same state. Every figure is the
# median of LOAD_ROUNDS rounds; within a round the direct run and each program take turns.
#
#   bench/load.sh [PROGRAM ...]          (or: make bench-load)
#
# PROGRAM is a path, or LABEL=PATH to name its column (default: $BUILD/tarnwick). Giving two
# programs (say a copy of an older build and the current one) prints before and after side by side.
# Each program runs headless as a user runs it (TARNWICK.INI from bench/benchlib.sh: both filter
# types, every tag kind, popups, banner sizes, "/ads/" blocked, log off), in a settings folder of
# its own, on a free port; a second instance holds 20,000 more block entries.
#
# Rows: the 5 KB page at 1 and 32 clients (req/s), the 20 MiB download (MB/s), the 1 MB HTML page
# filtered against the same bytes as text/plain relayed (MB/s), the 32-client rate with 20,000 block
# entries against the one-entry rate, start-up to listening with 20,000 stored entries, and the peak
# memory (VmHWM) after the 32-client runs.
#
# Environment:
#   BUILD            build folder (default: build); realistic_page is taken from $BUILD/bench
#   LOAD_ROUNDS      rounds (default 3)
#   LOAD_N_C1        5 KB requests at concurrency 1 (default 2000)
#   LOAD_N_C32       5 KB requests at concurrency 32 (default 10000)
#   LOAD_N_LARGE     20 MiB downloads, with curl (default 10)
#   LOAD_N_PAGE      1 MB page requests (default 100)
#   LOAD_TIME_LIMIT  seconds one ab run may take at most (default 30)
#
# Exits non-zero when a run failed or any answer was not a complete 200; a missed target is only
# marked in the table.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=../tools/proclib.sh
source "$repo/tools/proclib.sh"
# shellcheck source=benchlib.sh
source "$repo/bench/benchlib.sh"

build=${BUILD:-build}
case $build in /*) ;; *) build=$repo/$build ;; esac
rounds=${LOAD_ROUNDS:-3}
n_c1=${LOAD_N_C1:-2000}
n_c32=${LOAD_N_C32:-10000}
n_large=${LOAD_N_LARGE:-10}
n_page=${LOAD_N_PAGE:-100}
generator=$build/bench/realistic_page

command -v ab >/dev/null || bench_die "ab not found (apache2-utils); run tools/install-deps.sh"
command -v python3 >/dev/null || bench_die "python3 not found"
[ -x "$generator" ] || bench_die "$generator not built; run make build"

labels=()
programs=()
[ $# -gt 0 ] || set -- "$build/tarnwick"
for arg in "$@"; do
  if [[ $arg == *=* ]]; then
    labels+=("${arg%%=*}")
    programs+=("${arg#*=}")
  else
    labels+=("$(basename "$arg")")
    programs+=("$arg")
  fi
done
for program in "${programs[@]}"; do [ -x "$program" ] || bench_die "$program is not a program"; done

bench_start tarnwick-load

make_site "$work/site" "$generator"
start_nginx "$work/site"
write_block_entries "$work/entries.txt" 20000

# Results: results[KEY] holds the rounds' figures separated by spaces. Keys: "direct.c1",
# "<i>.c1", "<i>.filtered", and so on.
declare -A results
add() { results[$1]="${results[$1]:-} $2"; }

measure_direct() {
  add direct.c1 "$(ab_rate - /5k.html 1 "$n_c1")"
  add direct.c32 "$(ab_rate - /5k.html 32 "$n_c32")"
  add direct.large "$(curl_mbps - /20m "$n_large")"
  add direct.page "$(mbps "$(ab_rate - /page.html 1 "$n_page")" "$work/site/page.html")"
}

measure_program() {
  local i=$1 program=${programs[$1]} home port
  home=$work/home-$i-one
  port=$(free_port)
  write_user_settings "$home" "$port"
  start_tarnwick "$program" "$home" "$port"
  add "$i.c1" "$(ab_rate "$port" /5k.html 1 "$n_c1")"
  add "$i.c32" "$(ab_rate "$port" /5k.html 32 "$n_c32")"
  add "$i.memory" "$(peak_memory_mb "$tarnwick_pid")"
  add "$i.large" "$(curl_mbps "$port" /20m "$n_large")"
  add "$i.page" "$(mbps "$(ab_rate "$port" /page.html 1 "$n_page")" "$work/site/page.html")"
  add "$i.plain" "$(mbps "$(ab_rate "$port" /page.txt 1 "$n_page")" "$work/site/page.txt")"
  stop_pid "$tarnwick_pid"
  rm -rf "$home"

  home=$work/home-$i-many
  port=$(free_port)
  write_user_settings "$home" "$port" "$work/entries.txt"
  start_tarnwick "$program" "$home" "$port"
  add "$i.startup" "$startup_seconds"
  add "$i.c32many" "$(ab_rate "$port" /5k.html 32 "$n_c32")"
  add "$i.memorymany" "$(peak_memory_mb "$tarnwick_pid")"
  stop_pid "$tarnwick_pid"
  rm -rf "$home"
}

echo "origin: nginx on 127.0.0.1:$origin_port; $rounds rounds; programs: ${programs[*]}" >&2
for ((round = 1; round <= rounds; round++)); do
  echo "round $round of $rounds" >&2
  measure_direct
  for ((i = 0; i < ${#programs[@]}; i++)); do measure_program "$i"; done
done

# m KEY: the median of a key's rounds.
m() {
  # shellcheck disable=SC2086
  median ${results[$1]}
}

# row TITLE DIRECT TARGET CELL...: one line of the table.
row() {
  local title=$1 direct=$2 target=$3
  shift 3
  printf '%-44s | %9s' "$title" "$direct"
  local cell
  for cell in "$@"; do printf ' | %-22s' "$cell"; done
  printf ' | %s\n' "$target"
}

# verdict VALUE OP LIMIT: "met" or "MISSED".
verdict() {
  awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
    ok = (op == ">=") ? (v + 0 >= l) : (v + 0 < l)
    print ((v != "-" && v != "error" && ok) ? "met" : "MISSED") }'
}

# direct_ratio_row TITLE KEY LIMIT: each program's KEY against the direct run's, at least LIMIT.
direct_ratio_row() {
  local title=$1 key=$2 limit=$3 cells=() i r
  for ((i = 0; i < ${#programs[@]}; i++)); do
    r=$(ratio "$(m "$i.$key")" "$(m "direct.$key")")
    cells+=("$(m "$i.$key") ($r, $(verdict "$r" '>=' "$limit"))")
  done
  row "$title" "$(m "direct.$key")" ">= $limit of direct" "${cells[@]}"
}

echo
printf '%-44s | %9s' Measure direct
for label in "${labels[@]}"; do printf ' | %-22s' "$label"; done
printf ' | %s\n' Target

direct_ratio_row "5 KB page, 1 client, req/s" c1 0.45
direct_ratio_row "5 KB page, 32 clients, req/s" c32 0.40
direct_ratio_row "20 MiB download, MB/s" large 0.65

cells=()
for ((i = 0; i < ${#programs[@]}; i++)); do
  r=$(ratio "$(m "$i.page")" "$(m "$i.plain")")
  cells+=("$(m "$i.page") ($r of $(m "$i.plain"), $(verdict "$r" '>=' 0.60))")
done
row "1 MB HTML page filtered, MB/s (of relay)" "$(m direct.page)" ">= 0.60 of the plain relay" "${cells[@]}"

cells=()
for ((i = 0; i < ${#programs[@]}; i++)); do
  r=$(ratio "$(m "$i.c32many")" "$(m "$i.c32")")
  cells+=("$(m "$i.c32many") ($r, $(verdict "$r" '>=' 0.95))")
done
row "20,000-entry block list, 32 clients, req/s" - ">= 0.95 of one entry" "${cells[@]}"

cells=()
for ((i = 0; i < ${#programs[@]}; i++)); do
  cells+=("$(m "$i.startup") s ($(verdict "$(m "$i.startup")" '<' 1.0))")
done
row "start-up to listening, 20,000 entries" - "< 1 s" "${cells[@]}"

cells=()
for ((i = 0; i < ${#programs[@]}; i++)); do
  cells+=("$(m "$i.memory") MB ($(m "$i.memorymany") MB)")
done
row "peak memory, 32 clients (20,000 entries)" - "no more than before" "${cells[@]}"

if [ "$(bench_failures)" -gt 0 ]; then
  echo "load.sh: $(bench_failures) run(s) had errors or failed requests" >&2
  exit 1
fi
