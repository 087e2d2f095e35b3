// The AVX-512 effect kernels, built with the AVX-512 F, BW, VL and VBMI flags.
// The other entries keep their AVX2 kernels.
#include <immintrin.h>

#include "view/image_effects_kernels.h"

namespace {

// The 256-byte table lives in four registers; two two-register byte
// permutations look up the low and the high half, bit 7 picks between them.
void LogTransformationSpanAvx512(uint32_t* p, int count, void*) {
  const uint8_t* t = LogTransformationTable();
  const __m512i t0 = _mm512_loadu_si512(t);
  const __m512i t1 = _mm512_loadu_si512(t + 64);
  const __m512i t2 = _mm512_loadu_si512(t + 128);
  const __m512i t3 = _mm512_loadu_si512(t + 192);
  const __mmask64 alpha_bytes = 0x8888888888888888ull;
  for (int i = 0; i < count; i += 16) {
    __mmask16 lanes = count - i >= 16 ? 0xFFFF : static_cast<__mmask16>((1u << (count - i)) - 1);
    __m512i x = _mm512_maskz_loadu_epi32(lanes, p + i);
    __m512i low = _mm512_permutex2var_epi8(t0, x, t1);
    __m512i high = _mm512_permutex2var_epi8(t2, x, t3);
    __m512i y = _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
    _mm512_mask_storeu_epi32(p + i, lanes, _mm512_mask_blend_epi8(alpha_bytes, y, x));
  }
}

}  // namespace

void InstallEffectKernelsAvx512(EffectKernels* kernels) { kernels->log_transformation = LogTransformationSpanAvx512; }
