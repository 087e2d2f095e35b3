# Sourced by the scripts that make the README's screenshots. Needs $root.
#   start_screenshot_vistrel BUILD_FOLDER INI_TEXT WORK_SUBFOLDER [FILE...]
# copies the built vistrel.exe (and the files given) into a fresh portable
# folder ($work/app, settings INI_TEXT), starts a virtual display and the
# program from $work/WORK_SUBFOLDER, waits for its main window and activates
# it: $work, $prefix and $window are set, and everything is cleaned up on exit.
#   capture_window WINDOW OUT FALLBACK_CROP   saves the window as a PNG
#   quit_screenshot_vistrel                   Ctrl+Q on the main window
. "$root/scripts/lib/virtual-display.sh"

start_screenshot_vistrel() {
  local build=$1 ini=$2 folder=$3
  shift 3
  local exe="$build/bin/vistrel.exe"
  [ -f "$exe" ] || { echo "Build first: $exe is missing." >&2; exit 1; }
  prefix="$build/wineprefix"
  work=$(mktemp -d)
  mkdir -p "$work/app/portable" "$work/$folder"
  cp "$exe" "$@" "$work/app/"
  printf '%s' "$ini" > "$work/app/portable/vistrel.ini"
  start_virtual_display 99 1024x768x24
  trap cleanup_screenshot_vistrel EXIT
  (cd "$work/$folder" && "$root/scripts/wine-run.sh" --prefix "$prefix" "$work/app/vistrel.exe") &
  window=$(wait_for_window '^Vistrel$' 60)
  [ -n "$window" ] || { echo "Vistrel did not start." >&2; exit 1; }
  sleep 2
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" || true
}

cleanup_screenshot_vistrel() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  stop_virtual_display
  rm -rf "$work"
}

capture_window() {
  import -display "$DISPLAY" -window "$1" "$2" 2>/dev/null ||
    import -display "$DISPLAY" -window root -crop "$3" "$2"
}

quit_screenshot_vistrel() {
  xdotool windowactivate "$window" 2>/dev/null || true
  xdotool key --delay 200 ctrl+q
  sleep 2
}
