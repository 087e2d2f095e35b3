# Sourced by the scripts that make the README's screenshots and by run.sh
# without a display. Needs $root.
#   start_screenshot_vistrel BUILD_FOLDER INI_TEXT WORK_SUBFOLDER [FILE...]
# copies the built vistrel.exe (and the files given) into a fresh portable
# folder ($work/app, settings INI_TEXT), starts a virtual display and the
# program from $work/WORK_SUBFOLDER, waits for its main window and activates
# it: $work, $prefix, $window and $vistrel_pid are set, and everything is
# cleaned up on exit.
#   SCREENSHOT_INI                            settings of an 800 x 560 window at (0, 0)
#   make_sample_pictures FOLDER               writes the project's sample pictures there
#   open_sample_pictures                      opens them with Ctrl+A and the Open files dialog
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
  vistrel_pid=$!
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

SCREENSHOT_INI=$'[vistrel]\r\nmain_wnd_x=0\r\nmain_wnd_y=0\r\nmain_wnd_w=800\r\nmain_wnd_h=560\r\nmain_wnd_maximized=0\r\n'

# The sample pictures, drawn here rather than fetched (by
# scripts/make-sample-pictures.py, with the system Python's PIL): a sunset
# over a lake (JPEG), soap bubbles with transparency over a checkered pattern
# (PNG) and a short animation of the sun rising over the sea (GIF).
SAMPLE_PICTURES=(sunset.jpg bubbles.png sunrise.gif)

make_sample_pictures() {
  /usr/bin/python3 "$root/scripts/make-sample-pictures.py" "$1"
}

# Types the sample pictures' names into the Open files dialog, as a person
# choosing several files would; the first of them is then shown.
open_sample_pictures() {
  local names="" name dialog
  for name in "${SAMPLE_PICTURES[@]}"; do names+="\"$name\" "; done
  xdotool key --delay 200 ctrl+a
  dialog=$(wait_for_window '^Open files$' 30)
  [ -n "$dialog" ] || { echo "The Open files dialog did not show." >&2; exit 1; }
  sleep 1
  xdotool type --delay 50 "$names"
  xdotool key Return
  sleep 3
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
