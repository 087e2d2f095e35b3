// A decoded picture turned upright as its file's Exif orientation says,
// as part of its decoding and in steps of bounded work. Needs no Windows
// header.
//
// The JPEG and PNG decodings size the picture's bitmap upright from the
// start and ask here where each stored row goes:
// - orientations 1 to 4 keep the sides: the rows go straight into the
//   picture, which is turned in place after the last row, in steps;
// - 5 to 8 swap them: the rows go into a band of stored rows (as many as
//   two steps' pixels, at most 64), turned into the picture each time it
//   is full, so that no second block of the picture's size is taken (a
//   fresh block costs more to touch than the turn itself);
// - except when the rows do not come in order (an interlaced PNG): then
//   they go into a block of the stored size, turned into the picture after
//   the last row, in steps, and freed.
#pragma once

#include <cstdint>

class Bitmap;
class MemoryBitmap;

struct PictureTurn {
  int orientation;         // 1 to 8 (BitmapTurn); anything else is upright
  int width, height;       // of the stored picture
  bool whole;              // the stored rows are kept whole until the last
  int band_rows;           // rows the band holds (all of them when whole)
  MemoryBitmap* unturned;  // 5 to 8: the band, or the whole block (owned)
  int next_row;            // of the turn's work after the last row
};

// A turn for the orientation read from the file.
PictureTurn MakePictureTurn(int orientation);

// The picture's upright size from its stored size.
void UprightPictureSize(const PictureTurn* turn, int width, int height, int* upright_width, int* upright_height);

// Bytes the turn takes besides the picture: the band or the whole block
// (0 when it turns in place). whole: the rows do not come in order.
int64_t PictureTurnBytes(const PictureTurn* turn, int width, int height, bool whole);

// Once picture has its upright size: takes the band or the block of the
// stored width x height. False when it cannot be had.
bool StartPictureTurn(PictureTurn* turn, Bitmap* picture, int width, int height, bool whole);

// Where stored row y goes (rows top first, whatever the picture's layout).
uint32_t* PictureTurnRow(const PictureTurn* turn, Bitmap* picture, int y);

// Stored row y is complete (rows in order): a full band, or the band of
// the last row, is turned into picture. The pixels moved.
int64_t PictureTurnRowDone(PictureTurn* turn, Bitmap* picture, int y);

// True when the picture needs turning after its last row (in place, or
// from the whole block).
bool PictureTurnAfterRows(const PictureTurn* turn);

// One step of that turn: about PICTURE_STEP_PIXELS pixels moved (*work), at
// least one row of the turn's work. True once the picture stands upright;
// the block is freed then.
bool StepPictureTurn(PictureTurn* turn, Bitmap* picture, int64_t* work);

// Frees the band or the block. The turn may be released twice.
void ReleasePictureTurn(PictureTurn* turn);
