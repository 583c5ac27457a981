#!/usr/bin/env bash
# Measures this machine in one run and writes docs/PERFORMANCE.md with plots in
# docs/perf/. Raw figures go to BUILD/perf/. Usage: perf-report.sh [BUILD]
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/perf"
build=$(cd "$build" && pwd)
data="$build/perf"
# The report's own programs (benchmarks may be configured off in this build).
cmake -S "$root" -B "$build" -DQUORVANE_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target quorvane bench_jpeg bench_picture_hex perf_hex_codec perf_text_box \
  perf_memory_floor bench_hex_codec
started=$SECONDS

echo "== hex codec, 1 KiB .. 256 MiB"
"$build/bench/perf_hex_codec" $((256 << 20)) >"$data/codec.jsonl"
echo "== stock tools and Python"
/usr/bin/python3 "$root/scripts/perf/cli_codecs.py" "$data/cli_codecs.jsonl" $((256 << 20))

# Medians of a benchmark's repetitions (wall time and each counter), in the
# plain layout the report reads: medians BENCH_NAME [ARGS...]
medians() {
  local name=$1
  shift
  "$build/bench/$name" --benchmark_repetitions=5 --benchmark_report_aggregates_only=false \
    --benchmark_out="$data/$name.reps.json" --benchmark_out_format=json "$@" >/dev/null
  /usr/bin/python3 - "$data/$name.reps.json" "$data/$name.json" <<'PY'
import json, statistics, sys
d = json.load(open(sys.argv[1]))
runs = {}
for b in d["benchmarks"]:
    if b.get("run_type") == "iteration":
        runs.setdefault(b["run_name"], []).append(b)
out = []
for name, bs in runs.items():
    m = dict(bs[0]); m["name"] = name; m["real_time"] = statistics.median(x["real_time"] for x in bs)
    for k in ("cpu_ms",):
        if k in m:
            m[k] = statistics.median(x[k] for x in bs)
    out.append(m)
json.dump({"context": d["context"], "benchmarks": out}, open(sys.argv[2], "w"), indent=1)
PY
}

echo "== picture to hex and back against their budgets"
medians bench_picture_hex

echo "== hex codec against memcpy, one run"
"$build/bench/bench_hex_codec" --benchmark_filter='^(Memcpy|MemoryFloor/.*|HexEncode/(AVX512VBMI|AVX512BW|AVX2)|HexDecode/(AVX512VBMI|AVX512BW|AVX2))/' \
  --benchmark_out="$data/bench_hex_codec.json" --benchmark_out_format=json >/dev/null

echo "== JPEG decode against djpeg"
medians bench_jpeg --benchmark_filter='^(Decode24|DjpegBaseline24)/'

echo "== text box, 1e5 .. 2e7 characters"
: >"$data/text_box.jsonl"
for n in 100000 1000000 5000000 20000000; do
  "$build/bench/perf_text_box" memo "$n" 2>/dev/null | tee -a "$data/text_box.jsonl"
done
cap=90
for n in 100000 300000 1000000; do
  if ! timeout "$cap" "$build/bench/perf_text_box" plain "$n" 2>/dev/null | tee -a "$data/text_box.jsonl"; then
    echo "{\"box\": \"QPlainTextEdit\", \"chars\": $n, \"timeout\": $cap}" | tee -a "$data/text_box.jsonl"
    break
  fi
done

echo "== the whole window under Xvfb"
QUORVANE="$build/bin/quorvane" bash "$root/scripts/perf/window_flow.sh" "$data/window_flow.jsonl" 1 10 40 100

echo "== writing the report"
/usr/bin/python3 "$root/scripts/perf/report.py" "$data" "$root/docs"
echo "measured in $((SECONDS - started)) s; plots in docs/perf/"
