// The bitmap the fuzz targets decode into: a MemoryBitmap that refuses
// pictures above a quarter megapixel, as a failed allocation would, so that a
// header claiming a large picture costs one quick refusal instead of
// clearing and filling megabytes on every run. Everything before the sizing runs as in the program.
#pragma once

#include <cstdint>
#include <cstdlib>

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

// Two decodings of one input must agree: both fail, or both give the same
// size and pixels. Stops the run otherwise.
inline void ExpectSameResult(Bitmap* a, Bitmap* b) {
  bool a_has = a && a->Bits(), b_has = b && b->Bits();
  if (a_has != b_has) abort();
  if (!a_has) return;
  if (a->Width() != b->Width() || a->Height() != b->Height()) abort();
  for (int y = 0; y < a->Height(); ++y)
    for (int x = 0; x < a->Width(); ++x)
      if (a->Bits()[y * a->RowSpan() + x] != b->Bits()[y * b->RowSpan() + x]) abort();
}
