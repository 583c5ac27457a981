# Shared helpers for the end-to-end tests of the Windows build under Wine:
# lib.sh's display, waits and clicks, with the program started through the
# build's Wine runner in a Wine prefix of its own.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
WINE_RUN=${QUORVANE_WINE_RUN:?path of wine-run.sh in the Windows build}
# The first program makes the test's Wine prefix and starts Wine's services
# (wineboot alone took 23 s here on a busy machine): the waits allow for that
# several times over, and end as soon as their condition holds.
E2E_TIMEOUT=$(( E2E_TIMEOUT < 300 ? 300 : E2E_TIMEOUT ))

# A Wine prefix of its own: Wine's desktop process starts with the first
# program of a prefix and takes that program's display, so sharing the build's
# prefix with the offscreen tests running beside this one could leave the
# window on no display at all.
export QUORVANE_WINEPREFIX="$WORK/wine"
trap 'WINEPREFIX="$QUORVANE_WINEPREFIX" wineserver -k 2>/dev/null; cleanup; rm -rf "$QUORVANE_WINEPREFIX"' EXIT

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

# Wine places the window by its own idea of the frame, not by the extents the
# window manager reports, so "centred to the pixel" cannot hold here: input
# waits instead until the window has stayed in one place for a second.
frame_centred() {
  local place
  place=$(xwininfo -id "$MAIN_WINDOW" | awk '/Absolute upper-left/ {printf "%s ", $NF}')
  if [ "$place" != "$(cat "$WORK/place" 2>/dev/null)" ]; then
    echo "$place" >"$WORK/place"
    date +%s%N >"$WORK/place-since"
    return 1
  fi
  [ $(($(date +%s%N) - $(cat "$WORK/place-since"))) -ge 1000000000 ]
}

# Once Wine's dialog has closed, Wine may leave the focus with a window of its
# own rather than the main window: a click on the large picture box (which does
# nothing there) activates it, as it would for a user, before the next command.
main_window_activated() {
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$MAIN_WINDOW" ] && return 0
  xdotool mousemove --window "$MAIN_WINDOW" 800 300 click 1
  sleep 0.2
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$MAIN_WINDOW" ]
}

# open_file's last step under Wine.
wait_focus_after_dialog() {
  wait_for "the main window active" main_window_activated
}
