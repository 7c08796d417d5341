#!/usr/bin/env bash
# A 1 GiB file from the update service: the launcher's transport (Windows build under Wine)
# against curl, each fetching the same file from the same server over TLS 1.2, best of
# ZYR_BENCH_RUNS (default 3). Prints both times and their ratio; asserts nothing about them.
#
#   bash scripts/bench.sh download
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=${ZYR_BENCH_WORK:-$repo/build/bench-work}/download
runs=${ZYR_BENCH_RUNS:-3}
size=1073741824
bench_exe=$repo/build/windows/bench/download/download_bench.exe
service=$repo/tools/update-service/update_service.py
[ -f "$bench_exe" ] || { echo "build the windows preset first ($bench_exe)" >&2; exit 1; }

mkdir -p "$work/tree/files/bench" "$work/out"
file=$work/tree/files/bench/1GiB.bin
if [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" != "$size" ]; then
  head -c "$size" /dev/urandom >"$file"
fi

# A prefix of its own, so that a test run's prefix is left alone.
export ZYR_WINE_ROOT=$work/wine
inner=$(cat <<'INNER'
set -euo pipefail
trap '/usr/bin/python3 "$service" stop --state "$work/state"' EXIT
/usr/bin/python3 "$service" start --trust-ca --state "$work/state" --tree "$work/tree" >/dev/null
url=https://localhost:25556/files/bench/1GiB.bin
best() { sort -g | head -n1; }
curl_times=() wine_times=()
for _ in $(seq "$runs"); do
  rm -f "$work/out/curl.bin" "$work/out/transport.bin"
  curl_times+=("$(curl -sS --fail --cacert "$ZYR_WINE_ROOT/test-ca/ca.pem" -o "$work/out/curl.bin" \
    -w '%{time_total}' "$url")")
  wine_times+=("$(wine "$bench_exe" "$url" "Z:${work//\//\\}\\out\\transport.bin" "$size" | tr -d '\r')")
done
cmp "$work/out/curl.bin" "$file"
cmp "$work/out/transport.bin" "$file"
rm -f "$work/out/curl.bin" "$work/out/transport.bin"
curl_best=$(printf '%s\n' "${curl_times[@]}" | best)
wine_best=$(printf '%s\n' "${wine_times[@]}" | best)
echo "1 GiB over TLS 1.2 from the update service, best of $runs:"
echo "  transport (download, under Wine): ${wine_best} s   runs: ${wine_times[*]}"
echo "  curl:                             ${curl_best} s   runs: ${curl_times[*]}"
awk -v w="$wine_best" -v c="$curl_best" -v s="$size" 'BEGIN {
  printf "  transport %.0f MiB/s, curl %.0f MiB/s, transport/curl time ratio %.2f\n",
    s / 1048576 / w, s / 1048576 / c, w / c }'
INNER
)
export work runs size bench_exe service file
"$repo/scripts/with-wine" bash -c "$inner"
