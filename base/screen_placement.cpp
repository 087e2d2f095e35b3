#include "base/screen_placement.h"

#include <algorithm>
#include <limits>

namespace {

int32_t FarEdge(int32_t start, int32_t size) {
  int64_t edge = static_cast<int64_t>(start) + std::max<int32_t>(size, 1);
  return static_cast<int32_t>(std::min<int64_t>(edge, std::numeric_limits<int32_t>::max()));
}

// The start of a span of the given size moved into [low, high): past the
// high end it is pulled back, and then before the low end pushed forward.
int32_t MoveInto(int32_t start, int32_t size, int32_t low, int32_t high) {
  int64_t s = start;
  int64_t length = std::max<int32_t>(size, 1);
  if (s + length > high) s = high - length;
  if (s < low) s = low;
  return static_cast<int32_t>(s);
}

}  // namespace

ScreenRect WindowRectAt(int32_t x, int32_t y, int32_t width, int32_t height) {
  return {x, y, FarEdge(x, width), FarEdge(y, height)};
}

ScreenPoint PlaceOnMonitor(int32_t x, int32_t y, int32_t width, int32_t height,
                           const ScreenRect& monitor, const ScreenRect& work_area) {
  ScreenRect r = WindowRectAt(x, y, width, height);
  bool overlaps = r.left < monitor.right && monitor.left < r.right && r.top < monitor.bottom &&
                  monitor.top < r.bottom;
  if (overlaps) return {x, y};
  return {MoveInto(x, width, work_area.left, work_area.right),
          MoveInto(y, height, work_area.top, work_area.bottom)};
}
