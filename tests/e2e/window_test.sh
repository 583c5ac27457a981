#!/usr/bin/env bash
# The main window as the window manager sees it: a normal top-level window (a
# taskbar button on every desktop), not transient for another window, of fixed
# size without maximise, centred on the screen with its frame included.
source "$(dirname "$0")/lib.sh"
start_display
start_app

props=$(xprop -id "$MAIN_WINDOW")
echo "$props" | grep -E '^(_NET_WM_WINDOW_TYPE|WM_TRANSIENT_FOR|_NET_WM_ALLOWED_ACTIONS)' || true

# The window type is NORMAL, or absent (which means NORMAL).
type_line=$(grep '^_NET_WM_WINDOW_TYPE(ATOM)' <<<"$props" || true)
if [ -n "$type_line" ]; then
  first_type=$(sed 's/.*= *//; s/,.*//' <<<"$type_line")
  [ "$first_type" = _NET_WM_WINDOW_TYPE_NORMAL ] || fail "window type: $type_line"
fi
grep -q '^WM_TRANSIENT_FOR(WINDOW)' <<<"$props" && fail "transient for another window: $(grep '^WM_TRANSIENT_FOR' <<<"$props")"

# Fixed size: the size hints pin it, and the window manager offers neither
# resizing nor maximising.
grep -q 'program specified minimum size: 924 by 601' <<<"$props" || fail "no minimum size hint of 924 by 601"
grep -q 'program specified maximum size: 924 by 601' <<<"$props" || fail "no maximum size hint of 924 by 601"
actions=$(grep '^_NET_WM_ALLOWED_ACTIONS' <<<"$props" || true)
for action in _NET_WM_ACTION_RESIZE _NET_WM_ACTION_MAXIMIZE_HORZ _NET_WM_ACTION_MAXIMIZE_VERT; do
  grep -q "$action" <<<"$actions" && fail "the window manager allows $action"
done
grep -q _NET_WM_ACTION_CLOSE <<<"$actions" || fail "the window manager offers no close: $actions"

# Centred on its outer size (start_app waited for the program's final
# placement; this names what is wrong when it is not there).
if ! (E2E_TIMEOUT=10 wait_for "the frame centred" frame_centred) 2>/dev/null; then
  fail "not centred with its frame: $(xprop -id "$MAIN_WINDOW" _NET_FRAME_EXTENTS); $(xwininfo -id "$MAIN_WINDOW" | grep -E 'Absolute|Width|Height' | tr -s ' \n' ' ')"
fi

# Still closes normally.
click_at 340 14
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit button: exit code $EXIT_CODE"
echo "1 passed, 0 failed"
