// The kernels behind the image effects: one table, filled for the active
// instruction level like the blitting kernels' (raster/blitting_kernels.h).
// image_effects.cpp holds the scalar reference and the table; each
// instruction set's file in view/x86 installs the entries it does faster.
#pragma once

#include <cstdint>

#include "raster/blitting.h"
#include "raster/cpu_features.h"

const uint32_t ALPHA_MASK = 0xFF000000;

struct EffectKernels {
  // The pixel effects on one row span, with exactly the results of the pixel
  // functions; the context is not used.
  SpanFunction black_and_white;
  SpanFunction negative;
  SpanFunction log_transformation;
  SpanFunction illinify;
  // The row work of the flips done in place: exchanges a[0..count-1] with
  // b[0..count-1], and reverses p[0..count-1]. Null at the scalar level,
  // whose flips draw the mirrored copy, the reference the others must match.
  void (*swap_pixels)(uint32_t* a, uint32_t* b, int count);
  void (*reverse_pixels)(uint32_t* p, int count);
};

// The scalar spans (image_effects.cpp), which the vector ones use for their tails.
void BlackAndWhiteSpanScalar(uint32_t* p, int count, void* context);
void NegativeSpanScalar(uint32_t* p, int count, void* context);
void IllinifySpanScalar(uint32_t* p, int count, void* context);

// The 256 values of the log transformation, one per channel value.
const uint8_t* LogTransformationTable();

#ifdef VISTREL_X86_KERNELS
void InstallEffectKernelsSse2(EffectKernels* kernels);    // view/x86/image_effects_sse2.cpp
void InstallEffectKernelsAvx2(EffectKernels* kernels);    // view/x86/image_effects_avx2.cpp
void InstallEffectKernelsAvx512(EffectKernels* kernels);  // view/x86/image_effects_avx512.cpp
#endif
