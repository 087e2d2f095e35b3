// The lane vocabulary of the AVX2 kernel files: the names of
// raster/x86/lanes_sse2.h for eight 32-bit lanes. Internal linkage throughout,
// for the same reason.
#pragma once

#include <immintrin.h>

#include <cstdint>

typedef __m256i Ints;
typedef __m256 Floats;
static const int LANES = 8;

static inline Ints Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
static inline void Store(uint32_t* p, Ints v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
static inline void StoreAligned(uint32_t* p, Ints v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
static inline Ints Splat(uint32_t value) { return _mm256_set1_epi32(static_cast<int>(value)); }

static inline Ints And(Ints a, Ints b) { return _mm256_and_si256(a, b); }
static inline Ints AndNot(Ints a, Ints b) { return _mm256_andnot_si256(a, b); }
static inline Ints Or(Ints a, Ints b) { return _mm256_or_si256(a, b); }
static inline Ints Xor(Ints a, Ints b) { return _mm256_xor_si256(a, b); }
static inline Ints Add(Ints a, Ints b) { return _mm256_add_epi32(a, b); }
static inline Ints Sub(Ints a, Ints b) { return _mm256_sub_epi32(a, b); }
static inline Ints ShiftLeft(Ints a, int bits) { return _mm256_slli_epi32(a, bits); }
static inline Ints ShiftRight(Ints a, int bits) { return _mm256_srli_epi32(a, bits); }
static inline Ints Greater(Ints a, Ints b) { return _mm256_cmpgt_epi32(a, b); }
static inline Ints MaxOfSmall(Ints a, Ints b) { return _mm256_max_epi32(a, b); }
static inline Ints MinOfSmall(Ints a, Ints b) { return _mm256_min_epi32(a, b); }
static inline Ints SumOfHalves(Ints a) { return _mm256_madd_epi16(a, _mm256_set1_epi16(1)); }
static inline Ints MulHigh16(Ints a, Ints b) { return _mm256_mulhi_epu16(a, b); }
static inline Ints Select(Ints mask, Ints if_set, Ints if_clear) { return _mm256_blendv_epi8(if_clear, if_set, mask); }
// One byte shuffle: byte 0 of each lane into bytes 1 and 2, byte 3 kept.
static inline Ints SpreadLowByte(Ints a) {
  const Ints spread = _mm256_setr_epi8(0, 0, 0, 3, 4, 4, 4, 7, 8, 8, 8, 11, 12, 12, 12, 15, 0, 0, 0, 3, 4, 4, 4, 7, 8,
                                       8, 8, 11, 12, 12, 12, 15);
  return _mm256_shuffle_epi8(a, spread);
}

static inline Floats SplatFloat(float value) { return _mm256_set1_ps(value); }
static inline Floats ToFloats(Ints a) { return _mm256_cvtepi32_ps(a); }
static inline Ints Truncate(Floats a) { return _mm256_cvttps_epi32(a); }
static inline Floats SubFloats(Floats a, Floats b) { return _mm256_sub_ps(a, b); }
static inline Floats MulFloats(Floats a, Floats b) { return _mm256_mul_ps(a, b); }
static inline Floats DivFloats(Floats a, Floats b) { return _mm256_div_ps(a, b); }
static inline Floats MaxFloats(Floats a, Floats b) { return _mm256_max_ps(a, b); }
static inline Ints FloatsGreater(Floats a, Floats b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_GT_OQ)); }
static inline Ints FloatsLess(Floats a, Floats b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_LT_OQ)); }
