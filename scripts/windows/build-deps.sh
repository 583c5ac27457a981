#!/usr/bin/env bash
# Cross-builds the Windows dependencies (libjpeg-turbo as a static library
# with its SIMD code, Qt Core/Gui/Widgets/Test and their Windows plugins as
# DLLs) once into the cache, from Debian's source packages, and prints the
# cache prefix on its last line. A finished cache is reused as it is: the key
# (see versions.sh) names the versions and the build recipe.
#
# Usage: build-deps.sh [--print-prefix]
#   JOBS=n        parallel compile jobs (default: nproc)
#   NICE=n        niceness of the compilers (default: 0)
# Logs go to <cache>/<key>/logs/; the progress is printed as it goes. An
# interrupted run continues where it stopped when started again.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/versions.sh"

if [ "${1:-}" = --print-prefix ]; then echo "$QW_PREFIX"; exit 0; fi

JOBS="${JOBS:-$(nproc)}"
NICE="${NICE:-0}"
stamp="$QW_PREFIX/.complete"
if [ -f "$stamp" ]; then
  echo "windows deps: cached in $QW_PREFIX"
  echo "$QW_PREFIX"
  exit 0
fi

for tool in "$QW_TRIPLET-g++-posix" nasm ninja cmake dpkg-source; do
  command -v "$tool" >/dev/null \
    || { echo "windows deps: $tool missing; run scripts/install-deps.sh windows" >&2; exit 1; }
done
[ -x /usr/lib/qt6/libexec/moc ] \
  || { echo "windows deps: Debian's Qt host tools missing (qt6-base-dev-tools)" >&2; exit 1; }

work="$QW_CACHE_ROOT/work-$QW_KEY"     # sources and build trees, removed at the end
logs="$QW_PREFIX/logs"
mkdir -p "$work" "$logs"
toolchain="$here/toolchain-mingw64.cmake"
run() { nice -n "$NICE" "$@"; }
t_all=$SECONDS

echo "windows deps: building into $QW_PREFIX"
echo "windows deps: this takes about 50 minutes of CPU time once (about 23 minutes on"
echo "  two idle cores); later builds reuse the cache."

bash "$here/fetch-sources.sh" "$QW_CACHE_ROOT/src"

# Extracts a verified .dsc with Debian's patches applied, once.
extract() { # dsc dir
  if [ ! -f "$work/$2/.extracted" ]; then
    rm -rf "${work:?}/$2"
    dpkg-source --no-check -x "$QW_CACHE_ROOT/src/$1" "$work/$2" >"$logs/extract-$2.log"
    touch "$work/$2/.extracted"
  fi
}

# Ninja's own [done/total] counter, reduced to a line every 5 % of the work.
progress() { # label
  local label="$1"
  awk -v label="$label" -v start="$(date +%s)" '
    match($0, /^\[[0-9]+\/[0-9]+\]/) {
      split(substr($0, 2, RLENGTH - 2), a, "/"); pct = int(100 * a[1] / a[2])
      if (pct >= last + 5 || a[1] == a[2]) {
        last = pct; el = systime() - start
        eta = (a[1] > 0) ? int(el * (a[2] - a[1]) / a[1] / 60) : 0
        printf "  %s: %3d %% (%d/%d), %d min so far, about %d min left\n", label, pct, a[1], a[2], el / 60, eta
        fflush()
      }
    }'
}

# --- libjpeg-turbo: static, SIMD required, the libjpeg 6.2 interface ---------
if [ ! -f "$QW_PREFIX/lib/libjpeg.a" ]; then
  t=$SECONDS
  echo "windows deps: libjpeg-turbo (about 2 minutes)"
  extract "$QW_JPEG_DSC" libjpeg-turbo
  [ -f "$work/build-jpeg/build.ninja" ] || run cmake -S "$work/libjpeg-turbo" -B "$work/build-jpeg" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$QW_PREFIX" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF \
    >"$logs/jpeg-configure.log" 2>&1 \
    || { echo "windows deps: libjpeg-turbo configure failed, see $logs/jpeg-configure.log" >&2; exit 1; }
  run cmake --build "$work/build-jpeg" -j "$JOBS" 2>&1 | tee "$logs/jpeg-build.log" | progress libjpeg-turbo
  [ "${PIPESTATUS[0]}" -eq 0 ] \
    || { echo "windows deps: libjpeg-turbo build failed, see $logs/jpeg-build.log" >&2; exit 1; }
  cmake --install "$work/build-jpeg" >"$logs/jpeg-install.log"
  echo "windows deps: libjpeg-turbo done in $(( (SECONDS - t) / 60 )) min $(( (SECONDS - t) % 60 )) s"
fi

# --- qtbase: Core, Gui, Widgets, Test and the Windows plugins ----------------
# Only what the two programs and their tests load. Debian's source has no
# wintab.h (tablet events off); with OpenGL off the Windows platform plugin
# only compiles when dynamic GL is off too. zlib, libpng, FreeType, HarfBuzz
# and PCRE2 are Qt's bundled copies; JPEG and GIF image plugins are not built
# because the program decodes JPEG with libjpeg-turbo itself.
if [ ! -f "$QW_PREFIX/bin/Qt6Widgets.dll" ]; then
  t=$SECONDS
  echo "windows deps: qtbase (about 50 minutes of CPU time)"
  extract "$QW_QT_DSC" qtbase
  # An interrupted build resumes where it stopped (same key, same options).
  [ -f "$work/build-qt/build.ninja" ] || run cmake -S "$work/qtbase" -B "$work/build-qt" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$QW_PREFIX" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DQT_BUILD_BENCHMARKS=OFF -DQT_GENERATE_SBOM=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_testlib=ON \
    -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF \
    >"$logs/qt-configure.log" 2>&1 \
    || { echo "windows deps: qtbase configure failed, see $logs/qt-configure.log" >&2; exit 1; }
  run cmake --build "$work/build-qt" -j "$JOBS" 2>&1 | tee "$logs/qt-build.log" | progress qtbase
  [ "${PIPESTATUS[0]}" -eq 0 ] \
    || { echo "windows deps: qtbase build failed, see $logs/qt-build.log" >&2; exit 1; }
  cmake --install "$work/build-qt" >"$logs/qt-install.log"
  echo "windows deps: qtbase done in $(( (SECONDS - t) / 60 )) min"
fi

rm -rf "$work"
echo "built $(date -u +%FT%TZ) in $(( (SECONDS - t_all) / 60 )) min, key $QW_KEY" >"$stamp"
echo "windows deps: done in $(( (SECONDS - t_all) / 60 )) min"
echo "$QW_PREFIX"
