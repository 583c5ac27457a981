#!/usr/bin/env bash
# Cross-builds the Windows dependencies (libjpeg-turbo as a static library
# with its SIMD code, Qt Core/Gui/Widgets/Test and their Windows plugins as
# DLLs) once into the cache, from Debian's source packages, and prints the
# cache prefix on standard output; everything else (progress, estimates,
# failures) goes to standard error, so a caller that takes the prefix still
# shows the rest as it comes. A finished cache is reused as it is: its key
# (versions.sh) covers what decides the built files.
#
# Usage: build-deps.sh [--print-prefix]
#   JOBS=n        parallel compile jobs (default: nproc)
#   NICE=n        niceness of the compilers (default: 0)
# Logs go to <cache>/<key>/logs/; the progress is printed as it goes. An
# interrupted run continues where it stopped when started again.
set -Eeuo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/versions.sh"
. "$here/recipe.sh"
exec 3>&1 1>&2 # fd 3: the prefix

# The versions the sources in the cache were resolved to, while the pins are
# the ones they were resolved from; else the pins.
src="$QW_CACHE_ROOT/src"
QW_USED_FOR="" QW_QT_USED="$QW_QT_DEBVER" QW_JPEG_USED="$QW_JPEG_DEBVER"
if [ -f "$src/used.sh" ]; then
  . "$src/used.sh"
  if [ "$QW_USED_FOR" != "$QW_QT_DEBVER $QW_JPEG_DEBVER" ]; then
    QW_QT_USED="$QW_QT_DEBVER" QW_JPEG_USED="$QW_JPEG_DEBVER"
  fi
fi
prefix="$QW_CACHE_ROOT/$(qw_key "$QW_QT_USED" "$QW_JPEG_USED")"

if [ "${1:-}" = --print-prefix ]; then echo "$prefix" >&3; exit 0; fi
if [ -f "$prefix/.complete" ]; then
  echo "windows deps: cached in $prefix"
  echo "$prefix" >&3
  exit 0
fi

JOBS="${JOBS:-$(nproc)}"
NICE="${NICE:-0}"
fail() { echo "windows deps: $*" >&2; exit 1; }
for tool in "$QW_TRIPLET-g++-posix" nasm ninja cmake dpkg-source; do
  command -v "$tool" >/dev/null || fail "$tool missing; run scripts/install-deps.sh windows"
done
[ -x /usr/lib/qt6/libexec/moc ] || fail "Debian's Qt host tools missing (qt6-base-dev-tools)"

bash "$here/fetch-sources.sh" "$src" || fail "the sources could not be fetched (see above)"
. "$src/used.sh"
key="$(qw_key "$QW_QT_USED" "$QW_JPEG_USED")"
prefix="$QW_CACHE_ROOT/$key"
if [ -f "$prefix/.complete" ]; then
  echo "windows deps: cached in $prefix"
  echo "$prefix" >&3
  exit 0
fi

work="$QW_CACHE_ROOT/work-$key"     # sources and build trees, removed at the end
logs="$prefix/logs"
mkdir -p "$work" "$logs"
toolchain="$here/toolchain-mingw64.cmake"
run() { nice -n "$NICE" "$@"; }
# Anything else that fails still says where it stopped.
trap 'echo "windows deps: failed (line $LINENO); logs in $logs" >&2' ERR
t_all=$SECONDS

echo "windows deps: building $QW_QT_PACKAGE $QW_QT_USED and $QW_JPEG_PACKAGE $QW_JPEG_USED into $prefix"
echo "windows deps: this takes about 50 minutes of CPU time once (about 23 minutes on"
echo "  two idle cores); later builds reuse the cache."

# Extracts a verified .dsc with Debian's patches applied, once.
extract() { # dsc dir
  if [ ! -f "$work/$2/.extracted" ]; then
    rm -rf "${work:?}/$2"
    dpkg-source --no-check -x "$src/$1" "$work/$2" >"$logs/extract-$2.log" 2>&1 \
      || fail "unpacking $1 failed, see $logs/extract-$2.log"
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

# Configures (unless an interrupted build left its tree), builds with the
# progress shown, installs; each failure names its log.
build() { # label source-dir build-dir log-name options...
  local label="$1" source="$2" tree="$3" log="$4"
  shift 4
  if [ ! -f "$tree/build.ninja" ]; then
    run cmake -S "$source" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$logs/$log-configure.log" 2>&1 \
      || fail "$label configure failed, see $logs/$log-configure.log"
  fi
  if ! run cmake --build "$tree" -j "$JOBS" 2>&1 | tee "$logs/$log-build.log" | progress "$label"; then
    fail "$label build failed, see $logs/$log-build.log"
  fi
  cmake --install "$tree" >"$logs/$log-install.log" 2>&1 \
    || fail "$label install failed, see $logs/$log-install.log"
}

if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  t=$SECONDS
  echo "windows deps: libjpeg-turbo (about 2 minutes)"
  extract "$(qw_dsc "$QW_JPEG_PACKAGE" "$QW_JPEG_USED")" libjpeg-turbo
  build libjpeg-turbo "$work/libjpeg-turbo" "$work/build-jpeg" jpeg "${QW_JPEG_OPTIONS[@]}"
  echo "windows deps: libjpeg-turbo done in $(( (SECONDS - t) / 60 )) min $(( (SECONDS - t) % 60 )) s"
fi

if [ ! -f "$prefix/bin/Qt6Widgets.dll" ]; then
  t=$SECONDS
  echo "windows deps: qtbase (about 50 minutes of CPU time)"
  extract "$(qw_dsc "$QW_QT_PACKAGE" "$QW_QT_USED")" qtbase
  build qtbase "$work/qtbase" "$work/build-qt" qt "${QW_QT_OPTIONS[@]}"
  echo "windows deps: qtbase done in $(( (SECONDS - t) / 60 )) min"
fi

rm -rf "$work"
echo "built $(date -u +%FT%TZ) in $(( (SECONDS - t_all) / 60 )) min, key $key" >"$prefix/.complete"
echo "windows deps: done in $(( (SECONDS - t_all) / 60 )) min"
echo "$prefix" >&3
