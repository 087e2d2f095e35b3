#include "raster/bitmap_turn.h"

#include <algorithm>
#include <cstdint>

#include "raster/blitting.h"

namespace {

// Tiles of the turns that swap sides: 64 x 64 pixels of each bitmap (16 KB
// each) stay in the first-level cache while one is read across its rows and
// the other written along them.
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

// The turned bitmap t from the stored rows [s_first, s_first + s.height)
// of a stored picture of s_height rows held in s: turned rows [y_begin,
// y_end), columns [x_begin, x_end). Turned pixel (x, y) comes from stored
// column y (from the right for 7 and 8) of stored row x (from the bottom
// for 6 and 7). Tile by tile, through the transposing kernel of the
// quarter-turn copies (four by four pixels at once where the processor can).
void TurnSides(const Rows& s, int s_first, int s_height, const Rows& t, int turn, int x_begin, int x_end, int y_begin,
               int y_end) {
  bool from_bottom = turn == TURN_90 || turn == TURN_TRANSVERSE;
  bool from_right = turn == TURN_TRANSVERSE || turn == TURN_270;
  for (int y0 = y_begin; y0 < y_end; y0 += TILE) {
    int y1 = std::min(y0 + TILE, y_end);
    for (int x0 = x_begin; x0 < x_end; x0 += TILE) {
      int x1 = std::min(x0 + TILE, x_end);
      const uint32_t* corner = s.Row((from_bottom ? s_height - 1 - x0 : x0) - s_first) + (from_right ? s.width - 1 - y0 : y0);
      // The turned picture is not read again before it is shown.
      TransposePixels(t.Row(y0) + x0, t.span, corner, from_bottom ? -s.span : s.span, from_right ? -1 : 1, x1 - x0,
                      y1 - y0, true);
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
    TurnSides(s, 0, s.height, t, turn, 0, t.width, first, last);
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

void TurnBitmapBand(Bitmap* band, int rows, int first, int height, Bitmap* target, int turn) {
  Rows s, t;
  if (!TurnSwapsSides(turn) || !GetRows(band, &s) || !GetRows(target, &t)) return;
  if (rows < 1 || rows > s.height || t.width != height || t.height != s.width || first < 0 || first > height - rows)
    return;
  s.height = rows;
  bool from_bottom = turn == TURN_90 || turn == TURN_TRANSVERSE;
  int x_begin = from_bottom ? height - first - s.height : first;
  TurnSides(s, first, height, t, turn, x_begin, x_begin + s.height, 0, t.height);
}

void TurnBitmap(Bitmap* source, Bitmap* target, int turn) {
  if (!source) return;
  if (TurnSwapsSides(turn)) {
    if (!target) return;
    target->Resize(source->Height(), source->Width());
  }
  TurnBitmapRows(source, target, turn, 0, TurnRowCount(turn, source->Width(), source->Height()));
}
