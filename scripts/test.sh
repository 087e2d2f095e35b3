#!/usr/bin/env bash
# Installs what is missing, builds both configurations and runs every test:
# the Windows tests under Wine (one virtual display for the whole run unless
# DISPLAY is set) and the native tests under ASan and UBSan.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
"$root/scripts/build.sh"

. "$root/scripts/lib/virtual-display.sh"
cleanup() {
  WINEPREFIX="$root/build/win/wineprefix" wineserver -k >/dev/null 2>&1 || true
  stop_virtual_display
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  start_virtual_display 90 1280x1024x24
fi

status=0
echo "== Native tests (ASan, UBSan)"
ctest --test-dir "$root/build/native" --output-on-failure -j "$jobs" || status=1
echo "== Windows tests (under Wine)"
# One at a time: the window tests share the display and the keyboard.
ctest --test-dir "$root/build/win" --output-on-failure || status=1
exit $status
