#!/usr/bin/env bash
# Installs what is missing, builds both configurations and runs every test:
# the Windows tests under Wine (one virtual display for the whole run unless
# DISPLAY is set), the native tests under ASan and UBSan, and a short run of
# every fuzz target.
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
if [ -d "$root/build/fuzz" ]; then
  # About 20 s per target, one at a time (each is a single process).
  echo "== Fuzz smoke run and committed reproducers (libFuzzer, ASan, UBSan)"
  ctest --test-dir "$root/build/fuzz" --output-on-failure -L fuzz || status=1
fi
echo "== Windows tests (under Wine)"
# One at a time: the window tests share the display and the keyboard.
ctest --test-dir "$root/build/win" --output-on-failure || status=1
exit $status
