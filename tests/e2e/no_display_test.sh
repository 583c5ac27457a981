#!/usr/bin/env bash
# Started where no window can be shown, the program says so in one line on
# standard error and exits with code 1 (not Qt's abort): with no display at
# all, with a display that does not answer, and without the window system's
# plugin.
source "$(dirname "$0")/lib.sh"

# A display number nobody serves.
n=4000
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done

check() {
  local name=$1 expected=$2
  shift 2
  local code=0
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY "$@" "$QUORVANE" >"$WORK/out" 2>"$WORK/err" || code=$?
  [ "$code" = 1 ] || fail "$name: exit code $code ($(head -c 300 "$WORK/err"))"
  [ ! -s "$WORK/out" ] || fail "$name: wrote to standard output: $(head -c 300 "$WORK/out")"
  [ "$(wc -l <"$WORK/err")" = 1 ] || fail "$name: not one line on standard error: $(cat "$WORK/err")"
  grep -qF -- "$expected" "$WORK/err" || fail "$name: $(cat "$WORK/err") (expected: $expected)"
  echo "$name: $(cat "$WORK/err")"
}

check "no display" "cannot show the window: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"
check "a display nobody serves" "cannot show the window: cannot connect to the display \":$n\"" DISPLAY=":$n"
check "a Wayland display nobody serves" "cannot show the window: cannot connect to the Wayland display" \
  WAYLAND_DISPLAY=quorvane-none XDG_SESSION_TYPE=wayland XDG_RUNTIME_DIR="$WORK"
# A window system whose plugin is not there is named as missing, not taken
# for a display problem.
check "a missing window system plugin" \
  "cannot show the window: the window system plugin \"nosuch\" is missing" QT_QPA_PLATFORM=nosuch
echo "1 passed, 0 failed"
