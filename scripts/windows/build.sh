#!/usr/bin/env bash
# Cross-builds the program, quorvane-hex and (unless TESTS=OFF) the tests for
# 64-bit Windows into the given folder, with the dependencies from the cache
# (built first when missing; see build-deps.sh).
# Usage: build.sh [build-dir]      JOBS=n, CMAKE_ARGS=..., TESTS=ON|OFF,
#                                  TARGETS="quorvane quorvane-hex" (default: all)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-build-windows}"
JOBS="${JOBS:-$(nproc)}"

# Its progress and time estimate reach the terminal as they come (about 25
# minutes from an empty cache): only the prefix is taken from its output.
prefix="$(bash "$here/build-deps.sh")" || { echo "windows: dependency build failed" >&2; exit 1; }
[ -f "$prefix/.complete" ] || { echo "windows: dependency build failed" >&2; exit 1; }

t=$SECONDS
if [ ! -f "$build/CMakeCache.txt" ]; then
  # shellcheck disable=SC2086
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQUORVANE_TESTS="${TESTS:-ON}" -DQUORVANE_BENCH=OFF \
    ${CMAKE_ARGS:-}
fi
# shellcheck disable=SC2086
cmake --build "$build" -j "$JOBS" ${TARGETS:+--target $TARGETS}
echo "windows: program built in $(( SECONDS - t )) s"
