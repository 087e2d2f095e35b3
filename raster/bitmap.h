// The 32-bit pixel raster every picture of the program is held in.
//
// A pixel is 0xAARRGGBB (bytes blue, green, red, alpha in memory), alpha is
// straight and 255 is opaque. Rows are stored top first; pixel (x, y) lies
// y * RowSpan() + x pixels after Bits().
#pragma once

#include <cstdint>

// The same handle type <windows.h> declares, so that this header stays free of
// it and the raster core builds on any host.
struct HDC__;
typedef struct HDC__* HDC;

// Codes of Bitmap::Extended: the display scale, in 1/256 units (0 = none).
const int SCALE_SET = 0x2000;
const int SCALE_GET = 0x2001;
const int SCALE_SET_ADVISORY = 0x2002;
const int SCALE_GET_ADVISORY = 0x2003;
const int SCALE_GET_EFFECTIVE = 0x2004;

// Largest pixel storage of one bitmap, in bytes: the byte count has to fit an
// int. A size that needs more fails like an allocation failure (0 x 0, no bits).
const int64_t MAX_BITMAP_BYTES = 0x7FFFFFFC;

// Bytes of a bitmap of the given size with rows of (width + 3) & ~3 pixels,
// computed without overflow; -1 when either side is 0 or less or the result is
// above MAX_BITMAP_BYTES.
int64_t BitmapByteCount(int width, int height);

class Bitmap {
public:
  virtual ~Bitmap();
  // First pixel, or null when there is no storage.
  virtual uint32_t* Bits() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Pixels from the start of one row to the start of the next.
  virtual int RowSpan() const = 0;
  virtual bool IsFlipped() const;
  // False when the size is unchanged; after a change the pixels are undefined.
  virtual bool Resize(int width, int height) = 0;
  // A device context GDI can draw into, or null for bitmaps outside GDI.
  virtual HDC DeviceContext();
  virtual intptr_t Extended(int code, void* data);
};
