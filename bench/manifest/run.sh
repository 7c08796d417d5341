#!/usr/bin/env bash
# Verified package parse against bare JSON parse of a signed 20,000-file document, in the
# optimized Windows build under Wine (the native build carries the sanitizers).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
work=${ZYR_BENCH_WORK:-$PWD/build/bench-work}/manifest
mkdir -p "$work"
/usr/bin/python3 bench/manifest/make_document.py "$work/package.json"
cmake --build --preset windows --target bench_manifest >/dev/null
scripts/with-wine wine build/windows/bench/manifest/bench_manifest.exe \
  "Z:$(echo "$work/package.json" | tr / '\\')" 7
