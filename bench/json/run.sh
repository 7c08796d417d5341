#!/usr/bin/env bash
# parse_json_object with its structure check against RapidJSON's bare parse of the same
# 20,000-entry manifest, in one process, interleaved. An optimised native build without
# sanitizers of its own (build/bench-native), so that the figures mean something. Prints
# the times and their ratios; asserts nothing about them.
#
#   bash scripts/bench.sh json      (or this script alone)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$repo/build/bench-native
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZYR_SANITIZE=OFF \
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc >/dev/null 2>&1
cmake --build "$build" --target json_bench >/dev/null
"$build/bench/json/json_bench" "${ZYR_BENCH_ROUNDS:-41}"
