#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and checks it from
# there: dependencies, files, the command-line tool, the menu entry and the
# metainfo, and that the installed program opens its window under Xvfb and
# closes again when the window manager asks it to.
# Usage: scripts/check-package.sh [build-folder]   (default build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

[ -n "${SKIP_DEPS:-}" ] || bash scripts/install-deps.sh

WORK=$(mktemp -d /tmp/quorvane-package.XXXXXX)
WAIT_TIMEOUT=${CHECK_TIMEOUT:-120}  # generous: other builds may keep the machine busy
# shellcheck source=lib/quorvane_window.sh
source scripts/lib/quorvane_window.sh
trap cleanup EXIT

echo "== building the package in $build"
# An existing Release build (the one `make test` made) is reused as it is.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF \
    ${CMAKE_ARGS:-} >"$WORK/configure.log" || { cat "$WORK/configure.log"; fail "configure"; }
fi
cmake --build "$build" -j "${JOBS:-$(nproc)}"
rm -f "$build"/quorvane_*.deb
(cd "$build" && cpack -G DEB >"$WORK/cpack.log") || { cat "$WORK/cpack.log"; fail "cpack"; }
deb=$(ls "$build"/quorvane_*.deb)
echo "package: $deb"

echo "== control fields"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo qt6-qpa-plugins; do
  grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed"
done
dpkg-deb -f "$deb" Recommends | grep -q fonts-noto-cjk || fail "Recommends lacks a CJK font"

echo "== unpacking into $WORK/root"
root=$WORK/root
dpkg -x "$deb" "$root"
id=org.quorvane.Quorvane
for file in usr/bin/quorvane usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/$id.svg; do
  [ -e "$root/$file" ] || fail "missing from the package: /$file"
done
for size in 16 32 48 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -e "$icon" ] || fail "missing icon: $icon"
  [ "$(identify -format %wx%h "$icon")" = "${size}x${size}" ] || fail "wrong size: $icon"
done
grep -qx "Exec=quorvane %f" "$root/usr/share/applications/$id.desktop" || fail "Exec is not the installed program with the file"
grep -qx "MimeType=image/jpeg;" "$root/usr/share/applications/$id.desktop" || fail "JPEG pictures are not declared"
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" || fail "Icon is not the installed icon"

if [ -x "$root/usr/bin/quorvane-hex" ]; then
  echo "== quorvane-hex --version"
  "$root/usr/bin/quorvane-hex" --version || fail "quorvane-hex --version"
  man_page=$(ls "$root"/usr/share/man/man1/quorvane-hex.1* 2>/dev/null | head -n1 || true)
  [ -n "$man_page" ] || fail "quorvane-hex has no man page in the package"
  if command -v man >/dev/null; then
    man -l "$man_page" >/dev/null 2>"$WORK/man.err" || fail "man page does not render"
    [ -s "$WORK/man.err" ] && { cat "$WORK/man.err"; fail "man page warnings"; }
  fi
else
  echo "== no quorvane-hex in this build: its checks are skipped"
fi

echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"

echo "== the installed program under Xvfb"
start_display
QUORVANE=$root/usr/bin/quorvane
launch_app
xprop -len 1000000 -id "$MAIN_WINDOW" _NET_WM_ICON >"$WORK/icon.txt"
for size in 16 32 48 256; do
  grep -q "Icon ($size x $size)" "$WORK/icon.txt" || fail "the window's icon lacks $size x $size"
done
echo "window $MAIN_WINDOW is up, with its icon"
wmctrl -i -c "$MAIN_WINDOW"
wait_app_exit
[ "$EXIT_CODE" -eq 0 ] || { cat "$WORK/app.err"; fail "the program ended with code $EXIT_CODE"; }
echo "closed, exit code 0"
rm -rf "$WORK"  # kept on failure for a look
echo "PASS: $deb"
