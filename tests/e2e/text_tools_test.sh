#!/usr/bin/env bash
# The window's additions against the real binary: a picture named on the
# command line opens; an xxd dump pasted into the text box is tidied through
# its menu and restores the file's bytes; the restored picture is saved byte
# for byte through its own menu; the stop report after a text with a blank;
# the hex saved in two forms with Ctrl+S and read back; copy as a C array
# against xxd -i; saving over an existing name, and cancelling, lose nothing.
source "$(dirname "$0")/lib.sh"
CORPUS=${QUORVANE_CORPUS:?}
picture_dir="$CORPUS/jpeg/good"
picture="$picture_dir/ljt-testorig.jpg"
start_display

# Opened at start, as the desktop's "Open with" does.
start_app "$picture"
IMAGE1_REGION=311x223+9+33
has_preview() { awk -v s="$(region_stats "$IMAGE1_REGION")" 'BEGIN { split(s, a, " "); exit !(a[2] > 0.05) }'; }
wait_for "the picture named at start in the preview" has_preview

# The program's pop-up menus on screen: windows of its own straight on the
# root (the window manager frames the others), which xdotool's search skips.
popup_menus() {
  local id
  for id in $(xwininfo -root -children | awk '/"quorvane": \("quorvane"/ {print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && echo "$id"
  done
  return 0
}
popup_menu() { popup_menus | grep .; }
no_popup_menu() { ! popup_menu >/dev/null; }
# The text box's menu, by the keyboard: right click, then accelerators.
memo_menu() {
  # shellcheck disable=SC2086
  xdotool mousemove --window "$MAIN_WINDOW" $MEMO_POINT click 3
  wait_for "the text box's menu" take_window popup_menu
  xdotool key "$@"
}
paste_text() {
  xclip -selection clipboard <"$1" 2>/dev/null
  # shellcheck disable=SC2086
  click_at $MEMO_POINT
  xdotool key ctrl+a ctrl+v
}
expected=$(upper_hex_of "$picture")
status_has_text() {
  awk -v s="$(region_stats 900x15+2+584)" 'BEGIN { split(s, a, " "); exit !(a[2] > 0.01) }'
}

# An xxd dump, tidied into the strict run.
xxd "$picture" >"$WORK/dump.txt"
paste_text "$WORK/dump.txt"
memo_menu n
wait_memo_text "$expected"
wait_for "the status bar's report" status_has_text
screenshot "$WORK/tidied.png"

# Hex to picture, then the restored picture saved through its menu.
press_button "$BUTTON_TO_PICTURE"
wait_for "the restored picture" has_picture
xdotool mousemove --window "$MAIN_WINDOW" 600 300 click 3
wait_for "the picture's menu" take_window popup_menu
screenshot "$WORK/picture-menu.png"
xdotool key s
save_as() { type_into_dialog "save dialog" "$1"; }
save_as "$WORK/restored.jpg"
wait_for "the saved picture" test -s "$WORK/restored.jpg"
cmp "$picture" "$WORK/restored.jpg" || fail "the saved picture differs from the original JPEG"

# Copy as a C array: the same text as xxd -i run where the picture is.
printf '' | xclip -selection clipboard 2>/dev/null
memo_menu f
two_menus() { [ "$(popup_menus | wc -l)" -ge 2 ]; }
wait_for "the forms' submenu" two_menus
screenshot "$WORK/copy-as-menu.png"
xdotool key c
(cd "$picture_dir" && xxd -i ljt-testorig.jpg) >"$WORK/xxd-i.h"
clipboard_is_array() { xclip -o -selection clipboard 2>/dev/null | cmp -s - "$WORK/xxd-i.h"; }
wait_for "the C array on the clipboard" clipboard_is_array

# Ctrl+S saves the hex text: first as the strict run (the first file type),
# then as base64 chosen in the type list; both read back to the same hex.
# shellcheck disable=SC2086
click_at $MEMO_POINT
xdotool key ctrl+s
save_as "$WORK/saved.txt"
wait_for "the saved text" test -s "$WORK/saved.txt"
[ "$(cat "$WORK/saved.txt")" = "$expected" ] || fail "the saved strict run differs"
# The type list follows the name box in the dialog's tab order; "B" picks Base64.
xdotool key ctrl+s
wait_for "the save dialog" take_window other_window
dialog=$FOUND_WINDOW
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
xdotool key Tab B shift+Tab ctrl+a
xdotool type --delay 2 "$WORK/saved"
screenshot "$WORK/save-dialog.png"
xdotool key Return
wait_for "the save dialog to close" window_gone "$dialog"
wait_focus_after_dialog "$dialog"
wait_for "the saved base64" test -s "$WORK/saved.b64"
[ "$(tr -d '\n' <"$WORK/saved.b64")" = "$(base64 -w0 "$picture")" ] || fail "the saved base64 differs"
# Read back: opened through the menu, tidied, the same hex.
memo_menu o
open_text() {
  wait_for "the open dialog" take_window other_window
  local open_dialog=$FOUND_WINDOW
  xdotool windowactivate --sync "$open_dialog" >/dev/null 2>&1 || true
  xdotool key ctrl+a
  xdotool type --delay 2 "$1"
  xdotool key Return
  wait_for "the open dialog to close" window_gone "$open_dialog"
  wait_focus_after_dialog "$open_dialog"
}
open_text "$WORK/saved.b64"
wait_memo_text "$(cat "$WORK/saved.b64")"
memo_menu n
wait_memo_text "$expected"

# A name that exists: the dialog asks, "No" keeps the file, cancel writes nothing.
before=$(sha256sum "$WORK/saved.txt")
xdotool key ctrl+s
wait_for "the save dialog" take_window other_window
dialog=$FOUND_WINDOW
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
xdotool key ctrl+a
xdotool type --delay 2 "$WORK/saved.txt"
xdotool key Return
replace_question() { other=$(xdotool search --onlyvisible --name '.' 2>/dev/null | grep -vx "$MAIN_WINDOW" | grep -vx "$dialog" | head -1) && [ -n "$other" ]; }
wait_for "the question before replacing" replace_question
screenshot "$WORK/replace-question.png"
xdotool key Escape   # No
wait_for "the question to close" window_gone "$other"
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
xdotool key Escape   # the dialog itself: cancelled
wait_for "the save dialog to close" window_gone "$dialog"
[ "$(sha256sum "$WORK/saved.txt")" = "$before" ] || fail "the existing file changed"
[ -z "$(find "$WORK" -name '.*.tmp')" ] || fail "a temporary file was left behind"

# The text box's menu, once more, for the report's screenshot.
# shellcheck disable=SC2086
xdotool mousemove --window "$MAIN_WINDOW" $MEMO_POINT click 3
wait_for "the text box's menu" take_window popup_menu
screenshot "$WORK/text-menu.png"
xdotool key Escape
wait_for "the menu to close" no_popup_menu

# The stop report: a blank inside the hex; the picture still loads, cut short.
{ head -c 8000 <<<"$expected"; printf ' '; tail -c +8001 <<<"$expected"; } | tr -d '\n' >"$WORK/blank.txt"
paste_text "$WORK/blank.txt"
printf '' | xclip -selection clipboard 2>/dev/null
press_button "$BUTTON_TO_PICTURE"
wait_for "the stop report" status_has_text
screenshot "$WORK/stop-report.png"

press_button "$BUTTON_EXIT"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "screenshots: $WORK/tidied.png $WORK/text-menu.png $WORK/copy-as-menu.png $WORK/picture-menu.png $WORK/stop-report.png"
echo "1 passed, 0 failed"
