#!/usr/bin/env bash
# Installs what is missing, builds both configurations and runs every test:
# the Windows tests under Wine (one virtual display for the whole run unless
# DISPLAY is set) and the native tests under ASan and UBSan.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
"$root/scripts/build.sh"

xvfb_pid=""
cleanup() {
  WINEPREFIX="$root/build/win/wineprefix" wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  display_number=90
  while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ]; do
    display_number=$((display_number + 1))
  done
  Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display_number"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display_number" ] && break
    sleep 0.1
  done
fi

status=0
echo "== Native tests (ASan, UBSan)"
ctest --test-dir "$root/build/native" --output-on-failure -j "$jobs" || status=1
echo "== Windows tests (under Wine)"
# One at a time: the window tests share the display and the keyboard.
ctest --test-dir "$root/build/win" --output-on-failure || status=1
exit $status
