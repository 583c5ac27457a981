# Shared helpers for the end-to-end tests: the real binary on a private Xvfb
# display with a small window manager, driven through scripts/lib, with waits
# on conditions (never fixed sleeps).
set -euo pipefail

# Generous: a machine busy with other builds can be many times slower.
# Read at each wait, so that one wait can be given less (E2E_TIMEOUT=10 wait_for ...).
E2E_TIMEOUT=${E2E_TIMEOUT:-120}
QUORVANE=${QUORVANE:?path of the quorvane binary}
WORK=$(mktemp -d /tmp/quorvane-e2e.XXXXXX)

# shellcheck source=../../scripts/lib/quorvane_window.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/quorvane_window.sh"

wait_seconds() {
  echo "$E2E_TIMEOUT"
}

fail() {
  echo "FAIL: $*" >&2
  screenshot "$WORK/failure.png" || true
  echo "screenshot of the failure: $WORK/failure.png" >&2
  exit 1
}

trap cleanup EXIT
