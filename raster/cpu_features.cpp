#include "raster/cpu_features.h"

static SimdLevel Detect() {
#ifdef VISTREL_X86_SIMD
  // The compiler's run-time check also asks whether the operating system
  // saves the wide registers.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi"))
    return SIMD_AVX512;
  if (__builtin_cpu_supports("avx2")) return SIMD_AVX2;
  return SIMD_SSE2;
#else
  return SIMD_SCALAR;
#endif
}

// -1 until first asked.
static int detected_level = -1;
static int active_level = -1;

SimdLevel DetectedSimdLevel() {
  if (detected_level < 0) detected_level = Detect();
  return static_cast<SimdLevel>(detected_level);
}

SimdLevel ActiveSimdLevel() {
  if (active_level < 0) active_level = DetectedSimdLevel();
  return static_cast<SimdLevel>(active_level);
}

void SetSimdLevel(SimdLevel level) {
  SimdLevel detected = DetectedSimdLevel();
  if (level < SIMD_SCALAR) level = SIMD_SCALAR;
  active_level = level > detected ? detected : level;
}
