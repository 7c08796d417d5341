#!/usr/bin/env bash
# sha256_of_file over a 1 GiB file against `openssl dgst -sha256` of the same file: natively
# (OpenSSL's SHA-256 behind our hasher) and in the Windows build under Wine (CNG). Prints
# the times and the ratios to openssl side by side. Run through scripts/bench.sh.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=${ZYR_BENCH_WORK:-$repo/build/bench-work}/sha256_file
mkdir -p "$work"
file=$work/1GiB.bin
if [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" != 1073741824 ]; then
  head -c 1073741824 /dev/urandom >"$file"
fi

seconds_of() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

cat "$file" >/dev/null  # page cache warm for every contender
openssl_seconds=$(seconds_of openssl dgst -sha256 "$file")
expected=$(openssl dgst -sha256 -r "$file" | cut -d' ' -f1)

read -r native_seconds native_digest < <("$repo/build/native/bench/sha256_file/sha256_file_bench" "$file")

# Under Wine the file must lie on drive C: the root of drive Z is a reparse point there. A
# hard link puts it into the prefix without a copy.
read -r wine_seconds wine_digest < <("$repo/scripts/with-wine" bash -c '
  mkdir -p "$WINEPREFIX/drive_c/zyr-bench"
  ln -f "$1" "$WINEPREFIX/drive_c/zyr-bench/1GiB.bin"
  wine "$2" "C:\\zyr-bench\\1GiB.bin" | tr -d "\r"
  rm -f "$WINEPREFIX/drive_c/zyr-bench/1GiB.bin"
' _ "$file" "$repo/build/windows/bench/sha256_file/sha256_file_bench.exe")

for digest in "$native_digest" "$wine_digest"; do
  if [ "$digest" != "$expected" ]; then
    echo "digest mismatch: $digest, openssl says $expected" >&2
    exit 1
  fi
done
printf '%-34s %8s %8s\n' "sha256 of 1 GiB" seconds "vs openssl"
printf '%-34s %8.3f %8s\n' "openssl dgst -sha256" "$openssl_seconds" "1.00"
printf '%-34s %8.3f %8.2f\n' "sha256_of_file native (OpenSSL)" "$native_seconds" \
  "$(ratio "$native_seconds" "$openssl_seconds")"
printf '%-34s %8.3f %8.2f\n' "sha256_of_file Wine (CNG)" "$wine_seconds" \
  "$(ratio "$wine_seconds" "$openssl_seconds")"
