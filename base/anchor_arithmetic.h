#pragma once
// The arithmetic behind child anchoring: how far each edge of a child moves
// when its parent's client area changes size. No platform header.
#include <cstdint>

struct AnchorRect {
  int32_t left, top, right, bottom;
};

// The part of a size change d that an edge with anchor factor f follows:
// all of it for f >= 1, the truncated product for 0 < f < 1 (a product outside
// the signed 32-bit range gives INT32_MIN), nothing for f <= 0.
int32_t AnchorShare(int32_t d, float f);

// The child's rectangle for a client-size change of (dx, dy), starting from
// the rectangle it had when it was added. Right and bottom never pass left and top.
AnchorRect ArrangeAnchoredRect(const AnchorRect& added, int32_t dx, int32_t dy, float left_factor,
                               float top_factor, float right_factor, float bottom_factor);

// Each coordinate times numerator divided by denominator (integer arithmetic,
// truncating); a denominator of 0 leaves the rectangle as it is.
AnchorRect ScaleAnchorRect(const AnchorRect& rect, int32_t numerator, int32_t denominator);
