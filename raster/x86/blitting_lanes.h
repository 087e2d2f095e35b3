// The blitting kernels that SSE2 and AVX2 do alike, written once in the lane
// vocabulary: blitting_sse2.cpp and blitting_avx2.cpp include this after
// raster/x86/lanes_sse2.h or lanes_avx2.h, and each gets its own copy.
#pragma once

#include <cstdint>

// The fill_pixels kernel: single stores up to a vector boundary, then aligned
// vector stores, four at a time while they last.
static void FillPixelsLanes(uint32_t* p, int64_t count, uint32_t value) {
  const uintptr_t VECTOR_BYTES = LANES * sizeof(uint32_t);
  int64_t i = 0;
  while (i < count && (reinterpret_cast<uintptr_t>(p + i) & (VECTOR_BYTES - 1)) != 0) p[i++] = value;
  Ints v = Splat(value);
  for (; i + 4 * LANES <= count; i += 4 * LANES) {
    StoreAligned(p + i, v);
    StoreAligned(p + i + LANES, v);
    StoreAligned(p + i + 2 * LANES, v);
    StoreAligned(p + i + 3 * LANES, v);
  }
  for (; i + LANES <= count; i += LANES) StoreAligned(p + i, v);
  for (; i < count; ++i) p[i] = value;
}

// Each byte halved, quartered or divided by eight, as the scalar blur does.
static inline Ints HalfBytes(Ints p) { return And(ShiftRight(p, 1), Splat(0x7F7F7F7F)); }
static inline Ints QuarterBytes(Ints p) { return And(ShiftRight(p, 2), Splat(0x3F3F3F3F)); }
static inline Ints EighthBytes(Ints p) { return And(ShiftRight(p, 3), Splat(0x1F1F1F1F)); }

// The blur_row_inside kernel: a vector of columns at a time, from column 1
// while the right neighbour of the last one is inside the row.
static int64_t BlurRowInsideLanes(uint32_t* out, const uint32_t* up, const uint32_t* cur, const uint32_t* down,
                                  int64_t width) {
  const uint32_t* edge = up ? up : down;
  bool both = up && down;
  int64_t x = 1;
  for (; x + LANES <= width - 1; x += LANES) {
    Ints vertical = both ? Add(EighthBytes(Load(edge + x)), EighthBytes(Load(down + x))) : QuarterBytes(Load(edge + x));
    Ints horizontal = Add(EighthBytes(Load(cur + x - 1)), EighthBytes(Load(cur + x + 1)));
    Store(out + x, Add(Add(HalfBytes(Load(cur + x)), horizontal), vertical));
  }
  return x;
}
