# Shared helpers for the end-to-end tests: a private Xvfb display with a small
# window manager, the real binary, and waits on conditions (never fixed sleeps).
set -euo pipefail

E2E_TIMEOUT=${E2E_TIMEOUT:-30}
QUORVANE=${QUORVANE:?path of the quorvane binary}
WORK=$(mktemp -d /tmp/quorvane-e2e.XXXXXX)
APP_PID=""
XVFB_PID=""
WM_PID=""

fail() {
  echo "FAIL: $*" >&2
  screenshot "$WORK/failure.png" || true
  echo "screenshot of the failure: $WORK/failure.png" >&2
  exit 1
}

cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

# wait_for "description" command...: retries the command until it succeeds.
wait_for() {
  local what=$1
  shift
  local deadline=$((SECONDS + E2E_TIMEOUT))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || fail "timed out waiting for: $what"
    sleep 0.05
  done
}

start_display() {
  # -displayfd picks a free display number and tells us which.
  local fdfile="$WORK/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" 2>"$WORK/xvfb.log" &
  XVFB_PID=$!
  wait_for "Xvfb" test -s "$fdfile"
  export DISPLAY=":$(head -n1 "$fdfile")"
  openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
  WM_PID=$!
  wait_for "window manager" bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"
}

start_app() {
  (cd "$WORK" && exec "$QUORVANE" >"$WORK/app.out" 2>"$WORK/app.err") &
  APP_PID=$!
  # --onlyvisible: the hidden application window carries a similar name.
  wait_for "the main window" xdotool search --onlyvisible --name '^Quorvane$'
  MAIN_WINDOW=$(xdotool search --onlyvisible --name '^Quorvane$' | head -n1)
}

# Waits for the program to end; its exit code goes to EXIT_CODE.
wait_app_exit() {
  local deadline=$((SECONDS + E2E_TIMEOUT))
  while kill -0 "$APP_PID" 2>/dev/null && ! grep -q . <(ps -o stat= -p "$APP_PID" | grep Z); do
    [ $SECONDS -lt $deadline ] || fail "the program did not end"
    sleep 0.05
  done
  EXIT_CODE=0
  wait "$APP_PID" || EXIT_CODE=$?
  APP_PID=""
}

screenshot() {
  import -window root "$1"
}

# Clicks at window-relative client coordinates of the main window.
click_at() {
  xdotool mousemove --window "$MAIN_WINDOW" "$1" "$2" click 1
}
