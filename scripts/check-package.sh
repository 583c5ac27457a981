#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and checks it from
# there: dependencies, files, the command-line tool, the menu entry and the
# metainfo, and that the installed program opens its window under Xvfb and
# closes again when the window manager asks it to.
# Usage: scripts/check-package.sh [build-folder]   (default build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
timeout=${CHECK_TIMEOUT:-120}  # generous: other builds may keep the machine busy

[ -n "${SKIP_DEPS:-}" ] || bash scripts/install-deps.sh

work=$(mktemp -d /tmp/quorvane-package.XXXXXX)
app_pid="" xvfb_pid="" wm_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# wait_for "what" command...: retries the command until it succeeds.
wait_for() {
  local what=$1 deadline=$((SECONDS + timeout))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || fail "timed out waiting for: $what"
    sleep 0.05
  done
}

echo "== building the package in $build"
# An existing Release build (the one `make test` made) is reused as it is.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF \
    ${CMAKE_ARGS:-} >"$work/configure.log" || { cat "$work/configure.log"; fail "configure"; }
fi
cmake --build "$build" -j "${JOBS:-$(nproc)}"
rm -f "$build"/quorvane_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$build"/quorvane_*.deb)
echo "package: $deb"

echo "== control fields"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo qt6-qpa-plugins; do
  grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed"
done
dpkg-deb -f "$deb" Recommends | grep -q fonts-noto-cjk || fail "Recommends lacks a CJK font"

echo "== unpacking into $work/root"
root=$work/root
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
grep -qx "Exec=quorvane" "$root/usr/share/applications/$id.desktop" || fail "Exec is not the installed program"
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" || fail "Icon is not the installed icon"

if [ -x "$root/usr/bin/quorvane-hex" ]; then
  echo "== quorvane-hex --version"
  "$root/usr/bin/quorvane-hex" --version || fail "quorvane-hex --version"
  man_page=$(ls "$root"/usr/share/man/man1/quorvane-hex.1* 2>/dev/null | head -n1 || true)
  [ -n "$man_page" ] || fail "quorvane-hex has no man page in the package"
  if command -v man >/dev/null; then
    man -l "$man_page" >/dev/null 2>"$work/man.err" || fail "man page does not render"
    [ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man page warnings"; }
  fi
else
  echo "== no quorvane-hex in this build: its checks are skipped"
fi

echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"

echo "== the installed program under Xvfb"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for "Xvfb" test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wait_for "window manager" bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"
(cd "$work" && exec "$root/usr/bin/quorvane" >"$work/app.out" 2>"$work/app.err") &
app_pid=$!
# --onlyvisible: the hidden application window carries the same name.
wait_for "a window titled Quorvane" xdotool search --onlyvisible --name '^Quorvane$'
window=$(xdotool search --onlyvisible --name '^Quorvane$' | head -n1)
xprop -len 1000000 -id "$window" _NET_WM_ICON >"$work/icon.txt"
for size in 16 32 48 256; do
  grep -q "Icon ($size x $size)" "$work/icon.txt" || fail "the window's icon lacks $size x $size"
done
echo "window $window is up, with its icon"
wmctrl -i -c "$window"
deadline=$((SECONDS + timeout))
while kill -0 "$app_pid" 2>/dev/null && ! ps -o stat= -p "$app_pid" | grep -q Z; do
  [ $SECONDS -lt $deadline ] || fail "the program did not end after its window was closed"
  sleep 0.05
done
code=0
wait "$app_pid" || code=$?
app_pid=""
[ "$code" -eq 0 ] || { cat "$work/app.err"; fail "the program ended with code $code"; }
echo "closed, exit code 0"
rm -rf "$work"  # kept on failure for a look
echo "PASS: $deb"
