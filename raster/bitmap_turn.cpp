#include "raster/bitmap_turn.h"

#include <algorithm>
#include <cstdint>

namespace {

// Tiles of the turns that swap sides: 64 x 64 pixels of each bitmap (16 KB
// each) stay in the first-level cache while one is read by rows and the
// other written by columns.
const int TILE = 64;

// Rows top first, whatever the bitmap's storage order.
struct Rows {
  uint32_t* bits;
  int64_t span;
  int width;
  int height;
  uint32_t* Row(int y) const { return bits + y * span; }
};

bool GetRows(Bitmap* bitmap, Rows* rows) {
  if (!bitmap || !bitmap->Bits() || bitmap->Width() <= 0 || bitmap->Height() <= 0) return false;
  rows->bits = bitmap->Bits();
  rows->span = bitmap->RowSpan();
  rows->width = bitmap->Width();
  rows->height = bitmap->Height();
  if (bitmap->IsFlipped()) {
    rows->bits += (rows->height - 1) * rows->span;
    rows->span = -rows->span;
  }
  return true;
}

void ReverseRow(uint32_t* row, int width) { std::reverse(row, row + width); }

// Swaps two rows, each reversed when mirrored.
void SwapRows(uint32_t* a, uint32_t* b, int width, bool mirrored) {
  if (mirrored) {
    for (int x = 0; x < width; ++x) std::swap(a[x], b[width - 1 - x]);
  } else {
    std::swap_ranges(a, a + width, b);
  }
}

// Rows [first, last) of the turned bitmap t from s. Turned pixel (x, y)
// comes from source column y (from the right for 7 and 8) of source row x
// (from the bottom for 6 and 7).
void TurnSides(const Rows& s, const Rows& t, int turn, int first, int last) {
  bool from_bottom = turn == TURN_90 || turn == TURN_TRANSVERSE;
  bool from_right = turn == TURN_TRANSVERSE || turn == TURN_270;
  for (int y0 = first; y0 < last; y0 += TILE) {
    int y1 = std::min(y0 + TILE, last);
    for (int x0 = 0; x0 < t.width; x0 += TILE) {
      int x1 = std::min(x0 + TILE, t.width);
      for (int x = x0; x < x1; ++x) {
        const uint32_t* source = s.Row(from_bottom ? s.height - 1 - x : x);
        uint32_t* out = t.Row(y0) + x;
        if (from_right) {
          const uint32_t* in = source + (s.width - 1 - y0);
          for (int y = y0; y < y1; ++y, out += t.span) *out = *in--;
        } else {
          const uint32_t* in = source + y0;
          for (int y = y0; y < y1; ++y, out += t.span) *out = *in++;
        }
      }
    }
  }
}

}  // namespace

bool TurnSwapsSides(int turn) { return turn >= TURN_TRANSPOSE && turn <= TURN_270; }

void TurnedSize(int turn, int width, int height, int* turned_width, int* turned_height) {
  bool swap = TurnSwapsSides(turn);
  *turned_width = swap ? height : width;
  *turned_height = swap ? width : height;
}

int TurnRowCount(int turn, int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  switch (turn) {
    case TURN_MIRROR_LEFT_RIGHT: return height;
    case TURN_180:
    case TURN_MIRROR_TOP_BOTTOM: return height / 2 + height % 2;
    default: return TurnSwapsSides(turn) ? width : 0;
  }
}

void TurnBitmapRows(Bitmap* source, Bitmap* target, int turn, int first, int count) {
  Rows s;
  if (!GetRows(source, &s)) return;
  int rows = TurnRowCount(turn, s.width, s.height);
  if (first < 0 || count <= 0 || first >= rows) return;
  int last = count > rows - first ? rows : first + count;
  if (TurnSwapsSides(turn)) {
    Rows t;
    if (!GetRows(target, &t) || t.width != s.height || t.height != s.width) return;
    TurnSides(s, t, turn, first, last);
    return;
  }
  for (int y = first; y < last; ++y) {
    int twin = s.height - 1 - y;
    if (turn == TURN_MIRROR_LEFT_RIGHT || (turn == TURN_180 && twin == y)) {
      ReverseRow(s.Row(y), s.width);
    } else if (twin != y) {
      SwapRows(s.Row(y), s.Row(twin), s.width, turn == TURN_180);
    }
  }
}

void TurnBitmap(Bitmap* source, Bitmap* target, int turn) {
  if (!source) return;
  if (TurnSwapsSides(turn)) {
    if (!target) return;
    target->Resize(source->Height(), source->Width());
  }
  TurnBitmapRows(source, target, turn, 0, TurnRowCount(turn, source->Width(), source->Height()));
}
