#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build (make fuzz, make soak).
#   scripts/fuzz.sh BUILD replay [RUNS]  the CI check, the same on every machine and
#       under any load: every target replays its seeds, the shared corpus and
#       fuzz/regression/<target> whole, then runs a fixed number of new inputs from
#       the fixed seed FUZZ_SEED (default 1) in one process: RUNS each, or the
#       target's own count from the table below when RUNS is not given (0: replay only).
#   scripts/fuzz.sh BUILD explore SECONDS  replays, then fuzzes each target SECONDS
#       from FUZZ_SEED: fresh exploration for make soak, which passes fresh seeds.
#   scripts/fuzz.sh BUILD campaign SECONDS  every target fuzzes SECONDS at once, at low
#       priority; logs, findings and the grown corpus go to BUILD/fuzz-out/.
# FUZZ_ONLY="fuzz_a fuzz_b" runs just those targets.
# FUZZ_TIMEOUT (default 60) is the seconds one input may take on a busy machine.
# A crash input that a soak or a campaign finds is minimised (target
# -minimize_crash=1) and committed to fuzz/regression/<target>/, so that every
# later replay runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:?build folder}
MODE=${2:?replay, explore or campaign}
AMOUNT=${3:-}
# Relative paths, so that the inputs' names and order are the same in every checkout.
CORPUS=../shared/corpus
OUT=$BUILD/fuzz-out
FUZZ_SEED=${FUZZ_SEED:-1}
mkdir -p "$OUT"

# target | shared corpus folders | dictionary | largest input | runs in the check
# (from a few seconds to half a minute each, replay included, on two busy cores:
# the drawing targets decode whole pictures, so they get fewer runs)
TARGETS=(
  "fuzz_hex_codec||hex|65536|150000"
  "fuzz_jpeg_header|jpeg/good jpeg/bad|jpeg|65536|20000"
  "fuzz_jpeg_draw|jpeg/good jpeg/bad|jpeg|65536|600"
  "fuzz_bmp|bmp|bmp|65536|1500"
  "fuzz_icon|ico|icon|65536|20000"
  "fuzz_metafile|metafile|metafile|65536|20000"
  "fuzz_png|png|png|65536|20000"
  "fuzz_extension||extension|1024|100000"
  "fuzz_memo_edit||memo_edit|8192|100000"
  "fuzz_text_forms||text_forms|65536|15000"
)

# Seeds of our own (fuzz/seeds/<name>), by target.
seeds_of() {
  case $1 in
    fuzz_jpeg_header | fuzz_jpeg_draw) echo fuzz/seeds/jpeg ;;
    fuzz_hex_codec) echo fuzz/seeds/hex_codec ;;
    fuzz_extension) echo fuzz/seeds/extension ;;
    fuzz_memo_edit) echo fuzz/seeds/memo_edit ;;
    fuzz_text_forms) echo fuzz/seeds/text_forms ;;
  esac
}

# The targets run with this environment and nothing else: the environment sits
# at the top of the stack, so its size moves every stack address, and the
# fuzzer feeds the values the targets compare (addresses too) back into its
# mutations. Qt seeds its hashes at random in every process, which changes the
# paths taken through its containers and so what counts as new coverage.
TARGET_ENV=(env -i PATH=/usr/bin:/bin HOME=/nonexistent LANG=C.UTF-8
  ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:allocator_may_return_null=1
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  LSAN_OPTIONS=suppressions=tests/lsan_suppressions.txt
  QT_QPA_PLATFORM=offscreen QT_HASH_SEED=0)

# Without address randomisation where the system allows it: containers keyed by
# address would otherwise iterate in another order, run by run.
NO_ASLR=()
if setarch "$(uname -m)" -R true 2>/dev/null; then NO_ASLR=(setarch "$(uname -m)" -R); fi

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

chosen() {
  [ -z "${FUZZ_ONLY:-}" ] || [[ " $FUZZ_ONLY " == *" $1 "* ]]
}

binary_of() {
  echo "$BUILD/fuzz/$(find "$BUILD/fuzz" -name "$1" -type f -printf '%P\n' | head -1)"
}

# The inputs as one list in a fixed order: libFuzzer reads folders in the order the
# file system lists them, which differs from machine to machine.
write_input_list() {  # list_file folders...
  local list=$1
  shift
  find "$@" -type f -print | LC_ALL=C sort | paste -sd, - >"$list"
}

# The last status line of a libFuzzer log: what it covered and kept.
final_stats() {
  grep -E '^#[0-9]+' "$1" | tail -n 1 |
    sed -E 's/^#([0-9]+)[[:space:]]+[A-Z]+[[:space:]]+/\1 inputs, /; s/[[:space:]]+lim:.*//'
}

status=0
case $MODE in
  replay | explore)
    for entry in "${TARGETS[@]}"; do
      IFS='|' read -r target folders dict max_len check_runs <<<"$entry"
      chosen "$target" || continue
      bin=$(binary_of "$target")
      # shellcheck disable=SC2046
      read -r -a inputs <<<"$(inputs_of "$target" "$folders")"
      scratch=$OUT/replay/$target
      rm -rf "$scratch" && mkdir -p "$scratch"
      start=$(date +%s)
      # Whole files: a largest-input limit would cut the big corpus pictures short.
      if ! "${TARGET_ENV[@]}" "$bin" $(common_flags "$dict") -runs=0 "${inputs[@]}" \
        >"$OUT/$target.replay.log" 2>&1; then
        echo "FAIL $target: replay (see $OUT/$target.replay.log)"; tail -n 30 "$OUT/$target.replay.log"; status=1; continue
      fi
      if [ "$MODE" = replay ]; then
        runs=${AMOUNT:-$check_runs}
        [ "$runs" -gt 0 ] || { echo "ok   $target, replayed"; continue; }
        list=$OUT/$target.inputs
        write_input_list "$list" "${inputs[@]}"
        # One process, the inputs in a fixed order, no reloading of the corpus from
        # disk, and a count of runs rather than a time: the same inputs everywhere.
        limit=(-runs="$runs" -reload=0 -seed_inputs=@"$list")
        what="$runs runs"
      else
        limit=(-max_total_time="$AMOUNT" "${inputs[@]}")
        what="$AMOUNT s"
      fi
      # New inputs land in the first folder, a scratch one: the committed ones stay as they are.
      if ! "${NO_ASLR[@]}" "${TARGET_ENV[@]}" "$bin" $(common_flags "$dict") -max_len="$max_len" \
        -seed="$FUZZ_SEED" \
        -print_final_stats=1 -artifact_prefix="$OUT/$target-" "$scratch" "${limit[@]}" \
        >"$OUT/$target.run.log" 2>&1; then
        echo "FAIL $target: $what from seed $FUZZ_SEED (see $OUT/$target.run.log)"; tail -n 30 "$OUT/$target.run.log"
        echo "replay: FUZZ_SEED=$FUZZ_SEED bash scripts/fuzz.sh $BUILD $MODE $AMOUNT," \
          "or $bin $(common_flags "$dict") <the crash file named above>"
        status=1; continue
      fi
      echo "ok   $target, seed $FUZZ_SEED, $what: $(final_stats "$OUT/$target.run.log")" \
        "($(($(date +%s) - start)) s)"
    done
    ;;
  campaign)
    pids=()
    for entry in "${TARGETS[@]}"; do
      IFS='|' read -r target folders dict max_len _ <<<"$entry"
      chosen "$target" || continue
      bin=$(binary_of "$target")
      read -r -a inputs <<<"$(inputs_of "$target" "$folders")"
      mkdir -p "$OUT/corpus/$target" "$OUT/artifacts/$target"
      nice -n 19 "${TARGET_ENV[@]}" "$bin" $(common_flags "$dict") -max_len="$max_len" -max_total_time="${AMOUNT:?seconds}" \
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
