#!/usr/bin/env bash
# Runs the Changelog benchmark (a 10 MB, 200,000-line changelog in the real
# window) under Wine with a virtual display.
#   scripts/run-changelog-bench.sh [build folder, default build/win] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win}
rounds=${2:-5}
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$root/scripts/wine-run.sh" \
  --prefix "$build/wineprefix" "$build/bench/changelog_bench.exe" "$rounds"
