#!/usr/bin/env bash
# Runs a Windows program under Wine, as ctest's emulator and for scripts.
#   wine-run.sh --prefix DIR program.exe [arguments...]
# The Wine prefix DIR (inside the build tree) is created once, under a lock,
# so tests never touch the user's own ~/.wine. Without a display a private
# Xvfb is started for this one run. Wine's debug output is switched off.
set -u

prefix=""
if [ "${1:-}" = "--prefix" ]; then
  prefix=$2
  shift 2
fi
if [ -z "$prefix" ]; then
  prefix=${WINEPREFIX:-$(pwd)/wineprefix}
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko install prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" --prefix "$prefix" "$@"
fi

if [ ! -f "$prefix/.vistrel-ready" ]; then
  (
    flock 9
    if [ ! -f "$prefix/.vistrel-ready" ]; then
      wine wineboot --init >/dev/null 2>&1
      # Wine draws the window frames itself, so that windows look and measure
      # the same with or without a window manager.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wineserver --wait
      touch "$prefix/.vistrel-ready"
    fi
  ) 9>"$prefix.lock"
fi

exec wine "$@"
