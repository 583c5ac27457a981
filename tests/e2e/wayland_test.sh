#!/usr/bin/env bash
# The program on Wayland: under a headless weston, in a session that says it is
# Wayland and has no X display, the main window is shown (mapped by the
# compositor and painted) and SIGTERM (log-off) ends the program with code 0.
source "$(dirname "$0")/lib.sh"
WESTON_PID=""
# The compositor goes first: the shared clean-up waits for every child.
trap '[ -n "$WESTON_PID" ] && kill "$WESTON_PID" 2>/dev/null; cleanup' EXIT

command -v weston >/dev/null || fail "weston is not installed (scripts/install-deps.sh)"

# A private runtime folder holds the compositor's socket.
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=quorvane-e2e
weston --backend=headless-backend.so --use-pixman --socket="$socket" --idle-time=0 \
  --width=1280 --height=800 >"$WORK/weston.log" 2>&1 &
WESTON_PID=$!
wait_for "the compositor's socket" test -S "$XDG_RUNTIME_DIR/$socket"

# As a Wayland session starts a program: no X display to fall back to. The
# client's protocol log shows what the compositor was asked to show; the
# program's own trace shows its paints.
(
  cd "$WORK"
  exec env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland \
    WAYLAND_DEBUG=client QUORVANE_PERF_TRACE="$WORK/trace" "$QUORVANE" >"$WORK/app.out" 2>"$WORK/app.err"
) &
APP_PID=$!

# Shown: a toplevel titled "Quorvane" that the compositor configured, with a
# buffer attached, and the window's controls painted.
wait_for "the window's paint" grep -q '^[0-9.]* painted Memo1$' "$WORK/trace"
wait_for "a buffer on screen" grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$WORK/app.err"
grep -q 'xdg_toplevel@[0-9]*\.set_title("Quorvane")' "$WORK/app.err" || fail "no toplevel titled Quorvane"
grep -q 'xdg_surface@[0-9]*\.configure(' "$WORK/app.err" || fail "the compositor never configured the window"
grep -q 'wl_display@1\.error' "$WORK/app.err" && fail "protocol error: $(grep -m1 'wl_display@1\.error' "$WORK/app.err")"

kill -TERM "$APP_PID"
EXIT_CODE=0
wait "$APP_PID" || EXIT_CODE=$?
APP_PID=""
[ "$EXIT_CODE" = 0 ] || fail "SIGTERM: exit code $EXIT_CODE"
# Nothing but the protocol log on standard error (no Qt warnings, no crash text).
if grep -v '^\[ *[0-9.]*\] ' "$WORK/app.err" | grep -v '^ *$' | grep -q .; then
  fail "unexpected output on standard error: $(grep -v '^\[ *[0-9.]*\] ' "$WORK/app.err" | head -3)"
fi

rm -rf "$WORK"
echo "1 passed, 0 failed"
