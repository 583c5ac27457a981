#!/usr/bin/env bash
# The Windows build's quorvane.exe under Wine on Xvfb: a window of fixed
# size, a corpus JPEG opened by typing its path into the system's open dialog,
# picture to hex (the text is the file's bytes in upper-case hex), hex to
# picture, a screenshot that shows the picture, and exit code 0 after the exit
# command.
source "$(dirname "$0")/wine_lib.sh"
CORPUS=${QUORVANE_CORPUS:?}

start_display
start_app

# A fixed frame, as on Linux: the size hints pin the window to its size and the
# window manager offers no resizing (a dragged frame would clip the status bar).
props=$(xprop -id "$MAIN_WINDOW")
size=$(xwininfo -id "$MAIN_WINDOW" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w " by " h}')
for bound in minimum maximum; do
  grep -q "program specified $bound size: $size" <<<"$props" \
    || fail "no $bound size hint of $size: $(grep -i 'size' <<<"$props" | tr '\n' ' ')"
done
grep '^_NET_WM_ALLOWED_ACTIONS' <<<"$props" | grep -q _NET_WM_ACTION_RESIZE \
  && fail "the window manager allows resizing"

picture="$CORPUS/jpeg/good/ljt-testorig.jpg"
# Wine shows the machine's root as drive Z:.
open_file "Z:$(tr / '\\' <<<"$picture")"
press_button "$BUTTON_TO_HEX"
wait_memo_text "$(upper_hex_of "$picture")"

press_button "$BUTTON_TO_PICTURE"
wait_for "the restored picture" has_picture
screenshot "$WORK/restored.png"
[ -n "${QUORVANE_SCREENSHOT:-}" ] && cp "$WORK/restored.png" "$QUORVANE_SCREENSHOT"

press_button "$BUTTON_EXIT"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "PASS: round trip under Wine; screenshot $WORK/restored.png"
