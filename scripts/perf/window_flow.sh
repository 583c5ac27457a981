#!/usr/bin/env bash
# The whole window flow with the real binary under Xvfb, for JPEGs of about
# 1, 10 and 40 MB made with cjpeg from noise: click on picture-to-hex to the
# final status text painted, click on hex-to-picture to the picture painted,
# the longest UI-thread stall in each, and the peak memory of each.
# Times come from the program's own trace (QUORVANE_PERF_TRACE), not from polling.
# Picture to hex is also broken into its steps, and set against what the
# machine needs at least for it, measured beside it (perf_memory_floor: 2N
# bytes of fresh memory made resident and written, N bytes read).
# Usage: QUORVANE=build/bin/quorvane window_flow.sh OUT.jsonl [MB...]
set -euo pipefail
out=$1
shift
sizes=("${@:-1 10 40}")
QUORVANE=${QUORVANE:?path of the quorvane binary}
FLOOR=${FLOOR:-$(dirname "$QUORVANE")/../bench/perf_memory_floor}
WORK=$(mktemp -d /tmp/quorvane-flow.XXXXXX)
# shellcheck source=../lib/quorvane_window.sh
source "$(dirname "$0")/../lib/quorvane_window.sh"
trap 'cleanup; rm -rf "$WORK"' EXIT
start_display
: >"$out"

trace_after() {  # trace_after LINE PATTERN: the first time at or after line LINE matching PATTERN
  awk -v from="$1" -v pat="$2" 'NR >= from && index($0, pat) { print $1; exit }' "$TRACE"
}
status_kb() { awk -v k="$1" '$1 == k { print $2 }' "/proc/$APP_PID/status"; }

for mb in ${sizes[*]}; do
  # Noise at quality 100 takes about 2 bytes a pixel.
  side=$(python3 -c "import math; print(int(math.sqrt($mb * 1e6 / 2.05)))")
  picture="$WORK/noise-$mb.jpg"
  { printf 'P6\n%d %d\n255\n' "$side" "$side"; head -c $((side * side * 3)) /dev/urandom; } >"$WORK/noise.ppm"
  cjpeg -quality 100 "$WORK/noise.ppm" >"$picture"
  rm -f "$WORK/noise.ppm"
  bytes=$(stat -c %s "$picture")

  TRACE="$WORK/trace-$mb.txt"
  export QUORVANE_PERF_TRACE=$TRACE
  start_app
  open_file "$picture"
  wait_for "the picture drawn" grep -q "painted Image1" "$TRACE"
  sleep 1

  # Picture to hex.
  line=$(($(wc -l <"$TRACE") + 1))
  rss0=$(status_kb VmRSS:)
  echo 5 >"/proc/$APP_PID/clear_refs"
  press_button "$BUTTON_TO_HEX"
  wait_for "the final status" bash -c "awk -v from=$line 'NR >= from && /painted status/ && /图片转换完成/ { f = 1 } END { exit !f }' '$TRACE'"
  sleep 0.5
  hwm1=$(status_kb VmHWM:)
  click1=$(trace_after "$line" "click to-hex")
  done1=$(trace_after "$line" "图片转换完成")
  text1=$(trace_after "$line" "to-hex text set")
  stall1=$(awk -v from="$line" -v a="$click1" -v b="$done1" \
    'NR >= from && $2 == "stall" && $1 >= a && $1 - $3 <= b && $3 > m { m = $3 } END { print m + 0 }' "$TRACE")
  # Each step's end in ms after the click, in trace order; the text box's
  # paint counts once it holds the new text.
  steps1=$(awk -v from="$line" -v a="$click1" '
    NR < from { next }
    { what = $0; sub(/^[^ ]* /, "", what) }
    what ~ /^to-hex (worker started|picture taken|encoded|text wrapped|text handed over|text set)$/ ||
    what ~ /^painted status / || (what == "painted Memo1" && set) {
      if (what == "to-hex text set") set = 1
      if (!(what in seen)) { seen[what] = 1; printf "%s\"%s\": %.1f", n++ ? ", " : "", what, $1 - a }
      if (what ~ /图片转换完成/) exit
    }' "$TRACE")

  # Hex to picture.
  line=$(($(wc -l <"$TRACE") + 1))
  rss1=$(status_kb VmRSS:)
  echo 5 >"/proc/$APP_PID/clear_refs"
  press_button "$BUTTON_TO_PICTURE"
  wait_for "the restored picture" bash -c "awk -v from=$line 'NR >= from && /painted Image2/ { f = 1 } END { exit !f }' '$TRACE'"
  sleep 0.5
  hwm2=$(status_kb VmHWM:)
  click2=$(trace_after "$line" "click to-picture")
  drawn2=$(trace_after "$line" "painted Image2")
  stall2=$(awk -v from="$line" -v a="$click2" -v b="$drawn2" \
    'NR >= from && $2 == "stall" && $1 >= a && $1 - $3 <= b && $3 > m { m = $3 } END { print m + 0 }' "$TRACE")

  kill "$APP_PID" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
  floor="{}"
  [ -x "$FLOOR" ] && floor=$("$FLOOR" "$bytes")
  printf '{"mb": %s, "bytes": %s, "width": %s, "height": %s, "to_hex_ms": %s, "to_hex_text_set_ms": %s, "to_hex_stall_ms": %s, "to_hex_peak_extra_kb": %s, "to_picture_ms": %s, "to_picture_stall_ms": %s, "to_picture_peak_extra_kb": %s, "to_hex_steps_ms": {%s}, "memory_floor": %s, "load": "%s"}\n' \
    "$mb" "$bytes" "$side" "$side" \
    "$(awk -v a="$click1" -v b="$done1" 'BEGIN { printf "%.1f", b - a }')" \
    "$(awk -v a="$click1" -v b="$text1" 'BEGIN { printf "%.1f", b - a }')" "$stall1" $((hwm1 - rss0)) \
    "$(awk -v a="$click2" -v b="$drawn2" 'BEGIN { printf "%.1f", b - a }')" "$stall2" $((hwm2 - rss1)) \
    "$steps1" "$floor" "$(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$out"
done
