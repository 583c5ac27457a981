# Driving the program's main window on a private X session (x_session.sh):
# start it, press its buttons, open a file through its dialog, read its text
# box back through the clipboard, look at its picture box. Sourced, not run;
# the caller sets QUORVANE (the program) and WORK (a scratch folder).
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"

APP_PID=""
MAIN_WINDOW=""

# Ends the program, the window manager and Xvfb started here.
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  stop_display
  wait 2>/dev/null || true
}

# Starts $QUORVANE with the arguments in WORK and waits for its main window
# (MAIN_WINDOW) to show.
launch_app() {
  # It runs in WORK: a relative path is taken from here.
  local program=$QUORVANE
  [[ $program == */* && $program != /* ]] && program=$PWD/$program
  (cd "$WORK" && exec "$program" "$@" >"$WORK/app.out" 2>"$WORK/app.err") &
  APP_PID=$!
  # --onlyvisible: the hidden application window carries a similar name.
  wait_for "the main window" take_window xdotool search --onlyvisible --name '^Quorvane$'
  MAIN_WINDOW=${FOUND_WINDOW%%$'\n'*}
}

# launch_app, then waits until the window takes input.
start_app() {
  launch_app "$@"
  # Input only once the window is where it stays and has the focus: the program
  # places it again when the window manager has framed it, and a click sent
  # while that is still under way may be lost.
  wait_for "the main window centred with its frame" frame_centred
  wait_for "the main window active" bash -c "[ \"\$(xdotool getactivewindow 2>/dev/null)\" = '$MAIN_WINDOW' ]"
}
# The main window's frame (the extents the window manager reports around the
# client area) is centred on the 1280 x 800 screen, to the pixel (halves round
# down).
frame_centred() {
  local extents x y w h left right top bottom
  extents=$(xprop -id "$MAIN_WINDOW" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$extents" ] || return 1
  IFS=, read -r left right top bottom <<<"$extents"
  read -r x y w h < <(xwininfo -id "$MAIN_WINDOW" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF}
         END {print x, y, w, h}')
  local outer_w=$((w + left + right)) outer_h=$((h + top + bottom))
  [ $((x - left)) -eq $(((1280 - outer_w) / 2)) ] && [ $((y - top)) -eq $(((800 - outer_h) / 2)) ]
}

# Waits for the program to end; its exit code goes to EXIT_CODE.
wait_app_exit() {
  local deadline=$((SECONDS + $(wait_seconds)))
  while kill -0 "$APP_PID" 2>/dev/null && ! grep -q . <(ps -o stat= -p "$APP_PID" | grep Z); do
    [ $SECONDS -lt $deadline ] || { record_stacks; fail "the program did not end (its threads: $WORK/stacks.txt)"; }
    sleep 0.05
  done
  EXIT_CODE=0
  wait "$APP_PID" || EXIT_CODE=$?
  APP_PID=""
}

# Where each of the program's threads is, for a failure: still waiting for
# input in its event loop, or stuck on its way out.
record_stacks() {
  if command -v gdb >/dev/null; then
    timeout 120 gdb -p "$APP_PID" -batch -ex 'thread apply all bt' >"$WORK/stacks.txt" 2>&1 || true
  else
    echo "no gdb to read the threads' stacks" >"$WORK/stacks.txt"
  fi
  grep -E '^(Thread|#[0-4] )' "$WORK/stacks.txt" | head -n 60 >&2 || true
}

# Clicks at window-relative client coordinates of the main window.
click_at() {
  xdotool mousemove --window "$MAIN_WINDOW" "$1" "$2" click 1
}

# The toolbar buttons' centres (client coordinates of the main window).
BUTTON_OPEN="40 14"
BUTTON_TO_HEX="130 14"
BUTTON_TO_PICTURE="240 14"
BUTTON_EXIT="330 14"
MEMO_POINT="100 400"

press_button() {
  # shellcheck disable=SC2086
  click_at $1
}

# A search walks the whole window tree, and xdotool gives up on the walk (an X
# error, with nothing or only part of the list printed) when any window goes
# away meanwhile: a search that finds nothing proves nothing. So a wait keeps
# the id of the window it found, and a window's leaving is asked of the window.

# take_window COMMAND...: the window ids COMMAND prints go to FOUND_WINDOW;
# fails when it prints none.
take_window() { FOUND_WINDOW=$("$@" 2>/dev/null) && [ -n "$FOUND_WINDOW" ]; }

# The window $1 has left the screen: unmapped or destroyed. A query that fails
# for another reason says neither.
window_gone() {
  local info
  if info=$(xwininfo -id "$1" 2>&1); then
    ! grep -q 'Map State: IsViewable' <<<"$info"
  else
    grep -q 'No such window' <<<"$info"
  fi
}

# A visible top-level window named exactly $1 (case-sensitive); prints its id.
visible_window() {
  local id
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    [ "$(xdotool getwindowname "$id")" = "$1" ] && { echo "$id"; return 0; }
  done
  return 1
}

# A visible window other than the main one (a box or a dialog); prints its id.
other_window() {
  local id
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [ "$id" != "$MAIN_WINDOW" ] && [ -n "$(xdotool getwindowname "$id")" ] && { echo "$id"; return 0; }
  done
  return 1
}

# The text of the message box $1, through its Ctrl+C copy.
box_text() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  printf '' | xclip -selection clipboard 2>/dev/null
  xdotool key ctrl+c
  wait_for "the box text on the clipboard" bash -c "xclip -o -selection clipboard 2>/dev/null | grep -q ."
  xclip -o -selection clipboard
}

# Waits for a box captioned $1, checks that its text contains $2, closes it.
expect_box() {
  local caption=$1 text=$2 box
  wait_for "a box captioned $caption" take_window visible_window "$caption"
  box=$FOUND_WINDOW
  local shown
  shown=$(box_text "$box")
  grep -qF -- "$text" <<<"$shown" || fail "box '$caption' says: $shown (expected: $text)"
  xdotool key Return
  wait_for "the box to close" window_gone "$box"
}

# The whole text of the text box (never empty in these tests), read back
# through the clipboard once the program has taken it over.
memo_text() {
  # shellcheck disable=SC2086
  click_at $MEMO_POINT
  printf '' | xclip -selection clipboard 2>/dev/null
  xdotool key ctrl+a ctrl+c
  wait_for "the text on the clipboard" bash -c "xclip -o -selection clipboard 2>/dev/null | head -c 1 | grep -q ."
  xclip -o -selection clipboard 2>/dev/null
}

# In the file dialog that is opening (named $1 in messages), types the path $2
# and accepts it; returns once the dialog has closed.
type_into_dialog() {
  wait_for "the $1" take_window other_window
  local dialog=$FOUND_WINDOW
  xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
  xdotool key ctrl+a
  xdotool type --delay 2 "$2"
  xdotool key Return
  wait_for "the $1 to close" window_gone "$dialog"
  wait_focus_after_dialog "$dialog"
}

# Opens a file through the open dialog by typing its path.
open_file() {
  press_button "$BUTTON_OPEN"
  type_into_dialog "open dialog" "$1"
}

# The window manager has handed the focus on from the closed dialog $1 (to the
# main window, or to a box the opening raised): a click sent earlier can be lost.
wait_focus_after_dialog() {
  wait_for "the focus to leave the open dialog" bash -c "a=\$(xdotool getactivewindow 2>/dev/null) && [ -n \"\$a\" ] && [ \"\$a\" != '$1' ]"
}

# Mean and standard deviation of a region of the main window's screenshot.
region_stats() {
  local shot="$WORK/region.png"
  import -window "$MAIN_WINDOW" -crop "$1" +repage "$shot"
  convert "$shot" -format '%[fx:mean] %[fx:standard_deviation]' info:
}

# The restored-picture box shows something other than a flat background.
IMAGE2_REGION=587x537+328+36
has_picture() {
  awk -v s="$(region_stats "$IMAGE2_REGION")" 'BEGIN { split(s, a, " "); exit !(a[2] > 0.05) }'
}

# Waits until the text box holds exactly $1.
wait_memo_text() {
  local deadline=$((SECONDS + $(wait_seconds)))
  until [ "$(memo_text)" = "$1" ]; do
    [ $SECONDS -lt $deadline ] || fail "the text box does not hold the expected text"
    sleep 0.2
  done
}

# The file's bytes as upper-case hex in one run, computed without our code.
upper_hex_of() {
  od -An -v -tx1 "$1" | tr -d ' \n' | tr a-f A-F
}
