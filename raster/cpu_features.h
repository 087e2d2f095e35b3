// Which vector instructions the raster operations may use.
//
// SSE2 is part of x86-64; the wider sets are used only when the processor and
// the operating system support them. Every level gives bit-identical results;
// tests and benchmarks lower the level to compare the paths.
#pragma once

enum SimdLevel {
  SIMD_SCALAR = 0,  // plain C++, the reference
  SIMD_SSE2 = 1,
  SIMD_AVX2 = 2,
  SIMD_AVX512 = 3,  // AVX-512 F, BW and VBMI
};

// The best level this processor supports.
SimdLevel DetectedSimdLevel();

// The level in use: the detected one unless lowered with SetSimdLevel.
SimdLevel ActiveSimdLevel();

// Uses at most the given level (never more than the detected one).
void SetSimdLevel(SimdLevel level);

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#define VISTREL_X86_SIMD 1
#define VISTREL_TARGET_AVX2 __attribute__((target("avx2")))
#define VISTREL_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))
#endif
