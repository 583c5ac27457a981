#!/usr/bin/env bash
# Starts the program. Without a display it runs a demo under Xvfb instead:
# opens a picture we render ourselves, converts it to hex and back, and saves
# a screenshot and the hex text.
set -euo pipefail
build=${1:-build}
exe="$(cd "$build" && pwd)/bin/quorvane"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe"
fi

out="$(cd "$build" && pwd)/demo"
mkdir -p "$out"
echo "No display: running the demo under Xvfb."
QUORVANE="$exe"
WORK=$(mktemp -d /tmp/quorvane-demo.XXXXXX)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/quorvane_window.sh
source "$here/lib/quorvane_window.sh"
trap 'cleanup; rm -rf "$WORK"' EXIT
bash "$here/make-sample.sh" "$out/sample.jpg"
start_display
start_app
open_file "$out/sample.jpg"
press_button "$BUTTON_TO_HEX"
expected=$(upper_hex_of "$out/sample.jpg")
wait_memo_text "$expected"
memo_text >"$out/sample.hex"
press_button "$BUTTON_TO_PICTURE"
wait_for "the restored picture" has_picture
# Put the caret back at the start so the first lines of hex show.
# shellcheck disable=SC2086
click_at $MEMO_POINT
xdotool key ctrl+Home
screenshot "$out/screenshot.png"
press_button "$BUTTON_EXIT"
wait_app_exit
echo "Picture:    $out/sample.jpg"
echo "Hex text:   $out/sample.hex ($(stat -c %s "$out/sample.hex") characters)"
echo "Screenshot: $out/screenshot.png"
