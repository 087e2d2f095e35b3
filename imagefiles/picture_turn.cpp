#include "imagefiles/picture_turn.h"

#include <new>

#include "imagefiles/picture_decoding.h"
#include "raster/bitmap_turn.h"
#include "raster/memory_bitmap.h"

namespace {

// The turns that swap sides work in tiles of this many rows; a step keeps
// to whole tiles where the picture is narrow enough.
const int TURN_TILE_ROWS = 64;

int TurnOf(const PictureTurn* turn) {
  return turn->orientation >= TURN_NONE && turn->orientation <= TURN_270 ? turn->orientation : TURN_NONE;
}

}  // namespace

PictureTurn MakePictureTurn(int orientation) {
  PictureTurn turn = {orientation, nullptr, 0};
  return turn;
}

bool PictureTurnNeeded(const PictureTurn* turn) { return TurnOf(turn) != TURN_NONE; }

void UprightPictureSize(const PictureTurn* turn, int width, int height, int* upright_width, int* upright_height) {
  TurnedSize(TurnOf(turn), width, height, upright_width, upright_height);
}

int64_t PictureTurnBytes(const PictureTurn* turn, int width, int height) {
  if (!TurnSwapsSides(TurnOf(turn))) return 0;
  int64_t bytes = BitmapByteCount(width, height);
  return bytes > 0 ? bytes : 0;
}

Bitmap* PictureTurnRows(PictureTurn* turn, Bitmap* picture, int width, int height) {
  if (!TurnSwapsSides(TurnOf(turn))) return picture;
  ReleasePictureTurn(turn);
  turn->unturned = new (std::nothrow) MemoryBitmap(width, height);
  if (!turn->unturned || turn->unturned->Width() != width || turn->unturned->Height() != height) {
    ReleasePictureTurn(turn);
    return nullptr;
  }
  return turn->unturned;
}

bool StepPictureTurn(PictureTurn* turn, Bitmap* picture, int64_t* work) {
  *work = 0;
  int kind = TurnOf(turn);
  Bitmap* source = TurnSwapsSides(kind) ? turn->unturned : picture;
  if (!source || kind == TURN_NONE) return true;
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
