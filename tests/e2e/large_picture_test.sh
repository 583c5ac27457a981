#!/usr/bin/env bash
# A 10 MB JPEG through both commands; the window keeps answering while the
# worker runs, and exit or SIGTERM during a run waits for it and ends with
# code 0.
source "$(dirname "$0")/lib.sh"
start_display

# Noise compresses badly: about 10 MB at quality 100.
picture="$WORK/noise.jpg"
{ printf 'P6\n3000 2000\n255\n'; head -c $((3000 * 2000 * 3)) /dev/urandom; } >"$WORK/noise.ppm"
cjpeg -quality 100 "$WORK/noise.ppm" >"$picture"
size=$(stat -c %s "$picture")
echo "picture: $size bytes"

start_app
open_file "$picture"
press_button "$BUTTON_TO_HEX"
# The window answers during the run: the open dialog comes up and goes away.
press_button "$BUTTON_OPEN"
wait_for "the open dialog during the run" take_window other_window
dialog=$FOUND_WINDOW
xdotool key Escape
wait_for "the dialog to close" window_gone "$dialog"

deadline=$((SECONDS + E2E_TIMEOUT))
until [ "$(memo_text | wc -c)" = $((2 * size)) ]; do
  [ $SECONDS -lt $deadline ] || fail "the text box never held $((2 * size)) characters"
  sleep 0.2
done
[ "$(memo_text | md5sum)" = "$(upper_hex_of "$picture" | md5sum)" ] || fail "wrong text"

press_button "$BUTTON_TO_PICTURE"
wait_for "the restored picture" has_picture
screenshot "$WORK/large.png"

# Exit right after starting another run.
press_button "$BUTTON_TO_HEX"
press_button "$BUTTON_EXIT"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit during a run: exit code $EXIT_CODE"

# Log-off (SIGTERM) right after starting a run: the program ends in order,
# with exit code 0, and leaves no process behind.
start_app
open_file "$picture"
press_button "$BUTTON_TO_HEX"
pid=$APP_PID
kill -TERM "$APP_PID"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "SIGTERM during a run: exit code $EXIT_CODE"
! kill -0 "$pid" 2>/dev/null || fail "the program's process is still there"
! pgrep -xf "$QUORVANE" >/dev/null || fail "a quorvane process is left: $(pgrep -af "$QUORVANE")"

echo "screenshot: $WORK/large.png"
echo "1 passed, 0 failed"
