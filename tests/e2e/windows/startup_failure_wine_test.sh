#!/usr/bin/env bash
# A start-up failure under Wine, as a user who unpacked the zip without
# platforms\qwindows.dll meets it: the program's folder has its qt.conf but
# no window system plugin. A box names the missing plugin, standard error
# has the same reason in one line, and the program ends with exit code 1 once
# the box is closed.
source "$(dirname "$0")/wine_lib.sh"

start_display
app="$WORK/app"
mkdir -p "$app"
cp "$exe" "$app/quorvane.exe"
# As in the zip: plugins are looked for beside the program only.
printf '[Paths]\nPrefix = .\nPlugins = .\n' >"$app/qt.conf"
(cd "$WORK" && exec "$WINE_RUN" "$app/quorvane.exe" >"$WORK/app.out" 2>"$WORK/app.err") &
APP_PID=$!

# Qt itself may show a box of its own first, in English and without the
# plugin's name (captioned with the program's file name): closed as a user would.
box_shown() { visible_window Quorvane || visible_window quorvane; }
wait_for "a box" box_shown
if visible_window quorvane >/dev/null; then
  xdotool windowactivate --sync "$(visible_window quorvane)" >/dev/null 2>&1 || true
  xdotool key Return
fi
wait_for "the program's box" take_window visible_window Quorvane
box=$FOUND_WINDOW
screenshot "$WORK/box.png"
[ -n "${QUORVANE_SCREENSHOT:-}" ] && cp "$WORK/box.png" "${QUORVANE_SCREENSHOT%.png}-startup-failure.png"
# Closed as a user would; its words are checked on standard error below
# (Wine's clipboard, which box_text reads, is not always there to ask).
xdotool windowactivate --sync "$box" >/dev/null 2>&1 || true
xdotool key Return
wait_for "the box to close" window_gone "$box"
wait_app_exit
[ "$EXIT_CODE" = 1 ] || fail "exit code $EXIT_CODE"
grep -q 'cannot show the window: the window system plugin "windows" is missing' "$WORK/app.err" \
  || fail "standard error: $(cat "$WORK/app.err")"
echo "PASS: a missing window system plugin is named in a box and on standard error"
