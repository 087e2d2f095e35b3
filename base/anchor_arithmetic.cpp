#include "base/anchor_arithmetic.h"

namespace {

// Sums wrap around like the platform's 32-bit coordinates instead of
// overflowing.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t ScaleCoordinate(int32_t value, int32_t numerator, int32_t denominator) {
  int64_t scaled = static_cast<int64_t>(value) * numerator / denominator;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(scaled)));
}

}  // namespace

int32_t AnchorShare(int32_t d, float f) {
  if (f >= 1.0f) return d;
  if (!(f > 0.0f)) return 0;   // also a NaN factor
  double product = static_cast<double>(d) * static_cast<double>(f);
  if (product >= 2147483648.0 || product <= -2147483649.0) return INT32_MIN;
  return static_cast<int32_t>(product);   // truncates toward zero
}

AnchorRect ArrangeAnchoredRect(const AnchorRect& added, int32_t dx, int32_t dy, float left_factor,
                               float top_factor, float right_factor, float bottom_factor) {
  AnchorRect r;
  r.left = WrapAdd(added.left, AnchorShare(dx, left_factor));
  r.top = WrapAdd(added.top, AnchorShare(dy, top_factor));
  r.right = WrapAdd(added.right, AnchorShare(dx, right_factor));
  r.bottom = WrapAdd(added.bottom, AnchorShare(dy, bottom_factor));
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

AnchorRect ScaleAnchorRect(const AnchorRect& rect, int32_t numerator, int32_t denominator) {
  if (denominator == 0) return rect;
  AnchorRect r;
  r.left = ScaleCoordinate(rect.left, numerator, denominator);
  r.top = ScaleCoordinate(rect.top, numerator, denominator);
  r.right = ScaleCoordinate(rect.right, numerator, denominator);
  r.bottom = ScaleCoordinate(rect.bottom, numerator, denominator);
  return r;
}
