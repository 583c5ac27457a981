#!/usr/bin/env bash
# What the user sees when things fail: a picture-to-hex run on a picture that
# is no JPEG names its error in the status bar (no box, the text kept, a later
# run works); a picture box whose picture draws nothing shows the panel's
# background, not the picture before; and the process keeps its own name.
source "$(dirname "$0")/lib.sh"
CORPUS=${QUORVANE_CORPUS:?}
TITLE=quorvane
start_display
# The status bar records each text it paints here: what the user reads.
export QUORVANE_PERF_TRACE="$WORK/trace"
start_app

# The process is found by its own name; the UI thread did not rename it.
[ "$(ps -o comm= -p "$APP_PID")" = quorvane ] || fail "ps shows: $(ps -o comm= -p "$APP_PID")"
pgrep -x quorvane | grep -qx "$APP_PID" || fail "pgrep -x quorvane does not find the program"

painted_status() { grep -qxF -- "painted status $1" <(cut -d' ' -f2- "$QUORVANE_PERF_TRACE"); }
no_other_window() { ! other_window >/dev/null; }

# Picture to hex on pictures that open and show but are no JPEG.
click_at $MEMO_POINT
xdotool key ctrl+a
xdotool type --delay 2 "kept"
failure="图片转换失败：Cannot assign a TPicture to a TJPEGImage"
for picture in "$CORPUS/png/pngsuite-basn2c08.png" "$CORPUS/bmp/bmpsuite-g-rgb24.bmp"; do
  : >"$QUORVANE_PERF_TRACE"
  open_file "$picture"
  press_button "$BUTTON_TO_HEX"
  wait_for "the failure in the status bar ($picture)" painted_status "$failure"
  no_other_window || fail "a box came up for $picture"
  [ "$(memo_text)" = kept ] || fail "the text box changed for $picture"
done
screenshot "$WORK/run-failed.png"

# A later run on a JPEG works.
picture="$CORPUS/jpeg/good/ljt-testorig.jpg"
open_file "$picture"
press_button "$BUTTON_TO_HEX"
wait_memo_text "$(upper_hex_of "$picture")"
wait_for "the final status" painted_status "图片转换完成"

# A box whose picture draws nothing shows the panel's background: the strip
# of window between the two panels is that colour.
IMAGE1_REGION=309x221+10+34
BACKGROUND=$(region_stats 5x200+322+300)
awk -v s="$BACKGROUND" 'BEGIN { split(s, a, " "); exit !(a[2] == 0) }' || fail "the window's background is not flat: $BACKGROUND"
shows_background() { [ "$(region_stats "$1")" = "$BACKGROUND" ]; }
shows_picture() { ! shows_background "$1"; }
for bad in "jdec-empty.jpg:JPEG error #42." "ljt-testorig-no-dqt.jpg:JPEG error #52."; do
  open_file "$picture"
  wait_for "the good picture in the preview" shows_picture "$IMAGE1_REGION"
  open_file "$CORPUS/jpeg/bad/${bad%%:*}"
  expect_box "$TITLE" "${bad#*:}"
  wait_for "the background in the preview after ${bad%%:*}" shows_background "$IMAGE1_REGION"
done
screenshot "$WORK/preview-bad.png"

# The restored-picture box: a picture, then hex to picture on an empty text box.
open_file "$picture"
press_button "$BUTTON_TO_HEX"
wait_memo_text "$(upper_hex_of "$picture")"
press_button "$BUTTON_TO_PICTURE"
wait_for "the restored picture" has_picture
click_at $MEMO_POINT
xdotool key ctrl+a Delete
press_button "$BUTTON_TO_PICTURE"
# An empty text is a JPEG picture without bytes: its first paint fails.
expect_box "$TITLE" "JPEG error #42."
wait_for "the background in the restored-picture box" shows_background "$IMAGE2_REGION"
screenshot "$WORK/restored-empty.png"

press_button "$BUTTON_EXIT"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "screenshots: $WORK/run-failed.png $WORK/preview-bad.png $WORK/restored-empty.png"
echo "1 passed, 0 failed"
