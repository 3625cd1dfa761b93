#!/usr/bin/env bash
# The content filters' figures. First the realistic 1 MB page from nginx (one worker, keep-alive
# off, 127.0.0.1) fetched by ApacheBench: directly, through the program relaying the same bytes as
# text/plain (no filter reads them) and through the program filtering it as a user runs it (both
# filter types, every tag kind, popups, banner sizes, "/ads/" blocked, log off); medians of three.
# Then, in-process: the HTML scanner's throughput on that page (alone and with the tag filter and
# popups), the page through the proxy on the plain relay, with popups only (streaming without tag
# decisions) and filtered, and the same page gzip-compressed through the filters.
#
#   bench/content_filters.sh [PROGRAM]       (BUILD=build by default; PROGRAM: $BUILD/tarnwick)
#
# Targets: filtered / plain relay through nginx >= 0.60; scanner with tag filter and popups
# >= 300 MB/s; in-process filtered / plain >= 0.60; gzip filtered / plain filtered >= 0.50.
# Exits non-zero when a target is missed or a run failed.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=../tools/proclib.sh
source "$repo/tools/proclib.sh"
# shellcheck source=benchlib.sh
source "$repo/bench/benchlib.sh"
build=${BUILD:-build}
case $build in /*) ;; *) build=$repo/$build ;; esac
bench=$build/bench/tarnwick_bench
program=${1:-$build/tarnwick}
[ -x "$bench" ] || bench_die "$bench not built; run make build"
[ -x "$build/bench/realistic_page" ] || bench_die "$build/bench/realistic_page not built; run make build"
command -v python3 >/dev/null || bench_die "python3 not found"
command -v ab >/dev/null || bench_die "ab not found (apache2-utils); run tools/install-deps.sh"

bench_start tarnwick-content-bench

make_site "$work/site" "$build/bench/realistic_page"
start_nginx "$work/site"
port=$(free_port)
write_user_settings "$work/home" "$port"
start_tarnwick "$program" "$work/home" "$port"
direct=() plain=() filtered=()
for round in 1 2 3; do
  direct+=("$(mbps "$(ab_rate - /page.html 1 100)" "$work/site/page.html")")
  plain+=("$(mbps "$(ab_rate "$port" /page.txt 1 100)" "$work/site/page.txt")")
  filtered+=("$(mbps "$(ab_rate "$port" /page.html 1 100)" "$work/site/page.html")")
done
d=$(median "${direct[@]}") p=$(median "${plain[@]}") f=$(median "${filtered[@]}")
wire_ratio=$(ratio "$f" "$p")
printf '1 MB page from nginx, direct              %7s MB/s\n' "$d"
printf '1 MB page through %s, relayed   %7s MB/s   (%s of direct)\n' "${program##*/}" "$p" "$(ratio "$p" "$d")"
printf '1 MB page through %s, filtered  %7s MB/s   (%s of the relay; target >= 0.60)\n' "${program##*/}" "$f" \
  "$wire_ratio"
stop_pid "$tarnwick_pid"
[ "$(bench_failures)" -eq 0 ] || bench_die "$(bench_failures) run(s) failed"
wire_met=$(awk -v r="$wire_ratio" 'BEGIN { print (r + 0 >= 0.60) ? 1 : 0 }')

json=$work/bench.json
"$bench" --benchmark_filter='BM_Scanner|BM_Proxy(PlainRelay|ScannedPage|FilteredPage|FilteredGzipPage)' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$json"

python3 - "$json" "$wire_met" <<'PY'
import json, sys
rows = {b["run_name"].split("/")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
def rate(name): return rows[name]["bytes_per_second"] / 1e6
scan_alone = rate("BM_ScannerAlone")
scan = rate("BM_ScannerWithTagFilterAndPopups")
plain = rate("BM_ProxyPlainRelay")
scanned = rate("BM_ProxyScannedPage")
filtered = rate("BM_ProxyFilteredPage")
gzipped = rate("BM_ProxyFilteredGzipPage")
ratio = filtered / plain if plain else 0
gzip_ratio = gzipped / filtered if filtered else 0
print(f"scanner alone                       {scan_alone:9.1f} MB/s")
print(f"scanner, tag filter + popups        {scan:9.1f} MB/s   (target >= 300)")
print(f"1 MB page through proxy, plain      {plain:9.1f} MB/s")
print(f"1 MB page through proxy, popups only{scanned:9.1f} MB/s   ({scanned / plain if plain else 0:.2f} of plain: no tag decisions)")
print(f"1 MB page through proxy, filtered   {filtered:9.1f} MB/s")
print(f"filtered / plain                    {ratio:9.2f}        (target >= 0.60)")
print(f"1 MB gzip page through proxy, filtered {gzipped:6.1f} MB/s   (decoded bytes)")
print(f"gzip filtered / plain filtered      {gzip_ratio:9.2f}        (target >= 0.50)")
sys.exit(0 if sys.argv[2] == "1" and scan >= 300 and ratio >= 0.60 and gzip_ratio >= 0.50 else 1)
PY
