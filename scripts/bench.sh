#!/usr/bin/env bash
# Runs every benchmark binary; Google Benchmark JSON goes to BUILD/bench/.
set -euo pipefail
build=${1:-build}
mkdir -p "$build/bench"
status=0
for exe in "$build"/bench/bench_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  echo "== $name"
  "$exe" --benchmark_out="$build/bench/$name.json" --benchmark_out_format=json \
    --benchmark_counters_tabular=true || status=1
done
# Benchmarks of whole programs (the command-line tool against stock tools).
for script in bench/*/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $script"
  bash "$script" "$build" || status=1
done
echo "JSON results: $build/bench/"
exit $status
