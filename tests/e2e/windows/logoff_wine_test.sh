#!/usr/bin/env bash
# Log-off under Wine: the session's end (WM_QUERYENDSESSION, then WM_ENDSESSION,
# sent by `wineboot --end-session`, which closes no window and kills nothing)
# ends the program, in order, with exit code 0, while a picture is shown.
source "$(dirname "$0")/wine_lib.sh"
CORPUS=${QUORVANE_CORPUS:?}

start_display
start_app
open_file "Z:$(tr / '\\' <<<"$CORPUS/jpeg/good/ljt-testorig.jpg")"
WINEPREFIX="$QUORVANE_WINEPREFIX" wineboot --end-session
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
echo "PASS: the session's end under Wine ends the program with exit code 0"
