// A decoded picture turned upright as its file's Exif orientation says, in
// steps of bounded work after its last row. Needs no Windows header.
//
// The JPEG and PNG decodings size the picture's bitmap upright from the
// start. When the turn keeps the sides (orientations 1 to 4) the rows are
// decoded straight into it and turned there; when it swaps them (5 to 8)
// they go into a block of the stored size, turned into the picture's
// bitmap and then freed.
#pragma once

#include <cstdint>

class Bitmap;
class MemoryBitmap;

struct PictureTurn {
  int orientation;         // 1 to 8 (BitmapTurn); anything else is upright
  MemoryBitmap* unturned;  // 5 to 8: the rows as stored, owned
  int next_row;            // of the turn's work (TurnRowCount)
};

// A turn for the orientation read from the file.
PictureTurn MakePictureTurn(int orientation);

// True when the picture needs turning after its last row.
bool PictureTurnNeeded(const PictureTurn* turn);

// The picture's upright size from its stored size.
void UprightPictureSize(const PictureTurn* turn, int width, int height, int* upright_width, int* upright_height);

// Bytes of the block of the stored size that the turn needs besides the
// picture (0 when it turns in place).
int64_t PictureTurnBytes(const PictureTurn* turn, int width, int height);

// The bitmap the stored rows are decoded into, once picture has its
// upright size: picture itself, or a new block of width x height; null when
// that block cannot be had.
Bitmap* PictureTurnRows(PictureTurn* turn, Bitmap* picture, int width, int height);

// One step of the turn into picture: about PICTURE_STEP_PIXELS pixels moved
// (*work), at least one row of the turn's work. True once the picture
// stands upright; the block of the stored size is freed then.
bool StepPictureTurn(PictureTurn* turn, Bitmap* picture, int64_t* work);

// Frees the block of the stored size. The turn may be released twice.
void ReleasePictureTurn(PictureTurn* turn);
