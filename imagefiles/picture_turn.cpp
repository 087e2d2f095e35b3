#include "imagefiles/picture_turn.h"

#include <new>

#include "imagefiles/picture_decoding.h"
#include "raster/bitmap_turn.h"
#include "raster/memory_bitmap.h"

namespace {

// The kernel's tiles are 64 rows high; a step keeps to whole tiles where
// the picture is narrow enough.
const int TURN_TILE_ROWS = 64;

int TurnOf(const PictureTurn* turn) {
  return turn->orientation >= TURN_NONE && turn->orientation <= TURN_270 ? turn->orientation : TURN_NONE;
}

// Rows of a band: as many as two steps' pixels allow, at most the tile's
// 64, in whole 16s where there are as many (a turned row then gets whole
// cache lines of 16 pixels). Each turn of a band passes over all the
// picture's rows, so fewer, taller bands cost less.
int BandRows(int width, int height) {
  int64_t rows = 2 * PICTURE_STEP_PIXELS / (width > 0 ? width : 1);
  if (rows > TURN_TILE_ROWS) rows = TURN_TILE_ROWS;
  if (rows > 16) rows -= rows % 16;
  if (rows > height) rows = height;
  return rows > 1 ? static_cast<int>(rows) : 1;
}

}  // namespace

PictureTurn MakePictureTurn(int orientation) {
  PictureTurn turn = {orientation, 0, 0, false, 0, nullptr, 0};
  return turn;
}

void UprightPictureSize(const PictureTurn* turn, int width, int height, int* upright_width, int* upright_height) {
  TurnedSize(TurnOf(turn), width, height, upright_width, upright_height);
}

int64_t PictureTurnBytes(const PictureTurn* turn, int width, int height, bool whole) {
  if (!TurnSwapsSides(TurnOf(turn))) return 0;
  int64_t bytes = BitmapByteCount(width, whole ? height : BandRows(width, height));
  return bytes > 0 ? bytes : 0;
}

bool StartPictureTurn(PictureTurn* turn, Bitmap* picture, int width, int height, bool whole) {
  ReleasePictureTurn(turn);
  turn->width = width;
  turn->height = height;
  turn->whole = whole;
  turn->next_row = 0;
  turn->band_rows = whole ? height : BandRows(width, height);
  if (!picture || !TurnSwapsSides(TurnOf(turn))) return picture != nullptr;
  int rows = turn->band_rows;
  turn->unturned = new (std::nothrow) MemoryBitmap(width, rows);
  if (!turn->unturned || turn->unturned->Width() != width || turn->unturned->Height() != rows) {
    ReleasePictureTurn(turn);
    return false;
  }
  return true;
}

uint32_t* PictureTurnRow(const PictureTurn* turn, Bitmap* picture, int y) {
  if (turn->unturned) {
    int row = y % turn->band_rows;
    return turn->unturned->Bits() + int64_t(row) * turn->unturned->RowSpan();
  }
  if (picture->IsFlipped()) y = picture->Height() - 1 - y;
  return picture->Bits() + int64_t(y) * picture->RowSpan();
}

int64_t PictureTurnRowDone(PictureTurn* turn, Bitmap* picture, int y) {
  if (!turn->unturned || turn->whole) return 0;
  if (y % turn->band_rows != turn->band_rows - 1 && y != turn->height - 1) return 0;
  int first = y - y % turn->band_rows;
  int rows = y + 1 - first;
  TurnBitmapBand(turn->unturned, rows, first, turn->height, picture, TurnOf(turn));
  return int64_t(rows) * turn->width;
}

bool PictureTurnAfterRows(const PictureTurn* turn) {
  int kind = TurnOf(turn);
  return TurnSwapsSides(kind) ? turn->whole : kind != TURN_NONE;
}

bool StepPictureTurn(PictureTurn* turn, Bitmap* picture, int64_t* work) {
  *work = 0;
  int kind = TurnOf(turn);
  if (!PictureTurnAfterRows(turn)) {
    ReleasePictureTurn(turn);
    return true;
  }
  Bitmap* source = TurnSwapsSides(kind) ? turn->unturned : picture;
  if (!source) return true;
  int rows = TurnRowCount(kind, source->Width(), source->Height());
  // Pixels one row of the work moves: a row of the turned picture, a row,
  // or a pair of rows.
  int64_t row_pixels = TurnSwapsSides(kind) ? source->Height() : source->Width();
  if (kind == TURN_180 || kind == TURN_MIRROR_TOP_BOTTOM) row_pixels *= 2;
  int64_t per_step = PICTURE_STEP_PIXELS / (row_pixels > 0 ? row_pixels : 1);
  if (TurnSwapsSides(kind) && per_step >= TURN_TILE_ROWS) per_step -= per_step % TURN_TILE_ROWS;
  if (per_step < 1) per_step = 1;
  int count = per_step < rows - turn->next_row ? static_cast<int>(per_step) : rows - turn->next_row;
  TurnBitmapRows(source, picture, kind, turn->next_row, count);
  turn->next_row += count;
  *work = int64_t(count) * row_pixels;
  if (turn->next_row < rows) return false;
  ReleasePictureTurn(turn);
  return true;
}

void ReleasePictureTurn(PictureTurn* turn) {
  delete turn->unturned;
  turn->unturned = nullptr;
}
