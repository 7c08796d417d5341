#!/usr/bin/env bash
# Runs every benchmark and prints the ratios each one measures side by side in one run.
# Benchmarks are not tests: nothing here fails on a figure.
#
#   bash scripts/bench.sh            all topics
#   bash scripts/bench.sh json       topics whose folder name contains "json"
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows

export ZYR_BENCH_WORK=${ZYR_BENCH_WORK:-$PWD/build/bench-work}
mkdir -p "$ZYR_BENCH_WORK"
for script in bench/*/run.sh; do
  [ -f "$script" ] || continue
  topic=$(basename "$(dirname "$script")")
  if [ $# -gt 0 ] && [[ "$topic" != *"$1"* ]]; then
    continue
  fi
  echo "== $topic"
  bash "$script"
done
