// The AVX2 effect kernels, built with the AVX2 flags: the SSE2 spans on eight
// pixels at a time. The flips keep their SSE2 row kernels, as moving the rows
// is bound by memory, and the log transformation its scalar table lookup.
#include "view/image_effects_kernels.h"
#include "raster/x86/lanes_avx2.h"
#include "view/x86/image_effects_lanes.h"

void InstallEffectKernelsAvx2(EffectKernels* kernels) {
  kernels->black_and_white = BlackAndWhiteSpanLanes;
  kernels->negative = NegativeSpanLanes;
  kernels->illinify = IllinifySpanLanes;
}
