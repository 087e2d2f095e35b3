# Sourced by the scripts that need a display when there is none.
#   start_virtual_display FIRST_NUMBER GEOMETRY
# starts Xvfb on the first free display number from FIRST_NUMBER on, exports
# DISPLAY, waits until the server accepts connections and sets
# virtual_display_pid. stop_virtual_display ends it.

virtual_display_pid=""

start_virtual_display() {
  local number=$1 geometry=$2
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
  done
  Xvfb ":$number" -screen 0 "$geometry" -nolisten tcp >/dev/null 2>&1 &
  virtual_display_pid=$!
  export DISPLAY=":$number"
  local _
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$number" ] && break
    sleep 0.1
  done
}

stop_virtual_display() {
  if [ -n "$virtual_display_pid" ]; then
    kill "$virtual_display_pid" >/dev/null 2>&1 || true
    virtual_display_pid=""
  fi
}

# Prints the X window id of the first window whose title matches the regular
# expression, waiting up to SECONDS for it; prints nothing when none came.
#   wait_for_window TITLE_REGEX SECONDS
wait_for_window() {
  local title=$1 tries=$(($2 * 2)) window="" _
  for _ in $(seq "$tries"); do
    window=$(xdotool search --name "$title" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.5
  done
  echo "$window"
}
