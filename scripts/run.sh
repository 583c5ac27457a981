#!/usr/bin/env bash
# Starts the program; without a display, runs it under Xvfb and saves a screenshot.
set -euo pipefail
build=${1:-build}
exe="$build/bin/quorvane"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe"
fi
out="$build/demo"
mkdir -p "$out"
echo "No display: starting the program under Xvfb."
xvfb-run -a -s "-screen 0 1280x800x24" bash -c "
  '$exe' & pid=\$!
  for i in \$(seq 1 100); do
    xdotool search --name . >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1
  import -window root '$out/screenshot.png'
  kill \$pid 2>/dev/null || true
  wait \$pid 2>/dev/null || true
"
echo "Screenshot: $out/screenshot.png"
