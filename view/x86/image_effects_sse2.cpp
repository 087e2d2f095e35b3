// The SSE2 effect kernels. SSE2 is part of x86-64, so this file needs no
// flags of its own.
#include "view/image_effects_kernels.h"
#include "raster/x86/lanes_sse2.h"
#include "view/x86/image_effects_lanes.h"

namespace {

void SwapPixelsSse2(uint32_t* a, uint32_t* b, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    Ints va = Load(a + i), vb = Load(b + i);
    Store(a + i, vb);
    Store(b + i, va);
  }
  for (; i < count; ++i) {
    uint32_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

// Four pixels from each end at a time, each four reversed and put at the other end.
void ReversePixelsSse2(uint32_t* p, int count) {
  int i = 0, j = count - 1;
  for (; j - i + 1 >= 8; i += 4, j -= 4) {
    Ints left = Load(p + i), right = Load(p + j - 3);
    Store(p + i, _mm_shuffle_epi32(right, _MM_SHUFFLE(0, 1, 2, 3)));
    Store(p + j - 3, _mm_shuffle_epi32(left, _MM_SHUFFLE(0, 1, 2, 3)));
  }
  for (; i < j; ++i, --j) {
    uint32_t t = p[i];
    p[i] = p[j];
    p[j] = t;
  }
}

}  // namespace

void InstallEffectKernelsSse2(EffectKernels* kernels) {
  kernels->black_and_white = BlackAndWhiteSpanLanes;
  kernels->negative = NegativeSpanLanes;
  kernels->illinify = IllinifySpanLanes;
  kernels->swap_pixels = SwapPixelsSse2;
  kernels->reverse_pixels = ReversePixelsSse2;
}
