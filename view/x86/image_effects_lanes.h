// The effect spans that SSE2 and AVX2 do alike, written once in the lane
// vocabulary: image_effects_sse2.cpp and image_effects_avx2.cpp include this
// after raster/x86/lanes_sse2.h or lanes_avx2.h, and each gets its own copy.
#pragma once

#include <cstdint>

#include "view/image_effects_kernels.h"

// (b + g + r) / 3: b + r by one multiply-add of the 16-bit halves, and the
// division as (sum * 0xAAAB) >> 17, exact for sums up to 765.
static inline Ints BlackAndWhiteLanes(Ints p) {
  Ints sum = Add(SumOfHalves(And(p, Splat(0x00FF00FF))), And(ShiftRight(p, 8), Splat(0xFF)));
  Ints gray = ShiftRight(MulHigh16(sum, Splat(0xAAAB)), 1);
  return SpreadLowByte(Or(gray, And(p, Splat(ALPHA_MASK))));
}

// Illinify in single-precision lanes. Every product below is an integer under
// 2^24, so it is exact, and the divisions by powers of two are exact too;
// 65536 / x rounded down is exact as well, as the quotient is never within
// rounding distance of the next integer. The hue itself is not needed, only
// whether it lies in 114..293:
// - green largest (g > r, g > b): h = 128 + (b - r) m / 1024 with m = t[delta] + 1,
//   in range exactly when (b - r) m > -15 * 1024;
// - blue largest (g > r, g <= b, or g <= r <= b): h = 256 + (r - g) m / 1024,
//   in range exactly when (r - g) m < 38 * 1024;
// - red largest (g <= r, r > b): h lies in 0..64 or 319..383, never in range.

// (16384 - weight * s) * v / 16384, truncated: the green of either side.
static inline Ints IllinifyGreen(Floats s, Floats v, float weight) {
  Floats factor = SubFloats(SplatFloat(16384.0f), MulFloats(SplatFloat(weight), s));
  return Truncate(MulFloats(MulFloats(factor, v), SplatFloat(1.0f / 16384)));
}

static inline Ints IllinifyLanes(Ints p) {
  const Floats one = SplatFloat(1.0f);
  const Floats full = SplatFloat(65536.0f);
  Ints b = And(p, Splat(0xFF));
  Ints g = And(ShiftRight(p, 8), Splat(0xFF));
  Ints r = And(ShiftRight(p, 16), Splat(0xFF));
  Ints v = MaxOfSmall(MaxOfSmall(r, g), b);
  Ints delta = Sub(v, MinOfSmall(MinOfSmall(r, g), b));
  Floats vf = ToFloats(v);
  Floats df = ToFloats(delta);
  Floats rf = ToFloats(r);
  Floats gf = ToFloats(g);
  Floats bf = ToFloats(b);
  // With delta = 0 (or v = 0) every product the factor enters is 0, so 1 stands in.
  Floats m = ToFloats(Truncate(DivFloats(full, MaxFloats(df, one))));
  Floats tv = SubFloats(ToFloats(Truncate(DivFloats(full, MaxFloats(vf, one)))), one);
  Floats s = ToFloats(Truncate(MulFloats(MulFloats(df, tv), SplatFloat(1.0f / 256))));

  Ints g_over_r = Greater(g, r);
  Ints g_over_b = Greater(g, b);
  Ints r_over_b = Greater(r, b);
  Ints green_largest = And(g_over_r, g_over_b);
  Ints blue_largest = Or(AndNot(g_over_b, g_over_r), AndNot(Or(g_over_r, r_over_b), Splat(0xFFFFFFFF)));
  Ints green_in = FloatsGreater(MulFloats(SubFloats(bf, rf), m), SplatFloat(-15360.0f));
  Ints blue_in = FloatsLess(MulFloats(SubFloats(rf, gf), m), SplatFloat(38912.0f));
  Ints cool = Or(And(green_largest, green_in), And(blue_largest, blue_in));

  // Cool colours turn blue, warm ones orange.
  Ints scaled = Truncate(MulFloats(MulFloats(SubFloats(SplatFloat(256.0f), s), vf), SplatFloat(1.0f / 256)));
  Ints red = Select(cool, scaled, v);
  Ints green = Select(cool, IllinifyGreen(s, vf, 24.0f), IllinifyGreen(s, vf, 53.0f));
  Ints blue = Select(cool, v, scaled);
  Ints rgb = Or(Or(ShiftLeft(red, 16), ShiftLeft(green, 8)), blue);
  return Or(rgb, And(p, Splat(ALPHA_MASK)));
}

// The spans: whole vectors, then the scalar reference for the rest.

static void BlackAndWhiteSpanLanes(uint32_t* p, int count, void*) {
  int i = 0;
  for (; i + LANES <= count; i += LANES) Store(p + i, BlackAndWhiteLanes(Load(p + i)));
  BlackAndWhiteSpanScalar(p + i, count - i, nullptr);
}

static void NegativeSpanLanes(uint32_t* p, int count, void*) {
  const Ints colours = Splat(0x00FFFFFF);
  int i = 0;
  for (; i + LANES <= count; i += LANES) Store(p + i, Xor(Load(p + i), colours));
  NegativeSpanScalar(p + i, count - i, nullptr);
}

static void IllinifySpanLanes(uint32_t* p, int count, void*) {
  int i = 0;
  for (; i + LANES <= count; i += LANES) Store(p + i, IllinifyLanes(Load(p + i)));
  IllinifySpanScalar(p + i, count - i, nullptr);
}
