#!/usr/bin/env bash
# Takes docs/screenshot.png (README and software centres): the main window with
# its title bar, on a private Xvfb display with openbox.
# Usage: scripts/take-screenshot.sh [program] [output]
set -euo pipefail
cd "$(dirname "$0")/.."
QUORVANE=$(realpath "${1:-build/bin/quorvane}")
out=${2:-docs/screenshot.png}
WORK=$(mktemp -d /tmp/quorvane-shot.XXXXXX)
WAIT_TIMEOUT=30
# shellcheck source=lib/quorvane_window.sh
source scripts/lib/quorvane_window.sh
trap 'cleanup; rm -rf "$WORK"' EXIT
start_display
launch_app
# The first paint has happened once the window's pixels are not all one colour.
wait_for "the first paint" bash -c "[ \$(import -window $MAIN_WINDOW -format '%k' info:) -gt 1 ]"
import -frame -window "$MAIN_WINDOW" "$out"
echo "screenshot: $out ($(identify -format %wx%h "$out"))"
