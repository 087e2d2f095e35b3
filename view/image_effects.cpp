#include "view/image_effects.h"

#include <cmath>

#include "raster/blitting.h"
#include "raster/cpu_features.h"

#ifdef VISTREL_X86_SIMD
#include <immintrin.h>
#endif

namespace {

const uint32_t ALPHA_MASK = 0xFF000000;
const uint32_t OPAQUE_BLACK = 0xFF000000;

// Single-precision quarter, half and three-quarter turns.
const float ANGLE_90 = 1.5707964f;
const float ANGLE_180 = 3.1415927f;
const float ANGLE_270 = 4.712389f;

// ---- Log transformation table ----------------------------------------------------

struct LogTable {
  uint8_t value[256];
  LogTable() {
    const double k = 255.0 / std::log(256.0);
    for (int c = 0; c < 256; ++c) value[c] = static_cast<uint8_t>(static_cast<int>(std::log(c + 1.0) * k));
  }
};

const LogTable& GetLogTable() {
  static const LogTable table;
  return table;
}

// ---- Illinify reciprocals ---------------------------------------------------------

// t[0] = 0 and t[x] = 65536 / x - 1: 16-bit reciprocals that turn the hue and
// saturation divisions into multiplications.
struct ReciprocalTable {
  int value[256];
  ReciprocalTable() {
    value[0] = 0;
    for (int x = 1; x < 256; ++x) value[x] = 65536 / x - 1;
  }
};

const ReciprocalTable& GetReciprocalTable() {
  static const ReciprocalTable table;
  return table;
}

uint32_t Illinify(uint32_t pixel, const int* t) {
  int r = (pixel >> 16) & 0xFF;
  int g = (pixel >> 8) & 0xFF;
  int b = pixel & 0xFF;
  // Hue on a circle of 384 steps (0 red, 128 green, 256 blue) and saturation 0..255.
  int v, delta, h;
  if (g > r) {
    if (g > b) {
      v = g;
      delta = g - (b < r ? b : r);
      h = 128 + (b - r) * (t[delta] + 1) / 1024;
    } else {
      v = b;
      delta = b - r;
      h = 256 + (r - g) * (t[delta] + 1) / 1024;
    }
  } else if (r > b) {
    v = r;
    if (g < b) {
      delta = r - g;
      h = 383 + (g - b) * (t[delta] + 1) / 1024;
    } else {
      delta = r - b;
      h = (g - b) * (t[delta] + 1) / 1024;
    }
  } else {
    v = b;
    delta = b - (r < g ? r : g);
    h = 256 + (r - g) * (t[delta] + 1) / 1024;
  }
  int s = delta * t[v] / 256;
  int red, green, blue;
  if (h >= 114 && h <= 293) {
    // Greens, cyans and blues turn blue.
    red = (256 - s) * v / 256;
    green = (16384 - 24 * s) * v / 16384;
    blue = v;
  } else {
    // Reds, yellows and magentas turn orange.
    red = v;
    green = (16384 - 53 * s) * v / 16384;
    blue = (256 - s) * v / 256;
  }
  return (pixel & ALPHA_MASK) | static_cast<uint32_t>(red << 16 | green << 8 | blue);
}

// ---- Spans ----------------------------------------------------------------------------

void BlackAndWhiteSpanScalar(uint32_t* p, int count) {
  for (int i = 0; i < count; ++i) BlackAndWhitePixel(p + i, nullptr);
}

void NegativeSpanScalar(uint32_t* p, int count) {
  for (int i = 0; i < count; ++i) p[i] ^= 0x00FFFFFF;
}

void LogSpanScalar(uint32_t* p, int count) {
  const uint8_t* t = GetLogTable().value;
  for (int i = 0; i < count; ++i) {
    uint32_t q = p[i];
    p[i] = (q & ALPHA_MASK) | static_cast<uint32_t>(t[(q >> 16) & 0xFF]) << 16 |
           static_cast<uint32_t>(t[(q >> 8) & 0xFF]) << 8 | t[q & 0xFF];
  }
}

void IllinifySpanScalar(uint32_t* p, int count) {
  const int* t = GetReciprocalTable().value;
  for (int i = 0; i < count; ++i) p[i] = Illinify(p[i], t);
}

#ifdef VISTREL_X86_SIMD
// (b + g + r) / 3 four pixels at a time: b + r by one multiply-add of the
// 16-bit halves, and the division as (sum * 0xAAAB) >> 17, exact for sums up to 765.
inline __m128i BlackAndWhiteSse2(__m128i p) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  __m128i sum = _mm_madd_epi16(_mm_and_si128(p, _mm_set1_epi32(0x00FF00FF)), _mm_set1_epi16(1));
  sum = _mm_add_epi32(sum, _mm_and_si128(_mm_srli_epi32(p, 8), byte));
  __m128i gray = _mm_srli_epi32(_mm_mulhi_epu16(sum, _mm_set1_epi32(0xAAAB)), 1);
  __m128i rgb = _mm_or_si128(_mm_or_si128(gray, _mm_slli_epi32(gray, 8)), _mm_slli_epi32(gray, 16));
  return _mm_or_si128(rgb, _mm_and_si128(p, _mm_set1_epi32(static_cast<int>(ALPHA_MASK))));
}

void BlackAndWhiteSpanSse2(uint32_t* p, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i* q = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(q, BlackAndWhiteSse2(_mm_loadu_si128(q)));
  }
  BlackAndWhiteSpanScalar(p + i, count - i);
}

VISTREL_TARGET_AVX2 void BlackAndWhiteSpanAvx2(uint32_t* p, int count) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256i low_and_high = _mm256_set1_epi32(0x00FF00FF);
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i third = _mm256_set1_epi32(0xAAAB);
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(ALPHA_MASK));
  // Copies byte 0 of each pixel into bytes 1 and 2, keeps byte 3.
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 3, 4, 4, 4, 7, 8, 8, 8, 11, 12, 12, 12, 15, 0, 0, 0, 3, 4, 4, 4,
                                          7, 8, 8, 8, 11, 12, 12, 12, 15);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i* q = reinterpret_cast<__m256i*>(p + i);
    __m256i v = _mm256_loadu_si256(q);
    __m256i sum = _mm256_madd_epi16(_mm256_and_si256(v, low_and_high), ones);
    sum = _mm256_add_epi32(sum, _mm256_and_si256(_mm256_srli_epi32(v, 8), byte));
    __m256i gray = _mm256_srli_epi32(_mm256_mulhi_epu16(sum, third), 1);
    _mm256_storeu_si256(q, _mm256_shuffle_epi8(_mm256_or_si256(gray, _mm256_and_si256(v, alpha)), spread));
  }
  BlackAndWhiteSpanScalar(p + i, count - i);
}

void NegativeSpanSse2(uint32_t* p, int count) {
  const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i* q = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(q, _mm_xor_si128(_mm_loadu_si128(q), colours));
  }
  NegativeSpanScalar(p + i, count - i);
}

VISTREL_TARGET_AVX2 void NegativeSpanAvx2(uint32_t* p, int count) {
  const __m256i colours = _mm256_set1_epi32(0x00FFFFFF);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i* q = reinterpret_cast<__m256i*>(p + i);
    _mm256_storeu_si256(q, _mm256_xor_si256(_mm256_loadu_si256(q), colours));
  }
  NegativeSpanScalar(p + i, count - i);
}

// The 256-byte table lives in four registers; two two-register byte
// permutations look up the low and the high half, bit 7 picks between them.
VISTREL_TARGET_AVX512 void LogSpanAvx512(uint32_t* p, int count) {
  const uint8_t* t = GetLogTable().value;
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

// Illinify on four pixels in single-precision lanes. Every product below is an
// integer under 2^24, so it is exact, and the divisions by powers of two are
// exact too; 65536 / x rounded down is exact as well, as the quotient is never
// within rounding distance of the next integer. The hue itself is not needed,
// only whether it lies in 114..293:
// - green largest (g > r, g > b): h = 128 + (b - r) m / 1024 with m = t[delta] + 1,
//   in range exactly when (b - r) m > -15 * 1024;
// - blue largest (g > r, g <= b, or g <= r <= b): h = 256 + (r - g) m / 1024,
//   in range exactly when (r - g) m < 38 * 1024;
// - red largest (g <= r, r > b): h lies in 0..64 or 319..383, never in range.
inline __m128i IllinifySse2(__m128i p) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 full = _mm_set1_ps(65536.0f);
  __m128i b = _mm_and_si128(p, byte);
  __m128i g = _mm_and_si128(_mm_srli_epi32(p, 8), byte);
  __m128i r = _mm_and_si128(_mm_srli_epi32(p, 16), byte);
  // The upper 16 bits of each lane are 0, so 16-bit maximum and minimum serve.
  __m128i v = _mm_max_epi16(_mm_max_epi16(r, g), b);
  __m128i delta = _mm_sub_epi32(v, _mm_min_epi16(_mm_min_epi16(r, g), b));
  __m128 vf = _mm_cvtepi32_ps(v);
  __m128 df = _mm_cvtepi32_ps(delta);
  __m128 rf = _mm_cvtepi32_ps(r);
  __m128 gf = _mm_cvtepi32_ps(g);
  __m128 bf = _mm_cvtepi32_ps(b);
  // With delta = 0 (or v = 0) every product the factor enters is 0, so 1 stands in.
  __m128 m = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_div_ps(full, _mm_max_ps(df, one))));
  __m128 tv = _mm_sub_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_div_ps(full, _mm_max_ps(vf, one)))), one);
  __m128 s = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_mul_ps(_mm_mul_ps(df, tv), _mm_set1_ps(1.0f / 256))));

  __m128i g_over_r = _mm_cmpgt_epi32(g, r);
  __m128i g_over_b = _mm_cmpgt_epi32(g, b);
  __m128i r_over_b = _mm_cmpgt_epi32(r, b);
  __m128i green_largest = _mm_and_si128(g_over_r, g_over_b);
  __m128i blue_largest = _mm_or_si128(_mm_andnot_si128(g_over_b, g_over_r),
                                      _mm_andnot_si128(_mm_or_si128(g_over_r, r_over_b), _mm_set1_epi32(-1)));
  __m128i green_in = _mm_castps_si128(_mm_cmpgt_ps(_mm_mul_ps(_mm_sub_ps(bf, rf), m), _mm_set1_ps(-15360.0f)));
  __m128i blue_in = _mm_castps_si128(_mm_cmplt_ps(_mm_mul_ps(_mm_sub_ps(rf, gf), m), _mm_set1_ps(38912.0f)));
  __m128i cool = _mm_or_si128(_mm_and_si128(green_largest, green_in), _mm_and_si128(blue_largest, blue_in));

  __m128i scaled = _mm_cvttps_epi32(_mm_mul_ps(_mm_mul_ps(_mm_sub_ps(_mm_set1_ps(256.0f), s), vf),
                                               _mm_set1_ps(1.0f / 256)));
  __m128i cool_green = _mm_cvttps_epi32(_mm_mul_ps(
      _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(16384.0f), _mm_mul_ps(_mm_set1_ps(24.0f), s)), vf), _mm_set1_ps(1.0f / 16384)));
  __m128i warm_green = _mm_cvttps_epi32(_mm_mul_ps(
      _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(16384.0f), _mm_mul_ps(_mm_set1_ps(53.0f), s)), vf), _mm_set1_ps(1.0f / 16384)));
  __m128i red = _mm_or_si128(_mm_and_si128(cool, scaled), _mm_andnot_si128(cool, v));
  __m128i green = _mm_or_si128(_mm_and_si128(cool, cool_green), _mm_andnot_si128(cool, warm_green));
  __m128i blue = _mm_or_si128(_mm_and_si128(cool, v), _mm_andnot_si128(cool, scaled));
  __m128i rgb = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(green, 8)), blue);
  return _mm_or_si128(rgb, _mm_and_si128(p, _mm_set1_epi32(static_cast<int>(ALPHA_MASK))));
}

void IllinifySpanSse2(uint32_t* p, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i* q = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(q, IllinifySse2(_mm_loadu_si128(q)));
  }
  IllinifySpanScalar(p + i, count - i);
}

// The same computation as IllinifySse2 on eight pixels.
VISTREL_TARGET_AVX2 void IllinifySpanAvx2(uint32_t* p, int count) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256 one = _mm256_set1_ps(1.0f);
  const __m256 full = _mm256_set1_ps(65536.0f);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i* q = reinterpret_cast<__m256i*>(p + i);
    __m256i px = _mm256_loadu_si256(q);
    __m256i b = _mm256_and_si256(px, byte);
    __m256i g = _mm256_and_si256(_mm256_srli_epi32(px, 8), byte);
    __m256i r = _mm256_and_si256(_mm256_srli_epi32(px, 16), byte);
    __m256i v = _mm256_max_epi32(_mm256_max_epi32(r, g), b);
    __m256i delta = _mm256_sub_epi32(v, _mm256_min_epi32(_mm256_min_epi32(r, g), b));
    __m256 vf = _mm256_cvtepi32_ps(v);
    __m256 df = _mm256_cvtepi32_ps(delta);
    __m256 rf = _mm256_cvtepi32_ps(r);
    __m256 gf = _mm256_cvtepi32_ps(g);
    __m256 bf = _mm256_cvtepi32_ps(b);
    __m256 m = _mm256_cvtepi32_ps(_mm256_cvttps_epi32(_mm256_div_ps(full, _mm256_max_ps(df, one))));
    __m256 tv =
        _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_cvttps_epi32(_mm256_div_ps(full, _mm256_max_ps(vf, one)))), one);
    __m256 s =
        _mm256_cvtepi32_ps(_mm256_cvttps_epi32(_mm256_mul_ps(_mm256_mul_ps(df, tv), _mm256_set1_ps(1.0f / 256))));

    __m256i g_over_r = _mm256_cmpgt_epi32(g, r);
    __m256i g_over_b = _mm256_cmpgt_epi32(g, b);
    __m256i r_over_b = _mm256_cmpgt_epi32(r, b);
    __m256i green_largest = _mm256_and_si256(g_over_r, g_over_b);
    __m256i blue_largest =
        _mm256_or_si256(_mm256_andnot_si256(g_over_b, g_over_r),
                        _mm256_andnot_si256(_mm256_or_si256(g_over_r, r_over_b), _mm256_set1_epi32(-1)));
    __m256i green_in = _mm256_castps_si256(
        _mm256_cmp_ps(_mm256_mul_ps(_mm256_sub_ps(bf, rf), m), _mm256_set1_ps(-15360.0f), _CMP_GT_OQ));
    __m256i blue_in = _mm256_castps_si256(
        _mm256_cmp_ps(_mm256_mul_ps(_mm256_sub_ps(rf, gf), m), _mm256_set1_ps(38912.0f), _CMP_LT_OQ));
    __m256i cool =
        _mm256_or_si256(_mm256_and_si256(green_largest, green_in), _mm256_and_si256(blue_largest, blue_in));

    __m256i scaled = _mm256_cvttps_epi32(
        _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(256.0f), s), vf), _mm256_set1_ps(1.0f / 256)));
    __m256i cool_green = _mm256_cvttps_epi32(_mm256_mul_ps(
        _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(16384.0f), _mm256_mul_ps(_mm256_set1_ps(24.0f), s)), vf),
        _mm256_set1_ps(1.0f / 16384)));
    __m256i warm_green = _mm256_cvttps_epi32(_mm256_mul_ps(
        _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(16384.0f), _mm256_mul_ps(_mm256_set1_ps(53.0f), s)), vf),
        _mm256_set1_ps(1.0f / 16384)));
    __m256i red = _mm256_blendv_epi8(v, scaled, cool);
    __m256i green = _mm256_blendv_epi8(warm_green, cool_green, cool);
    __m256i blue = _mm256_blendv_epi8(scaled, v, cool);
    __m256i rgb = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(red, 16), _mm256_slli_epi32(green, 8)), blue);
    _mm256_storeu_si256(
        q, _mm256_or_si256(rgb, _mm256_and_si256(px, _mm256_set1_epi32(static_cast<int>(ALPHA_MASK)))));
  }
  IllinifySpanScalar(p + i, count - i);
}
#endif

void BlackAndWhiteSpan(uint32_t* p, int count, void*) {
#ifdef VISTREL_X86_SIMD
  if (ActiveSimdLevel() >= SIMD_AVX2) return BlackAndWhiteSpanAvx2(p, count);
  return BlackAndWhiteSpanSse2(p, count);
#else
  BlackAndWhiteSpanScalar(p, count);
#endif
}

void NegativeSpan(uint32_t* p, int count, void*) {
#ifdef VISTREL_X86_SIMD
  if (ActiveSimdLevel() >= SIMD_AVX2) return NegativeSpanAvx2(p, count);
  return NegativeSpanSse2(p, count);
#else
  NegativeSpanScalar(p, count);
#endif
}

void LogSpan(uint32_t* p, int count, void*) {
#ifdef VISTREL_X86_SIMD
  if (ActiveSimdLevel() >= SIMD_AVX512) return LogSpanAvx512(p, count);
#endif
  LogSpanScalar(p, count);
}

void IllinifySpan(uint32_t* p, int count, void*) {
#ifdef VISTREL_X86_SIMD
  if (ActiveSimdLevel() >= SIMD_AVX2) return IllinifySpanAvx2(p, count);
  return IllinifySpanSse2(p, count);
#else
  IllinifySpanScalar(p, count);
#endif
}

// ---- Mirroring in place ----------------------------------------------------------------

// Reverses p[0..count-1].
void ReverseInPlace(uint32_t* p, int count) {
  int i = 0, j = count - 1;
#ifdef VISTREL_X86_SIMD
  for (; j - i + 1 >= 8; i += 4, j -= 4) {
    __m128i* left = reinterpret_cast<__m128i*>(p + i);
    __m128i* right = reinterpret_cast<__m128i*>(p + j - 3);
    __m128i a = _mm_loadu_si128(left), b = _mm_loadu_si128(right);
    _mm_storeu_si128(left, _mm_shuffle_epi32(b, _MM_SHUFFLE(0, 1, 2, 3)));
    _mm_storeu_si128(right, _mm_shuffle_epi32(a, _MM_SHUFFLE(0, 1, 2, 3)));
  }
#endif
  for (; i < j; ++i, --j) {
    uint32_t t = p[i];
    p[i] = p[j];
    p[j] = t;
  }
}

void SwapPixels(uint32_t* a, uint32_t* b, int count) {
  int i = 0;
#ifdef VISTREL_X86_SIMD
  for (; i + 4 <= count; i += 4) {
    __m128i* pa = reinterpret_cast<__m128i*>(a + i);
    __m128i* pb = reinterpret_cast<__m128i*>(b + i);
    __m128i va = _mm_loadu_si128(pa), vb = _mm_loadu_si128(pb);
    _mm_storeu_si128(pa, vb);
    _mm_storeu_si128(pb, va);
  }
#endif
  for (; i < count; ++i) {
    uint32_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

// The mirrored copy of a W x H frame onto itself cleared takes destination
// column x from column W - x and leaves column 0 black (row y from H - y and
// row 0 for the vertical flip): the same pixels come from swapping in place,
// without the copy and the clear. Exact while W and H are exact as floats.
bool CanMirrorInPlace(Bitmap* frame) {
  return ActiveSimdLevel() != SIMD_SCALAR && frame && frame->Bits() && frame->Width() > 0 &&
         frame->Height() > 0 && frame->Width() < (1 << 24) && frame->Height() < (1 << 24);
}

void MirrorRowsInPlace(Bitmap* frame) {
  int w = frame->Width(), h = frame->Height(), span = frame->RowSpan();
  uint32_t* bits = frame->Bits();
  for (int y = 1; y < h - y; ++y)
    SwapPixels(bits + static_cast<size_t>(y) * span, bits + static_cast<size_t>(h - y) * span, w);
  for (int x = 0; x < w; ++x) bits[x] = OPAQUE_BLACK;
}

void MirrorColumnsInPlace(Bitmap* frame) {
  int w = frame->Width(), h = frame->Height(), span = frame->RowSpan();
  for (int y = 0; y < h; ++y) {
    uint32_t* row = frame->Bits() + static_cast<size_t>(y) * span;
    ReverseInPlace(row + 1, w - 1);
    row[0] = OPAQUE_BLACK;
  }
}

// At the scalar level every effect goes pixel by pixel through its reference function.
void ApplyPixelEffect(Bitmap* frame, int x, int y, int width, int height, PixelFunction pixel_function,
                      SpanFunction span_function) {
  if (ActiveSimdLevel() == SIMD_SCALAR)
    ApplyToRect(frame, x, y, width, height, pixel_function);
  else
    ApplyToRectSpans(frame, x, y, width, height, span_function, nullptr);
}

// The frame copied into scratch and cleared, ready to be drawn back; false
// when there is nothing to draw from.
bool PrepareRedraw(Bitmap* frame, Bitmap* scratch) {
  if (!frame || !scratch || !frame->Bits()) return false;
  CopyBitmap(scratch, frame);
  ClearBitmap(frame, OPAQUE_BLACK);
  return true;
}

}  // namespace

// ---- Pixel functions --------------------------------------------------------------------

void BlackAndWhitePixel(uint32_t* pixel, void* context) {
  uint32_t p = *pixel;
  uint32_t gray = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
  *pixel = (p & ALPHA_MASK) | gray << 16 | gray << 8 | gray;
}

void NegativePixel(uint32_t* pixel, void* context) {
  uint32_t p = *pixel;
  uint32_t r = 255 - ((p >> 16) & 0xFF), g = 255 - ((p >> 8) & 0xFF), b = 255 - (p & 0xFF);
  *pixel = (p & ALPHA_MASK) | r << 16 | g << 8 | b;
}

void LogTransformationPixel(uint32_t* pixel, void* context) {
  const uint8_t* t = GetLogTable().value;
  uint32_t p = *pixel;
  *pixel = (p & ALPHA_MASK) | static_cast<uint32_t>(t[(p >> 16) & 0xFF]) << 16 |
           static_cast<uint32_t>(t[(p >> 8) & 0xFF]) << 8 | t[p & 0xFF];
}

void IllinifyPixel(uint32_t* pixel, void* context) { *pixel = Illinify(*pixel, GetReciprocalTable().value); }

// ---- Effects ------------------------------------------------------------------------------

void ApplyBlackAndWhite(Bitmap* frame, int x, int y, int width, int height) {
  ApplyPixelEffect(frame, x, y, width, height, BlackAndWhitePixel, BlackAndWhiteSpan);
}

void ApplyNegative(Bitmap* frame, int x, int y, int width, int height) {
  ApplyPixelEffect(frame, x, y, width, height, NegativePixel, NegativeSpan);
}

void ApplyLogTransformation(Bitmap* frame, int x, int y, int width, int height) {
  ApplyPixelEffect(frame, x, y, width, height, LogTransformationPixel, LogSpan);
}

void ApplyIllinify(Bitmap* frame, int x, int y, int width, int height) {
  ApplyPixelEffect(frame, x, y, width, height, IllinifyPixel, IllinifySpan);
}

void ApplyBlur(Bitmap* frame) {
  if (!frame) return;
  BlurBitmap(frame, frame, frame->Width(), frame->Height());
}

// A mirrored copy: destination row 0 samples just outside the source and stays
// black, row y takes source row H - y.
void ApplyFlipVertically(Bitmap* frame, Bitmap* scratch) {
  if (CanMirrorInPlace(frame)) return MirrorRowsInPlace(frame);
  if (!PrepareRedraw(frame, scratch)) return;
  int w = frame->Width(), h = frame->Height();
  float sw = static_cast<float>(scratch->Width()), sh = static_cast<float>(scratch->Height());
  StretchBlitBitmap(frame, scratch, 0, h, w, -h, 0.0f, 0.0f, sw, sh, 1.0f, BLEND_COPY);
}

void ApplyFlipHorizontally(Bitmap* frame, Bitmap* scratch) {
  if (CanMirrorInPlace(frame)) return MirrorColumnsInPlace(frame);
  if (!PrepareRedraw(frame, scratch)) return;
  int w = frame->Width(), h = frame->Height();
  float sw = static_cast<float>(scratch->Width()), sh = static_cast<float>(scratch->Height());
  StretchBlitBitmap(frame, scratch, w, 0, -w, h, 0.0f, 0.0f, sw, sh, 1.0f, BLEND_COPY);
}

void ApplyRotation(Bitmap* frame, Bitmap* scratch, int degrees) {
  float angle;
  switch (degrees) {
    case 90: angle = ANGLE_90; break;
    case 180: angle = ANGLE_180; break;
    case 270: angle = ANGLE_270; break;
    default: return;
  }
  if (!PrepareRedraw(frame, scratch)) return;
  int w = frame->Width(), h = frame->Height();
  float sw = static_cast<float>(scratch->Width()), sh = static_cast<float>(scratch->Height());
  RotateBlitBitmap(frame, scratch, 0, 0, w, h, 0.0f, 0.0f, sw, sh, angle, true, 1.0f, BLEND_COPY, 0.0f, 0.0f);
}

void ApplyEffects(Bitmap* frame, Bitmap* scratch, int x, int y, int width, int height, const EffectSwitches& effects) {
  if (effects.black_and_white) ApplyBlackAndWhite(frame, x, y, width, height);
  if (effects.blur) ApplyBlur(frame);
  if (effects.flip_vertically) ApplyFlipVertically(frame, scratch);
  if (effects.flip_horizontally) ApplyFlipHorizontally(frame, scratch);
  if (effects.negative) ApplyNegative(frame, x, y, width, height);
  if (effects.log_transformation) ApplyLogTransformation(frame, x, y, width, height);
  if (effects.illinify) ApplyIllinify(frame, x, y, width, height);
  if (effects.rotation != 0) ApplyRotation(frame, scratch, effects.rotation);
}
