#!/usr/bin/env bash
# The window as a screen reader sees it: a real AT-SPI client (pyatspi, the
# library Orca is built on) on a private accessibility bus reads the buttons'
# names, presses "打开图片" through the action interface, answers the open
# dialog, presses "图片转16进制", and reads the status text and the text box.
source "$(dirname "$0")/lib.sh"
here="$(cd "$(dirname "$0")" && pwd)"
# Debian's Python with pyatspi: another python3 may come first on PATH.
PYTHON=/usr/bin/python3
$PYTHON -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is missing (scripts/install-deps.sh)"
[ -x /usr/libexec/at-spi-bus-launcher ] || fail "at-spi2-core is missing (scripts/install-deps.sh)"

BUS_PID="" LAUNCHER_PID=""
stop_buses() {
  [ -n "$LAUNCHER_PID" ] && kill "$LAUNCHER_PID" 2>/dev/null || true
  [ -n "$BUS_PID" ] && kill "$BUS_PID" 2>/dev/null || true
  cleanup
}
trap stop_buses EXIT
start_display

# A session bus of this test's own, and the accessibility bus on it.
dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
  3>"$WORK/bus.address" 4>"$WORK/bus.pid"
wait_for "the session bus" test -s "$WORK/bus.pid"
BUS_PID=$(head -n1 "$WORK/bus.pid")
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$WORK/bus.address")
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/at-spi.log" 2>&1 &
LAUNCHER_PID=$!
wait_for "the accessibility bus" bash -c "xprop -root AT_SPI_BUS | grep -q unix:"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0

cp "$QUORVANE_CORPUS/jpeg/good/ljt-testorig.jpg" "$WORK/picture.jpg"
start_app
$PYTHON "$here/at_spi_client.py" "$WORK/picture.jpg" "$(upper_hex_of "$WORK/picture.jpg" | head -c 16)" \
  >"$WORK/client.out" 2>&1 || { cat "$WORK/client.out"; fail "the AT-SPI client: see above"; }
cat "$WORK/client.out"
screenshot "$WORK/after.png"
echo "1 passed, 0 failed"
