#!/usr/bin/env bash
# Every way of closing the window ends the program with exit code 0:
# the exit button, the title bar's close (a WM_DELETE_WINDOW from the window
# manager), Alt+F4, and SIGTERM (log-off).
source "$(dirname "$0")/lib.sh"
start_display

start_app
screenshot "$WORK/started.png"
# The exit button: the fourth toolbar button, right of the third separator.
click_at 340 14
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit button: exit code $EXIT_CODE"

start_app
wmctrl -i -c "$MAIN_WINDOW"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "close request: exit code $EXIT_CODE"

start_app
xdotool windowactivate --sync "$MAIN_WINDOW"
xdotool key alt+F4
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "Alt+F4: exit code $EXIT_CODE"

start_app
kill -TERM "$APP_PID"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "SIGTERM: exit code $EXIT_CODE"

echo "1 passed, 0 failed"
