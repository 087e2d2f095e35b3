#pragma once
// Puts a remembered window position on a screen that is there now.
#include <windows.h>

// The position for a window remembered at (x, y) with the given outer size:
// unchanged while it lies on a monitor, otherwise moved onto the work area of
// the nearest monitor.
POINT PositionOnScreen(int x, int y, int width, int height);
