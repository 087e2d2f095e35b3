#include "base/window_position.h"

#include "base/screen_placement.h"

namespace {

ScreenRect FromRect(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

POINT PositionOnScreen(int x, int y, int width, int height) {
  ScreenRect rect = WindowRectAt(x, y, width, height);
  RECT query = {rect.left, rect.top, rect.right, rect.bottom};
  MONITORINFO info;
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromRect(&query, MONITOR_DEFAULTTONEAREST);
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return {x, y};
  ScreenPoint placed =
      PlaceOnMonitor(x, y, width, height, FromRect(info.rcMonitor), FromRect(info.rcWork));
  return {placed.x, placed.y};
}
