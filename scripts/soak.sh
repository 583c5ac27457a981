#!/usr/bin/env bash
# Soak run (make soak, not part of CI): the randomised stress tests of the
# ThreadSanitizer build and every fuzz target, again and again with fresh seeds,
# until SOAK_SECONDS (default 3600) have passed. Each seed is printed before its
# run; a failure prints the command that replays it, its log stays in
# TSAN_BUILD/soak/, and the soak ends with a failing status.
#   scripts/soak.sh TSAN_BUILD FUZZ_BUILD
# SOAK_FUZZ_SECONDS (default 30): how long each fuzz target runs per seed;
# FUZZ_ONLY="fuzz_memo_edit ..." soaks just those targets; SOAK_STRESS=0 leaves
# out the stress tests. A fault a soak finds is mended with its input committed
# under fuzz/regression/<target>/, so that CI replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
TSAN_BUILD=${1:?ThreadSanitizer build folder}
FUZZ_BUILD=${2:?fuzz build folder}
TOTAL=${SOAK_SECONDS:-3600}
FUZZ_SLICE=${SOAK_FUZZ_SECONDS:-30}
LOGS=$TSAN_BUILD/soak
mkdir -p "$LOGS"

# binary | test filter
STRESS=(
  "$TSAN_BUILD/tests/app/window/test_window_stress|WindowStress.*"
  "$TSAN_BUILD/tests/conversion/threads/test_threads|Stress.*"
)
TEST_ENV=(QT_QPA_PLATFORM=offscreen "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")

fresh_seed() { od -An -N4 -tu4 /dev/urandom | tr -d ' \n'; }

failures=0
round=0
end=$((SECONDS + TOTAL))
while [ "$SECONDS" -lt "$end" ]; do
  round=$((round + 1))
  for entry in "${STRESS[@]}"; do
    [ "${SOAK_STRESS:-1}" = 0 ] && break
    IFS='|' read -r bin filter <<<"$entry"
    seed=$(fresh_seed)
    log=$LOGS/$(basename "$bin")-$seed.log
    echo "round $round: $(basename "$bin") $filter, seed $seed"
    if env "${TEST_ENV[@]}" QV_TEST_SEED="$seed" "$bin" --gtest_filter="$filter" >"$log" 2>&1; then
      rm -f "$log"
    else
      echo "FAIL seed $seed (log: $log); replay:"
      echo "  ${TEST_ENV[*]} QV_TEST_SEED=$seed $bin --gtest_filter='$filter'"
      failures=$((failures + 1))
    fi
  done
  seed=$(fresh_seed)
  echo "round $round: fuzz targets, seed $seed, $FUZZ_SLICE s each"
  FUZZ_SEED=$seed bash scripts/fuzz.sh "$FUZZ_BUILD" explore "$FUZZ_SLICE" || failures=$((failures + 1))
done
echo "soak: $round rounds in $SECONDS s, $failures failed"
[ "$failures" -eq 0 ]
