#!/usr/bin/env bash
# The Windows build's quorvane.exe under Wine on Xvfb: a corpus JPEG opened by
# typing its path into the system's open dialog, picture to hex (the text is
# the file's bytes in upper-case hex), hex to picture, a screenshot that shows
# the picture, and exit code 0 after the exit command.
source "$(dirname "$0")/../lib.sh"
CORPUS=${QUORVANE_CORPUS:?}
WINE_RUN=${QUORVANE_WINE_RUN:?path of wine-run.sh in the Windows build}
# Wine starts its own services with the first program: allow for that.
E2E_TIMEOUT=$(( E2E_TIMEOUT < 90 ? 90 : E2E_TIMEOUT ))

# lib.sh starts $QUORVANE itself; here that is the program under Wine.
exe=$QUORVANE
QUORVANE="$WORK/quorvane-under-wine"
printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$WINE_RUN" "$exe" >"$QUORVANE"
chmod +x "$QUORVANE"

# Wine's open dialog has no title: any other visible window of the program.
other_window() {
  local id
  for id in $(xdotool search --onlyvisible --classname 'quorvane' 2>/dev/null); do
    [ "$id" != "$MAIN_WINDOW" ] && { echo "$id"; return 0; }
  done
  return 1
}

start_display
start_app

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
