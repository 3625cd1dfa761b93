#!/usr/bin/env bash
# The content filters' figures: the HTML scanner's throughput on the realistic 1 MB page (alone and
# with the tag filter and popups), and that page through the running proxy on the plain relay,
# through the HTML filter with popups only (streaming without tag decisions) and with the tag filter
# and popups, with the ratios to the plain relay; and the same page gzip-compressed through the
# filters, against the plain page filtered. Everything runs in-process on 127.0.0.1.
#
#   bench/content_filters.sh        (BUILD=build by default)
#
# Targets: scanner with tag filter and popups >= 300 MB/s; filtered/plain through the proxy >= 0.70;
# gzip filtered / plain filtered >= 0.50.
# Exits non-zero when a target is missed.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$repo/$build ;; esac
bench=$build/bench/tarnwick_bench
[ -x "$bench" ] || { echo "content_filters.sh: $bench not built; run make build" >&2; exit 1; }
command -v python3 >/dev/null || { echo "content_filters.sh: python3 not found" >&2; exit 1; }

json=$(mktemp "${TMPDIR:-/tmp}/tarnwick-content-bench.XXXXXX")
trap 'rm -f "$json"' EXIT
"$bench" --benchmark_filter='BM_Scanner|BM_Proxy(PlainRelay|ScannedPage|FilteredPage|FilteredGzipPage)' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$json"

python3 - "$json" <<'PY'
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
print(f"filtered / plain                    {ratio:9.2f}        (target >= 0.70)")
print(f"1 MB gzip page through proxy, filtered {gzipped:6.1f} MB/s   (decoded bytes)")
print(f"gzip filtered / plain filtered      {gzip_ratio:9.2f}        (target >= 0.50)")
sys.exit(0 if scan >= 300 and ratio >= 0.70 and gzip_ratio >= 0.50 else 1)
PY
