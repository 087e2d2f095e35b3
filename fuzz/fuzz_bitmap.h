// The bitmap the fuzz targets decode into: a MemoryBitmap that refuses
// pictures above a quarter megapixel, as a failed allocation would, so that a
// header claiming a large picture costs one quick refusal instead of
// clearing and filling megabytes on every run. Everything before the sizing runs as in the program.
#pragma once

#include <cstdint>

#include "raster/memory_bitmap.h"

class FuzzBitmap : public MemoryBitmap {
public:
  bool Resize(int width, int height) override {
    if (static_cast<int64_t>(width) * height <= (int64_t(1) << 18)) return MemoryBitmap::Resize(width, height);
    MemoryBitmap::Resize(0, 0);
    return true;
  }
};

// Reads every pixel of a result, so that a size or row span that does not
// match the storage shows up under ASan.
inline uint32_t TouchPixels(Bitmap* bitmap) {
  uint32_t sum = 0;
  if (!bitmap || !bitmap->Bits()) return 0;
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x) sum += bitmap->Bits()[y * bitmap->RowSpan() + x];
  return sum;
}
