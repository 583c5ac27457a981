#!/usr/bin/env bash
# The four commands against the real binary: errors first, then a picture
# through both conversions, read back through the clipboard.
source "$(dirname "$0")/lib.sh"
CORPUS=${QUORVANE_CORPUS:?}
start_display
start_app
TITLE=quorvane   # the error boxes' caption, from the program's file name

# Hex to picture right after start: the text is CR LF, no JPEG start.
press_button "$BUTTON_TO_PICTURE"
expect_box "$TITLE" "JPEG error #53."

# Picture to hex with nothing opened: the warning, nothing else changes.
press_button "$BUTTON_TO_HEX"
expect_box "提示" "请选择图片！"
[ "$(memo_text | od -An -c | tr -d ' \n')" = '\r\n' ] || fail "the text box changed"

# Opening failures: no extension, a missing file, a PNG named .jpg.
open_file "$WORK/noextension"
expect_box "$TITLE" "Unknown picture file extension (.)"
open_file "$WORK/missing.jpg"
expect_box "$TITLE" "Cannot open file \"$WORK/missing.jpg\". No such file or directory"
open_file "$CORPUS/jpeg/bad/pngsuite-png-named-jpg.jpg"
expect_box "$TITLE" "JPEG error #53."

# A real picture through both commands.
picture="$CORPUS/jpeg/good/ljt-testorig.jpg"
open_file "$picture"
press_button "$BUTTON_TO_HEX"
expected=$(upper_hex_of "$picture")
wait_memo_text "$expected"
screenshot "$WORK/converted.png"
status=$(region_stats 900x15+2+584)
awk -v s="$status" 'BEGIN { split(s, a, " "); exit !(a[2] > 0.01) }' || fail "the status bar shows no text"

press_button "$BUTTON_TO_PICTURE"
wait_for "the restored picture" has_picture
restored=$(region_stats "$IMAGE2_REGION")
screenshot "$WORK/restored.png"

# Lower-case text restores pictures too: first another picture's, then the
# first one's again, which must look exactly as before.
paste_lower_hex_of() {
  od -An -v -tx1 "$1" | tr -d ' \n' | xclip -selection clipboard 2>/dev/null
  # shellcheck disable=SC2086
  click_at $MEMO_POINT
  xdotool key ctrl+a ctrl+v
  press_button "$BUTTON_TO_PICTURE"
}
paste_lower_hex_of "$CORPUS/jpeg/good/ljt-testimggray.jpg"
differs() { [ "$(region_stats "$IMAGE2_REGION")" != "$restored" ]; }
wait_for "the grey picture" differs
paste_lower_hex_of "$picture"
same() { [ "$(region_stats "$IMAGE2_REGION")" = "$restored" ]; }
wait_for "the first picture again" same

press_button "$BUTTON_EXIT"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "screenshots: $WORK/converted.png $WORK/restored.png"
echo "1 passed, 0 failed"
