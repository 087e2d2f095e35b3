// Which vector instructions the raster operations may use.
//
// SSE2 is part of x86-64; the wider sets are used only when the processor and
// the operating system support them. Every level gives bit-identical results;
// tests and benchmarks lower the level to compare the paths.
//
// The operations reach their kernels through tables of function pointers
// (raster/blitting_kernels.h, view/image_effects_kernels.h), filled for the
// active level once at start-up and again whenever SetSimdLevel changes it.
#pragma once

enum SimdLevel {
  SIMD_SCALAR = 0,  // plain C++, the reference
  SIMD_SSE2 = 1,
  SIMD_AVX2 = 2,
  SIMD_AVX512 = 3,  // AVX-512 F, BW, VL and VBMI
};

// The kernels of raster/x86 and view/x86 are built for x86-64 processors only.
#if defined(__x86_64__) || defined(_M_X64)
#define VISTREL_X86_KERNELS 1
#endif

// The best level this processor supports.
SimdLevel DetectedSimdLevel();

// The level in use: the detected one unless lowered with SetSimdLevel.
SimdLevel ActiveSimdLevel();

// Uses at most the given level (never more than the detected one) and refills
// every registered kernel table for it.
void SetSimdLevel(SimdLevel level);

// Sets every entry of one kernel table for the given level.
typedef void (*KernelTableFiller)(SimdLevel level);

// Fills a table for the active level now and again on every SetSimdLevel.
// Meant for a namespace-scope initializer beside the table, which should
// start out holding the scalar kernels so that it is usable before then.
// Returns true so that it can initialise that variable.
bool RegisterKernelTable(KernelTableFiller fill);
