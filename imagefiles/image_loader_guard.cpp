#include "imagefiles/image_loader_guard.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/utf8_file.h"
#include "imagefiles/picture_bounds.h"
#include "raster/bitmap.h"

namespace {

// The file as the checks see it: bytes read at any offset, from an open
// file or from memory.
struct GuardInput {
  FILE* file;
  const unsigned char* bytes;
  int64_t size;
};

bool ReadAt(const GuardInput& input, int64_t offset, unsigned char* out, int64_t count) {
  if (offset < 0 || count < 0 || offset > input.size || count > input.size - offset) return false;
  if (input.bytes) {
    memcpy(out, input.bytes + offset, static_cast<size_t>(count));
    return true;
  }
  return fseek(input.file, static_cast<long>(offset), SEEK_SET) == 0 &&
         fread(out, 1, static_cast<size_t>(count), input.file) == static_cast<size_t>(count);
}

// Sizes are computed saturating at SIZE_LIMIT, far above any file, so that
// no header value can wrap a sum or a product into something small.
const int64_t SIZE_LIMIT = INT64_MAX / 4;

int64_t Add(int64_t a, int64_t b) {
  int64_t sum = a + b;  // both at most SIZE_LIMIT: no overflow
  return sum < SIZE_LIMIT ? sum : SIZE_LIMIT;
}

int64_t Multiply(int64_t a, int64_t b) {
  if (a != 0 && b > SIZE_LIMIT / a) return SIZE_LIMIT;
  return a * b;
}

uint32_t U16(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8; }
uint32_t U32(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t S32(const unsigned char* p) { return static_cast<int32_t>(U32(p)); }
uint32_t BigEndian32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Bytes of `rows` rows of `width` pixels of `bits` each, rows padded to 4 bytes.
int64_t RowBytes(int64_t width, int64_t bits, int64_t rows) {
  return Multiply(Add(Multiply(width, bits), 31) / 32 * 4, rows);
}

// The loader makes a bitmap of the picture's full size before anything else:
// the same limit as every decoded picture.
bool FitsBitmap(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX &&
         BitmapByteCount(static_cast<int>(width), static_cast<int>(height)) >= 0;
}

// What a DIB header (BITMAPCOREHEADER, or BITMAPINFOHEADER and later) says.
struct DibLayout {
  int64_t header_and_table;  // bytes of the header, masks and colour table
  int64_t width, height, bits;
  uint32_t compression;
  int64_t image_size;        // biSizeImage, 0 when not given
};

const int64_t DIB_HEAD = 40;  // the bytes of a header that are looked at

// `p` holds the first min(available, DIB_HEAD) bytes of the header; the
// header's own stated size must fit `available`. False when it is damaged.
bool ReadDibLayout(const unsigned char* p, int64_t available, DibLayout* dib) {
  if (available < 12) return false;
  uint32_t header = U32(p);
  int64_t colours = 0;
  memset(dib, 0, sizeof *dib);
  if (header == 12) {
    dib->width = U16(p + 4);
    dib->height = U16(p + 6);
    dib->bits = U16(p + 10);
    if (dib->bits <= 8) colours = int64_t(1) << dib->bits;
    dib->header_and_table = 12 + colours * 3;
    return dib->bits > 0 && dib->bits <= 32;
  }
  if (header < DIB_HEAD || header > available) return false;
  dib->width = S32(p + 4);
  int64_t height = S32(p + 8);
  dib->height = height < 0 ? -height : height;
  dib->bits = U16(p + 14);
  dib->compression = U32(p + 16);
  dib->image_size = U32(p + 20);
  uint32_t used = U32(p + 32);
  if (dib->bits <= 8) colours = used ? used : int64_t(1) << dib->bits;
  else colours = used;
  int64_t masks = (dib->compression == 3 && header == 40) ? 12 : 0;  // BI_BITFIELDS masks after the header
  dib->header_and_table = header + masks + colours * 4;
  return dib->width >= 0 && dib->bits > 0 && dib->bits <= 64;
}

bool BmpFits(const GuardInput& input) {
  unsigned char p[14 + DIB_HEAD] = {0};
  int64_t head = input.size < 14 + DIB_HEAD ? input.size : 14 + DIB_HEAD;
  if (input.size < 26 || !ReadAt(input, 0, p, head)) return false;
  if (p[0] != 'B' || p[1] != 'M') return true;  // not for this check to judge: the loader refuses it
  int64_t offset = U32(p + 10);
  DibLayout dib;
  if (!ReadDibLayout(p + 14, input.size - 14, &dib)) return false;
  if (!FitsBitmap(dib.width, dib.height)) return false;
  // The pixels follow the headers and the colour table.
  if (offset < 14 + dib.header_and_table || offset >= input.size) return false;
  int64_t image_bytes = input.size - offset;
  if (dib.compression == 0 || dib.compression == 3 || dib.compression == 6) {
    return RowBytes(dib.width, dib.bits, dib.height) <= image_bytes;
  }
  // Compressed: the stated data size, when there is one, must be there.
  // Run-length codes end a line or the whole picture, or jump ahead, in two
  // or four bytes: any size can come from a few bytes, so it is capped.
  return dib.image_size <= image_bytes && UnbackedPictureFits(dib.width, dib.height);
}

const unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Signature, chunk length and type, and the IHDR's 13 bytes with their CRC.
const int64_t PNG_HEAD = 8 + 8 + 13 + 4;

// One image of an icon: `bytes` at `offset`, both from the directory entry.
bool IconImageFits(const GuardInput& input, int64_t offset, int64_t bytes) {
  if (offset + bytes > input.size || bytes < 12) return false;
  unsigned char p[DIB_HEAD] = {0};
  if (!ReadAt(input, offset, p, bytes < DIB_HEAD ? bytes : DIB_HEAD)) return false;
  if (bytes >= 8 && memcmp(p, PNG_SIGNATURE, 8) == 0) {
    // The loader decodes a PNG image at the size its IHDR gives, which
    // the image's bytes must be able to hold.
    return bytes >= PNG_HEAD && memcmp(p + 12, "IHDR", 4) == 0 && BigEndian32(p + 8) == 13 &&
           FitsBitmap(BigEndian32(p + 16), BigEndian32(p + 20)) &&
           PngLeastBytes(BigEndian32(p + 16), BigEndian32(p + 20), p[24], p[25], p[28] != 0) <= bytes;
  }
  DibLayout dib;
  if (!ReadDibLayout(p, bytes, &dib)) return false;
  int64_t rows = dib.height / 2;  // colour image and AND mask share the doubled height
  if (!FitsBitmap(dib.width, rows)) return false;
  int64_t needed = Add(Add(dib.header_and_table, RowBytes(dib.width, dib.bits, rows)), RowBytes(dib.width, 1, rows));
  return needed <= bytes;
}

bool IcoFits(const GuardInput& input) {
  unsigned char p[16] = {0};
  if (!ReadAt(input, 0, p, 6)) return false;
  int64_t count = U16(p + 4);
  for (int64_t i = 0; i < count; ++i) {
    if (!ReadAt(input, 6 + 16 * i, p, 16)) return false;
    if (!IconImageFits(input, U32(p + 12), U32(p + 8))) return false;
  }
  return true;
}

bool CheckStream(FILE* file, bool (*check)(const GuardInput&)) {
  GuardInput input = {file, nullptr, 0};
  // A file too large for ftell (2 GiB and more on Windows) is refused.
  long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  input.size = size;
  return size >= 0 && check(input);
}

bool CheckFile(const char* path, bool (*check)(const GuardInput&)) {
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return false;
  bool fits = CheckStream(file, check);
  fclose(file);
  return fits;
}

}  // namespace

bool BmpFitsItsFile(const char* path) { return path && CheckFile(path, BmpFits); }

bool IcoFitsItsFile(const char* path) { return path && CheckFile(path, IcoFits); }

bool BmpStreamFits(FILE* file) { return file && CheckStream(file, BmpFits); }

bool BmpBytesFit(const unsigned char* bytes, size_t size) {
  GuardInput input = {nullptr, bytes, static_cast<int64_t>(size)};
  return bytes && BmpFits(input);
}

bool IcoBytesFit(const unsigned char* bytes, size_t size) {
  GuardInput input = {nullptr, bytes, static_cast<int64_t>(size)};
  return bytes && IcoFits(input);
}
