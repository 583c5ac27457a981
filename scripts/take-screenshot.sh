#!/usr/bin/env bash
# Takes docs/screenshot.png (README and software centres): the main window with
# its title bar, on a private Xvfb display with openbox.
# Usage: scripts/take-screenshot.sh [program] [output]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/bin/quorvane}
out=${2:-docs/screenshot.png}
work=$(mktemp -d /tmp/quorvane-shot.XXXXXX)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
wait_for() {
  local deadline=$((SECONDS + 30))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || { echo "timed out: $*" >&2; exit 1; }
    sleep 0.05
  done
}
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wait_for bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"
"$program" >/dev/null 2>&1 &
pids+=($!)
wait_for xdotool search --onlyvisible --name '^Quorvane$'
window=$(xdotool search --onlyvisible --name '^Quorvane$' | head -n1)
# The first paint has happened once the window's pixels are not all one colour.
wait_for bash -c "[ \$(import -window $window -format '%k' info:) -gt 1 ]"
import -frame -window "$window" "$out"
echo "screenshot: $out ($(identify -format %wx%h "$out"))"
