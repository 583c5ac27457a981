#!/usr/bin/env bash
# Log-off under Wine: the session's end (WM_QUERYENDSESSION, then WM_ENDSESSION,
# sent by `wineboot --end-session`, which closes no window itself) ends the
# program in order with exit code 0. In order means its halt runs to the end
# (the trace's "halted"): once every window has answered WM_ENDSESSION the
# system ends the process, so a program that only quits its event loop there,
# as Qt's own windows do, is cut off half-way; the session window holds the
# session until the program has halted. Twice: idle with a picture shown, and
# with the user-interface thread busy turning a large text back into a picture.
source "$(dirname "$0")/wine_lib.sh"
CORPUS=${QUORVANE_CORPUS:?}

export QUORVANE_PERF_TRACE="$WORK/trace.txt"
# The trace is a Windows text file: CR LF line ends.
trace() { tr -d '\r' <"$QUORVANE_PERF_TRACE"; }
traced() { trace | grep -q "^[0-9.]* $1\$"; }
line_of() { trace | grep -n "^[0-9.]* $1\$" | head -n 1 | cut -d: -f1; }
end_session_and_check() { # what
  WINEPREFIX="$QUORVANE_WINEPREFIX" wineboot --end-session &
  local wineboot=$!
  wait_app_exit
  wait "$wineboot" || true
  [ "$EXIT_CODE" = 0 ] || fail "$1: exit code $EXIT_CODE"
  traced halted || fail "$1: the halt did not run to its end: $(trace | tail -n 3)"
}

start_display
start_app
open_file "Z:$(tr / '\\' <<<"$CORPUS/jpeg/good/ljt-testorig.jpg")"
end_session_and_check "idle"

# A progressive picture of noise: every coefficient must be decoded even for
# the reduced view, which keeps the user-interface thread busy for a while.
convert -seed 1 -size 3000x3000 xc: +noise Random -depth 8 ppm:- \
  | cjpeg -progressive -quality 90 >"$WORK/busy.jpg"
start_app
open_file "Z:$(tr / '\\' <<<"$WORK/busy.jpg")"
press_button "$BUTTON_TO_HEX"
wait_for "the picture's text" traced "to-hex text set"
press_button "$BUTTON_TO_PICTURE"
wait_for "hex to picture to start" traced "click to-picture"
end_session_and_check "busy"
[ "$(line_of "to-picture assigned")" -lt "$(line_of halted)" ] \
  || fail "busy: hex to picture did not finish before the halt"
echo "PASS: the session's end under Wine halts the program in order with exit code 0, idle and busy"
