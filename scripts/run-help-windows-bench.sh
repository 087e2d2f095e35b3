#!/usr/bin/env bash
# Runs the About and License benchmark under Wine on the license.txt beside
# the built vistrel.exe.
#   scripts/run-help-windows-bench.sh [build folder, default build/win] [seconds of rolling]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
seconds=${2:-10}
bin="$build/bin"
[ -f "$bin/license.txt" ] || { echo "Build first: $bin/license.txt is missing." >&2; exit 1; }
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$root/scripts/wine-run.sh" --prefix "$build/wineprefix" \
  "$build/bench/help_windows_bench.exe" "Z:${bin//\//\\}" "$seconds"
