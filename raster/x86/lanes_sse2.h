// The lane vocabulary of the SSE2 kernel files: 32-bit lanes, four to a vector.
// raster/x86/lanes_avx2.h gives the same names for eight lanes, so that a
// kernel written with them once (raster/x86/blitting_lanes.h,
// view/x86/image_effects_lanes.h) serves both widths.
//
// Everything here has internal linkage: the two vocabularies share names, and
// a file built for AVX2 must never lend its copy to one that is not.
#pragma once

#include <emmintrin.h>

#include <cstdint>

typedef __m128i Ints;
typedef __m128 Floats;
static const int LANES = 4;

static inline Ints Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
static inline void Store(uint32_t* p, Ints v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// p aligned to the vector's size.
static inline void StoreAligned(uint32_t* p, Ints v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }
static inline Ints Splat(uint32_t value) { return _mm_set1_epi32(static_cast<int>(value)); }

static inline Ints And(Ints a, Ints b) { return _mm_and_si128(a, b); }
// ~a & b
static inline Ints AndNot(Ints a, Ints b) { return _mm_andnot_si128(a, b); }
static inline Ints Or(Ints a, Ints b) { return _mm_or_si128(a, b); }
static inline Ints Xor(Ints a, Ints b) { return _mm_xor_si128(a, b); }
static inline Ints Add(Ints a, Ints b) { return _mm_add_epi32(a, b); }
static inline Ints Sub(Ints a, Ints b) { return _mm_sub_epi32(a, b); }
static inline Ints ShiftLeft(Ints a, int bits) { return _mm_slli_epi32(a, bits); }
static inline Ints ShiftRight(Ints a, int bits) { return _mm_srli_epi32(a, bits); }
// All ones where a > b (signed), else 0.
static inline Ints Greater(Ints a, Ints b) { return _mm_cmpgt_epi32(a, b); }
// Lanes whose upper 16 bits are 0 compare as 16-bit numbers, which SSE2 can.
static inline Ints MaxOfSmall(Ints a, Ints b) { return _mm_max_epi16(a, b); }
static inline Ints MinOfSmall(Ints a, Ints b) { return _mm_min_epi16(a, b); }
// The sum of the two 16-bit halves of each lane (signed).
static inline Ints SumOfHalves(Ints a) { return _mm_madd_epi16(a, _mm_set1_epi16(1)); }
// The upper 16 bits of the unsigned 16-bit products, per 16-bit half.
static inline Ints MulHigh16(Ints a, Ints b) { return _mm_mulhi_epu16(a, b); }
// if_set where the mask lane is all ones, if_clear where it is 0.
static inline Ints Select(Ints mask, Ints if_set, Ints if_clear) {
  return _mm_or_si128(_mm_and_si128(mask, if_set), _mm_andnot_si128(mask, if_clear));
}
// Bytes 1 and 2 of each lane become copies of byte 0, byte 3 stays; bytes 1
// and 2 must be 0.
static inline Ints SpreadLowByte(Ints a) {
  Ints low = _mm_and_si128(a, _mm_set1_epi32(0xFF));
  return _mm_or_si128(a, _mm_or_si128(_mm_slli_epi32(low, 8), _mm_slli_epi32(low, 16)));
}

static inline Floats SplatFloat(float value) { return _mm_set1_ps(value); }
static inline Floats ToFloats(Ints a) { return _mm_cvtepi32_ps(a); }
// Toward zero.
static inline Ints Truncate(Floats a) { return _mm_cvttps_epi32(a); }
static inline Floats SubFloats(Floats a, Floats b) { return _mm_sub_ps(a, b); }
static inline Floats MulFloats(Floats a, Floats b) { return _mm_mul_ps(a, b); }
static inline Floats DivFloats(Floats a, Floats b) { return _mm_div_ps(a, b); }
static inline Floats MaxFloats(Floats a, Floats b) { return _mm_max_ps(a, b); }
static inline Ints FloatsGreater(Floats a, Floats b) { return _mm_castps_si128(_mm_cmpgt_ps(a, b)); }
static inline Ints FloatsLess(Floats a, Floats b) { return _mm_castps_si128(_mm_cmplt_ps(a, b)); }
