#include "raster/bitmap.h"

int64_t BitmapByteCount(int width, int height) {
  if (width <= 0 || height <= 0) return -1;
  // 64-bit arithmetic: (width + 3) alone overflows an int near INT_MAX.
  int64_t span = (static_cast<int64_t>(width) + 3) & ~static_cast<int64_t>(3);
  // Both factors are below 2^32, so the product of the pixel count fits.
  int64_t pixels = span * height;
  if (pixels > MAX_BITMAP_BYTES / 4) return -1;
  return pixels * 4;
}

Bitmap::~Bitmap() {}

bool Bitmap::IsFlipped() const { return false; }

HDC Bitmap::DeviceContext() { return nullptr; }

intptr_t Bitmap::Extended(int code, void* data) { return 0; }
