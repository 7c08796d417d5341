#!/usr/bin/env bash
# extract_package_zip (optimized Windows build under Wine) against unzip (native) on the
# same 1 GiB, 2,000-file archive, both reading from and writing to the same disk. The
# Windows side works on drive C: of the test prefix: Wine shows drive Z: itself as a link,
# which the launcher's reparse-point rule refuses.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
work=${ZYR_BENCH_WORK:-$PWD/build/bench-work}/extract
mkdir -p "$work"
archive=$work/tree/files/bench-extract/package.zip
[ -f "$archive" ] || /usr/bin/python3 bench/extract/make_package.py "$work"
cmake --build --preset windows --target bench_extract >/dev/null

scripts/with-wine true  # makes the test prefix on first use
drive_c=${ZYR_WINE_ROOT:-$PWD/build/wine}/prefix/drive_c
bench_c=$drive_c/zyr-bench-extract
rm -rf "$bench_c"
mkdir -p "$bench_c"
ln "$archive" "$bench_c/package.zip" 2>/dev/null || cp "$archive" "$bench_c/package.zip"
cp "$work/tree/packages/bench-extract.json" "$bench_c/package.json"

sync
start=$(date +%s.%N)
unzip -q "$bench_c/package.zip" -d "$bench_c/unzip"
sync
unzip_seconds=$(echo "$(date +%s.%N) - $start" | bc)
rm -rf "$bench_c/unzip"
sync

output=$(scripts/with-wine wine build/windows/bench/extract/bench_extract.exe \
  'C:\zyr-bench-extract\package.json' 'C:\zyr-bench-extract\package.zip' \
  'C:\zyr-bench-extract\staging')
rm -rf "$bench_c"
echo "$output" | grep -v '^seconds=' | tr -d '\r'
ours=$(echo "$output" | sed -n 's/^seconds=//p' | tr -d '\r')
printf 'unzip:               %.2f s\n' "$unzip_seconds"
printf 'ratio extract/unzip: %.2f\n' "$(echo "$ours / $unzip_seconds" | bc -l)"
