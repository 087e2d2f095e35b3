#pragma once
// Where a window goes back to from its remembered position: exactly there
// while that lies on a monitor, otherwise onto the nearest monitor's work
// area, so that a window remembered on a monitor since unplugged can be seen.
// No platform header.
#include <cstdint>

struct ScreenRect {
  int32_t left, top, right, bottom;
};

struct ScreenPoint {
  int32_t x, y;
};

// The screen rectangle of a window at (x, y) with the given outer size; a
// size below 1 counts as 1 and the far edges stop at the 32-bit limit.
ScreenRect WindowRectAt(int32_t x, int32_t y, int32_t width, int32_t height);

// The position for a window remembered at (x, y) with the given outer size,
// given the monitor nearest to it and that monitor's work area. A window
// overlapping the monitor stays where it was; one that does not keeps its
// size and is moved, as little as it takes, into the work area (its left and
// top edges inside when it is larger).
ScreenPoint PlaceOnMonitor(int32_t x, int32_t y, int32_t width, int32_t height,
                           const ScreenRect& monitor, const ScreenRect& work_area);
