#include "raster/cpu_features.h"

#if defined(_MSC_VER) && defined(_M_X64)
#include <intrin.h>
#endif

static SimdLevel Detect() {
#if defined(VISTREL_X86_KERNELS) && defined(__GNUC__)
  // The compiler's run-time check also asks whether the operating system
  // saves the wide registers.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi"))
    return SIMD_AVX512;
  if (__builtin_cpu_supports("avx2")) return SIMD_AVX2;
  return SIMD_SSE2;
#elif defined(VISTREL_X86_KERNELS) && defined(_MSC_VER)
  // The same questions asked directly: the processor's feature bits, and the
  // register state the operating system saves (XCR0).
  int info[4];
  __cpuid(info, 0);
  if (info[0] < 7) return SIMD_SSE2;
  __cpuid(info, 1);
  const int OSXSAVE = 1 << 27, AVX = 1 << 28;
  if ((info[2] & OSXSAVE) == 0 || (info[2] & AVX) == 0) return SIMD_SSE2;
  unsigned long long saved_state = _xgetbv(0);
  const unsigned long long YMM_STATE = 0x6, ZMM_STATE = 0xE6;
  if ((saved_state & YMM_STATE) != YMM_STATE) return SIMD_SSE2;
  __cpuidex(info, 7, 0);
  const unsigned AVX2 = 1u << 5, AVX512F = 1u << 16, AVX512BW = 1u << 30, AVX512VL = 1u << 31;
  const unsigned AVX512VBMI = 1u << 1;
  unsigned ebx = static_cast<unsigned>(info[1]), ecx = static_cast<unsigned>(info[2]);
  if ((ebx & (AVX512F | AVX512BW | AVX512VL)) == (AVX512F | AVX512BW | AVX512VL) && (ecx & AVX512VBMI) != 0 &&
      (saved_state & ZMM_STATE) == ZMM_STATE)
    return SIMD_AVX512;
  if ((ebx & AVX2) != 0) return SIMD_AVX2;
  return SIMD_SSE2;
#else
  return SIMD_SCALAR;
#endif
}

// -1 until first asked. Every variable here is constant-initialised, so the
// kernel tables may register from their own namespace-scope initializers.
static int detected_level = -1;
static int active_level = -1;

// The blitting and the effects tables; room to spare.
static const int MAX_KERNEL_TABLES = 8;
static KernelTableFiller kernel_tables[MAX_KERNEL_TABLES];
static int kernel_table_count = 0;

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
  for (int i = 0; i < kernel_table_count; ++i) kernel_tables[i](ActiveSimdLevel());
}

bool RegisterKernelTable(KernelTableFiller fill) {
  if (!fill) return false;
  // A table beyond the room is still filled once, only never refilled.
  if (kernel_table_count < MAX_KERNEL_TABLES) kernel_tables[kernel_table_count++] = fill;
  fill(ActiveSimdLevel());
  return true;
}
