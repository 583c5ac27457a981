# A private X session for scripts and end-to-end tests: an Xvfb display of its
# own (1280 x 800, 24 bits, no TCP), a small window manager (openbox), and
# waits on conditions with a time limit, never fixed sleeps. Sourced, not run;
# the caller sets WORK, a scratch folder for the logs.
#   start_xvfb         the display alone; exports DISPLAY
#   start_display      the display with the window manager, ready to manage
#   stop_display       ends both (the caller's EXIT trap should reach it)
#   wait_for WHAT CMD  retries CMD until it succeeds; fails naming WHAT when
#                      wait_seconds pass first
#   until_ok SECS CMD  the same, returning 1 instead of failing

XVFB_PID=""
WM_PID=""

# FAIL on standard error and exit 1; a caller may redefine it (to take a
# screenshot first, say).
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Seconds a wait_for may take, read at each wait. Generous: a machine busy with
# other builds can be many times slower. A caller with a knob of its own
# redefines this.
wait_seconds() {
  echo "${WAIT_TIMEOUT:-120}"
}

until_ok() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
}

wait_for() {
  local what=$1
  shift
  until_ok "$(wait_seconds)" "$@" || fail "timed out waiting for: $what"
}

start_xvfb() {
  # -displayfd picks a free display number and tells us which. A server whose
  # display does not answer within 30 s is replaced by a fresh one.
  local fdfile="$WORK/display" attempt
  for attempt in 1 2 3 4 5; do
    rm -f "$fdfile"
    # -noreset: an X server resets when its last client leaves, and a client
    # connecting meanwhile is refused; between the check below and the window
    # manager's start there is no client (openbox failed to open the display in
    # about one start in twenty on a busy machine).
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    wait_for "Xvfb" test -s "$fdfile"
    export DISPLAY=":$(head -n1 "$fdfile")"
    if until_ok 30 xprop -root && kill -0 "$XVFB_PID" 2>/dev/null; then break; fi
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
    [ "$attempt" -lt 5 ] || fail "Xvfb did not get a display of its own ($(cat "$WORK/xvfb.log"))"
  done
  # The programs started here use this display, whatever the caller had.
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
}

start_display() {
  start_xvfb
  openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
  WM_PID=$!
  wait_for "window manager" bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"
}

stop_display() {
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  WM_PID="" XVFB_PID=""
}

# The whole screen as a picture.
screenshot() {
  import -window root "$1"
}
