#pragma once
#include <windows.h>

// The DPI scale of a window in 1/256 units (256 = 96 dots per inch), or 0
// when the thread is not per-monitor DPI aware (version 2), which is the case
// for this program: its manifest declares no DPI awareness.
int WindowDpiScale(HWND window);
