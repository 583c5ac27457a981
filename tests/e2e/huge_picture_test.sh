#!/usr/bin/env bash
# A 200-megapixel progressive 4:4:4 JPEG (made by cjpeg here: two flat halves
# compress to about 2 MB) displays in the preview; under an address-space
# limit it cannot fit in, it fails with "Out of memory" and the window goes on.
# Decoding 200 megapixels takes seconds on an idle machine and minutes on one
# busy with builds; meanwhile the window cannot repaint, so a screenshot shows
# what was last drawn there (the closed dialog, say).
E2E_TIMEOUT=${E2E_TIMEOUT:-600}
source "$(dirname "$0")/lib.sh"
start_display
TITLE=quorvane
IMAGE1_REGION=309x221+10+34

picture="$WORK/huge.jpg"
# Each row: 10000 light pixels, then 10000 dark ones; 100 rows a block.
row="$WORK/row" block="$WORK/block"
head -c 30000 /dev/zero | tr '\0' '\310' >"$row"
head -c 30000 /dev/zero | tr '\0' '\050' >>"$row"
for _ in $(seq 100); do cat "$row"; done >"$block"
{
  printf 'P6\n20000 10000\n255\n'
  for _ in $(seq 100); do cat "$block"; done
} | cjpeg -quality 90 -progressive -sample 1x1 >"$picture"
rm -f "$row" "$block"
echo "picture: 20000 x 10000, $(stat -c %s "$picture") bytes"

region_flat() { awk -v s="$(region_stats "$IMAGE1_REGION")" 'BEGIN { split(s, a, " "); exit !(a[2] == 0) }'; }
shows_something() { ! other_window >/dev/null && ! region_flat; }
# The preview shows the picture's light left half and dark right half (two
# points of the box, read from the screen, where no dialog may cover them).
shows_halves() {
  local shot="$WORK/halves.png"
  import -window "$MAIN_WINDOW" "$shot"
  convert "$shot" -format '%[fx:255*p{60,140}.r] %[fx:255*p{60,140}.b] %[fx:255*p{270,140}.r] %[fx:255*p{270,140}.b]\n' info: |
    awk '{ exit !($1 > 196 && $1 < 204 && $2 > 196 && $2 < 204 && $3 > 36 && $3 < 44 && $4 > 36 && $4 < 44) }'
}

start_app
start=$EPOCHREALTIME
open_file "$picture"
wait_for "the 200-megapixel picture in the preview" shows_halves
echo "opened and shown in $(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s;" \
  "peak resident memory $(awk '/^VmHWM/ { printf "%d MB", $2 / 1024 }' /proc/$APP_PID/status)"
other_window >/dev/null && fail "a box came up: $(xdotool getwindowname "$(other_window)")"
screenshot "$WORK/huge.png"
# What the program maps before it opens anything: the base of the limits below.
press_button "$BUTTON_EXIT"
wait_app_exit
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"

start_app
mapped_kb=$(awk '/^VmSize/ { print $2 }' /proc/$APP_PID/status)
press_button "$BUTTON_EXIT"
wait_app_exit

# 1 GiB beyond that: the bitmap (600 MB) is over the budget. 3 GiB: the bitmap
# fits, but not with the decoder's coefficients (1.2 GB) beside it. 6 GiB: both
# fit, and the picture shows.
real=$QUORVANE
for case in 1024:"Out of memory." 3072:"Out of memory." 6144:shown; do
  room_mb=${case%%:*} outcome=${case#*:}
  limited="$WORK/limited-$room_mb"
  printf '#!/bin/bash\nulimit -v %d\nexec "%s"\n' $((mapped_kb + room_mb * 1024)) "$real" >"$limited"
  chmod +x "$limited"
  QUORVANE=$limited start_app
  open_file "$picture"
  if [ "$outcome" = shown ]; then
    wait_for "the picture under a limit of $room_mb MB" shows_halves
    other_window >/dev/null && fail "a box came up under a limit of $room_mb MB"
  else
    expect_box "$TITLE" "$outcome"
    wait_for "the preview empty again" region_flat
    # The window goes on: a small picture opens and shows.
    open_file "$QUORVANE_CORPUS/jpeg/good/ljt-testorig.jpg"
    wait_for "the small picture" shows_something
  fi
  kill -0 "$APP_PID" || fail "the program ended under a limit of $room_mb MB"
  press_button "$BUTTON_EXIT"
  wait_app_exit
  [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE under a limit of $room_mb MB"
  echo "under a limit of $room_mb MB beyond the start: $outcome"
done
echo "screenshot: $WORK/huge.png"
echo "1 passed, 0 failed"
