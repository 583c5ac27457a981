#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build (make fuzz).
#   scripts/fuzz.sh BUILD replay [SECONDS]  every target replays its seeds, the shared
#       corpus and fuzz/regression/<target>, then fuzzes SECONDS (default 0) from a
#       fixed random seed, FUZZ_SEED (default 1): the CI check; make soak passes
#       fresh ones.
#   scripts/fuzz.sh BUILD campaign SECONDS  every target fuzzes SECONDS at once, at low
#       priority; logs, findings and the grown corpus go to BUILD/fuzz-out/.
# FUZZ_TIMEOUT (default 60) is the seconds one input may take on a busy machine.
# A crash input found by a campaign is minimised (target -minimize_crash=1) and
# committed to fuzz/regression/<target>/ so that every later replay runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:?build folder}
MODE=${2:?replay or campaign}
SECONDS_EACH=${3:-0}
CORPUS=$(cd .. && pwd)/shared/corpus
OUT=$BUILD/fuzz-out
FUZZ_SEED=${FUZZ_SEED:-1}
mkdir -p "$OUT"

# target | shared corpus folders | dictionary | largest input
TARGETS=(
  "fuzz_hex_codec||hex|65536"
  "fuzz_jpeg_header|jpeg/good jpeg/bad|jpeg|65536"
  "fuzz_jpeg_draw|jpeg/good jpeg/bad|jpeg|65536"
  "fuzz_bmp|bmp|bmp|65536"
  "fuzz_icon|ico|icon|65536"
  "fuzz_metafile|metafile|metafile|65536"
  "fuzz_png|png|png|65536"
  "fuzz_extension||extension|1024"
  "fuzz_memo_edit||memo_edit|8192"
)

# Seeds of our own (fuzz/seeds/<name>), by target.
seeds_of() {
  case $1 in
    fuzz_jpeg_header | fuzz_jpeg_draw) echo fuzz/seeds/jpeg ;;
    fuzz_hex_codec) echo fuzz/seeds/hex_codec ;;
    fuzz_extension) echo fuzz/seeds/extension ;;
    fuzz_memo_edit) echo fuzz/seeds/memo_edit ;;
  esac
}

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan_suppressions.txt
export QT_QPA_PLATFORM=offscreen

common_flags() {  # dictionary
  echo "-dict=fuzz/dict/$1.dict -timeout=${FUZZ_TIMEOUT:-60} -rss_limit_mb=3072 -malloc_limit_mb=1100"
}

inputs_of() {
  local target=$1 folders=$2 dirs=() f
  for f in $folders; do dirs+=("$CORPUS/$f"); done
  local seeds
  seeds=$(seeds_of "$target")
  [ -n "$seeds" ] && dirs+=("$seeds")
  mkdir -p "fuzz/regression/$target"
  dirs+=("fuzz/regression/$target")
  echo "${dirs[@]}"
}

status=0
case $MODE in
  replay)
    for entry in "${TARGETS[@]}"; do
      IFS='|' read -r target folders dict max_len <<<"$entry"
      bin=$BUILD/fuzz/$(find "$BUILD/fuzz" -name "$target" -type f -printf '%P\n' | head -1)
      # shellcheck disable=SC2046
      read -r -a inputs <<<"$(inputs_of "$target" "$folders")"
      scratch=$OUT/replay/$target
      rm -rf "$scratch" && mkdir -p "$scratch"
      start=$(date +%s)
      # Whole files: a largest-input limit would cut the big corpus pictures short.
      if ! "$bin" $(common_flags "$dict") -runs=0 "${inputs[@]}" \
        >"$OUT/$target.replay.log" 2>&1; then
        echo "FAIL $target: replay (see $OUT/$target.replay.log)"; tail -n 30 "$OUT/$target.replay.log"; status=1; continue
      fi
      # New inputs land in the first folder, a scratch one: the committed ones stay as they are.
      if [ "$SECONDS_EACH" -gt 0 ] && ! "$bin" $(common_flags "$dict") -max_len="$max_len" -seed="$FUZZ_SEED" \
        -max_total_time="$SECONDS_EACH" -artifact_prefix="$OUT/$target-" "$scratch" "${inputs[@]}" \
        >"$OUT/$target.run.log" 2>&1; then
        echo "FAIL $target: run with seed $FUZZ_SEED (see $OUT/$target.run.log)"; tail -n 30 "$OUT/$target.run.log"
        echo "replay: FUZZ_SEED=$FUZZ_SEED bash scripts/fuzz.sh $BUILD replay $SECONDS_EACH," \
          "or $bin $(common_flags "$dict") <the crash file named above>"
        status=1; continue
      fi
      echo "ok   $target, seed $FUZZ_SEED ($(($(date +%s) - start)) s)"
    done
    ;;
  campaign)
    pids=()
    for entry in "${TARGETS[@]}"; do
      IFS='|' read -r target folders dict max_len <<<"$entry"
      bin=$BUILD/fuzz/$(find "$BUILD/fuzz" -name "$target" -type f -printf '%P\n' | head -1)
      read -r -a inputs <<<"$(inputs_of "$target" "$folders")"
      mkdir -p "$OUT/corpus/$target" "$OUT/artifacts/$target"
      nice -n 19 "$bin" $(common_flags "$dict") -max_len="$max_len" -max_total_time="$SECONDS_EACH" \
        -print_final_stats=1 -artifact_prefix="$OUT/artifacts/$target/" \
        "$OUT/corpus/$target" "${inputs[@]}" >"$OUT/$target.campaign.log" 2>&1 &
      pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || status=1; done
    ;;
  *)
    echo "unknown mode $MODE" >&2
    exit 2
    ;;
esac
exit $status
