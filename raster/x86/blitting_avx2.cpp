// The AVX2 blitting kernels, built with the AVX2 flags: the fill and the blur
// twice as wide as SSE2's. The other entries keep their SSE2 kernels.
#include "raster/blitting_kernels.h"
#include "raster/x86/lanes_avx2.h"
#include "raster/x86/blitting_lanes.h"

void InstallBlitKernelsAvx2(BlitKernels* kernels) {
  kernels->fill_pixels = FillPixelsLanes;
  kernels->blur_row_inside = BlurRowInsideLanes;
}
