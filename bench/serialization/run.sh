#!/usr/bin/env bash
# Writing and reading a LauncherConfig with 64 map entries and 16 roster slots as an object
# graph, against memcpy of the same number of bytes. Built natively and optimised (Release,
# no sanitizers) in build/bench-native. Prints the times and the ratios; asserts nothing.
#
#   bash scripts/bench.sh serialization
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=${ZYR_BENCH_WORK:-$repo/build/bench-work}/serialization
build=$repo/build/bench-native
mkdir -p "$work"

log=$work/build.log
{ cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZYR_SANITIZE=OFF \
    -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc &&
  cmake --build "$build" --target serialization_bench; } >"$log" 2>&1 || { cat "$log"; exit 1; }
"$build/bench/serialization/serialization_bench" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 \
  --benchmark_out="$work/results.json" --benchmark_out_format=json >/dev/null 2>"$work/run.log"

/usr/bin/python3 - "$work/results.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"]: r for r in results if r.get("aggregate_name") == "median"}
size = int(median["Write"]["bytes"])
copy = median["Memcpy"]["real_time"]
unit = median["Memcpy"]["time_unit"]
print(f"LauncherConfig, 64 map entries and 16 roster slots: {size} bytes, median of 5")
for name in ("Write", "Read"):
    t = median[name]["real_time"]
    print(f"  {name.lower():6} {t:10.1f} {unit}   {t / copy:8.1f} x memcpy")
print(f"  memcpy {copy:10.1f} {unit}")
PY
