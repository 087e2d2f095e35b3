// The BMP and ICO checks made before the Windows image loader sees a file,
// with an oracle: whatever the guard lets through must lie within the file
// and fit a bitmap, recomputed here in 128-bit arithmetic, which nothing in
// a header can overflow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imagefiles/image_loader_guard.h"
#include "raster/bitmap.h"

namespace {

typedef __int128 Wide;

uint32_t U16(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint32_t Big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void Require(bool condition) {
  if (!condition) abort();
}

bool FitsBitmap(Wide width, Wide height) {
  return width > 0 && height > 0 && ((width + 3) / 4 * 4) * height * 4 <= MAX_BITMAP_BYTES;
}

Wide RowBytes(Wide width, Wide bits, Wide rows) { return (width * bits + 31) / 32 * 4 * rows; }

struct Dib {
  Wide header, width, height, bits;
  bool compressed;
};

// A DIB header at `p` with `available` bytes of it in the file; an icon's
// height counts the colour image and the mask.
Dib CheckDib(const uint8_t* p, Wide available, bool icon) {
  Require(available >= 12);
  Dib dib = {U32(p), 0, 0, 0, false};
  if (dib.header == 12) {
    dib.width = U16(p + 4);
    dib.height = U16(p + 6);
    dib.bits = U16(p + 10);
  } else {
    Require(dib.header >= 40 && dib.header <= available);
    dib.width = static_cast<int32_t>(U32(p + 4));
    dib.height = static_cast<int32_t>(U32(p + 8));
    if (dib.height < 0) dib.height = -dib.height;
    dib.bits = U16(p + 14);
    uint32_t compression = U32(p + 16);
    dib.compressed = !(compression == 0 || compression == 3 || compression == 6);
  }
  if (icon) dib.height /= 2;
  Require(FitsBitmap(dib.width, dib.height));
  return dib;
}

void CheckAcceptedBmp(const uint8_t* data, size_t size) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return;
  Require(size >= 14 + 12);
  Wide offset = U32(data + 10);
  Dib dib = CheckDib(data + 14, static_cast<Wide>(size) - 14, false);
  Require(offset >= 14 + dib.header && offset < static_cast<Wide>(size));
  // Uncompressed rows lie between the offset and the end of the file.
  if (!dib.compressed) Require(RowBytes(dib.width, dib.bits, dib.height) <= static_cast<Wide>(size) - offset);
}

void CheckAcceptedIco(const uint8_t* data, size_t size) {
  Require(size >= 6);
  Wide count = U16(data + 4);
  Require(6 + 16 * count <= static_cast<Wide>(size));
  for (Wide i = 0; i < count; ++i) {
    const uint8_t* entry = data + 6 + 16 * static_cast<size_t>(i);
    Wide bytes = U32(entry + 8), offset = U32(entry + 12);
    Require(offset + bytes <= static_cast<Wide>(size));
    const uint8_t* image = data + static_cast<size_t>(offset);
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    bool png = bytes >= 8;
    for (int k = 0; png && k < 8; ++k) png = image[k] == signature[k];
    if (png) {
      Require(bytes >= 33 && image[12] == 'I' && image[13] == 'H' && image[14] == 'D' && image[15] == 'R');
      Require(FitsBitmap(Big32(image + 16), Big32(image + 20)));
    } else {
      Dib dib = CheckDib(image, bytes, true);
      Require(dib.header + RowBytes(dib.width, dib.bits, dib.height) + RowBytes(dib.width, 1, dib.height) <= bytes);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (BmpBytesFit(data, size)) CheckAcceptedBmp(data, size);
  if (IcoBytesFit(data, size)) CheckAcceptedIco(data, size);
  return 0;
}
