#include "imagefiles/bmp_decoding.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "imagefiles/image_loader_guard.h"
#include "imagefiles/picture_decoding.h"
#include "raster/memory_bitmap.h"

namespace {

// The pixel bytes pass through this buffer, a piece of a row or a row at a
// time.
const size_t READ_BUFFER_BYTES = 64 * 1024;
// A row's own work besides its pixels (its read and the move to the next).
const int64_t ROW_WORK = 64;

const uint32_t CORE_HEADER = 12, INFO_HEADER = 40, V4_HEADER = 108, V5_HEADER = 124;
const uint32_t BI_RGB = 0, BI_BITFIELDS = 3;
// Where the red, green and blue masks lie: right after a 40-byte header,
// and at the same place inside the V4 and V5 headers.
const size_t MASKS_AT = 14 + INFO_HEADER;

uint32_t U16(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8; }
uint32_t U32(const unsigned char* p) { return U16(p) | U16(p + 2) << 16; }

// One colour of a pixel with bit fields. The loader takes the mask's
// field, keeps its top 8 bits, and widens a shorter field to 8 bits by
// repeating its bits once below it (a 1-bit field gives 0 or 0xC0); of a
// 16-bit pixel it then keeps 5 bits, widened again as 5-5-5 pixels are.
// `scale` holds that result for each field value of 8 bits at most.
struct BmpChannel {
  uint32_t mask;
  int shift;  // of the field's lowest bit, and of the bits beyond its top 8
  unsigned char scale[256];
};

enum BmpConversion { BMP_PALETTE, BMP_RGB24, BMP_RGB32, BMP_FIELDS16, BMP_FIELDS32 };

}  // namespace

struct BmpDecoding {
  FILE* file;
  bool owns_file;
  Bitmap* target;  // the bitmap to fill, or null to make one
  bool owns_target;
  Bitmap* bitmap;  // the bitmap being filled, once sized
  bool done;
  bool failed;
  int width, height;
  bool top_down;
  int bits;
  BmpConversion conversion;
  uint32_t palette[256];
  BmpChannel channels[3];  // red, green, blue
  int64_t stride;          // bytes of a row in the file, padded to 4
  int64_t piece_pixels;    // the most pixels read at once
  int row;                 // rows read, in file order
  int64_t column;          // pixels of that row read
  int64_t row_bytes_read;
  int64_t last_step_work;
  unsigned char buffer[READ_BUFFER_BYTES];
};

namespace {

// False for a mask whose bits are not one run, which the loader treats in
// a way of its own.
bool SetChannel(BmpChannel* channel, uint32_t mask, bool sixteen_bits) {
  memset(channel, 0, sizeof *channel);
  channel->mask = mask;
  if (mask == 0) return true;  // the colour is 0 throughout
  int low = 0;
  while (!(mask >> low & 1)) ++low;
  uint32_t field = mask >> low;
  if ((field & (field + 1)) != 0) return false;
  int length = 0;
  while (length < 32 && (field >> length & 1)) ++length;
  int kept = length > 8 ? 8 : length;
  channel->shift = low + length - kept;
  for (uint32_t value = 0; value < (uint32_t(1) << kept); ++value) {
    uint32_t wide = value << (8 - kept);
    if (kept < 8) wide |= wide >> kept;
    wide &= 0xFF;
    if (sixteen_bits) wide = (wide & 0xF8) | wide >> 5;
    channel->scale[value] = static_cast<unsigned char>(wide);
  }
  return true;
}

uint32_t FieldsPixel(const BmpChannel* c, uint32_t p) {
  return 0xFF000000u | uint32_t(c[0].scale[(p & c[0].mask) >> c[0].shift]) << 16 |
         uint32_t(c[1].scale[(p & c[1].mask) >> c[1].shift]) << 8 | c[2].scale[(p & c[2].mask) >> c[2].shift];
}

// The colour table: entries of 4 bytes (3 under the core header), blue
// first. Indices past the table's entries give black, as with the loader.
bool ReadPalette(BmpDecoding* d, long at, int64_t entries, int entry_bytes) {
  for (int i = 0; i < 256; ++i) d->palette[i] = 0xFF000000u;
  unsigned char table[256 * 4];
  size_t bytes = static_cast<size_t>(entries * entry_bytes);
  if (fseek(d->file, at, SEEK_SET) != 0 || fread(table, 1, bytes, d->file) != bytes) return false;
  for (int64_t i = 0; i < entries; ++i) {
    const unsigned char* e = table + i * entry_bytes;
    d->palette[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
  }
  return true;
}

// The headers, the masks and the colour table, and the file positioned at
// the first row.
BmpReading ReadHeaders(BmpDecoding* d) {
  if (!BmpStreamFits(d->file) || fseek(d->file, 0, SEEK_SET) != 0) return BMP_REFUSED;
  unsigned char head[14 + V5_HEADER] = {0};
  size_t got = fread(head, 1, sizeof head, d->file);
  if (got < 26 || head[0] != 'B' || head[1] != 'M') return BMP_BY_LOADER;
  uint32_t offset = U32(head + 10), header = U32(head + 14);
  uint32_t planes = 0, compression = BI_RGB, used = 0;
  int64_t width = 0, height = 0;
  if (header == CORE_HEADER) {
    width = U16(head + 18);
    height = U16(head + 20);
    planes = U16(head + 22);
    d->bits = static_cast<int>(U16(head + 24));
  } else if (header == INFO_HEADER || header == V4_HEADER || header == V5_HEADER) {
    width = static_cast<int32_t>(U32(head + 18));
    height = static_cast<int32_t>(U32(head + 22));
    planes = U16(head + 26);
    d->bits = static_cast<int>(U16(head + 28));
    compression = U32(head + 30);
    used = U32(head + 46);
  } else {
    return BMP_BY_LOADER;  // other header sizes: the loader's to take or refuse
  }
  // The guard has checked the size against a bitmap's and the rows against
  // the file: both fit an int.
  d->top_down = height < 0;
  d->width = static_cast<int>(width);
  d->height = static_cast<int>(height < 0 ? -height : height);
  int bits = d->bits;
  bool known_bits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  bool fields = compression == BI_BITFIELDS && (bits == 16 || bits == 32);
  if (planes != 1 || !known_bits || (compression != BI_RGB && !fields)) return BMP_BY_LOADER;
  if (fields && got < MASKS_AT + 12) return BMP_REFUSED;
  if (fields) {
    bool sixteen = bits == 16;
    for (int i = 0; i < 3; ++i) {
      uint32_t mask = U32(head + MASKS_AT + 4 * i);
      // Bits above a 16-bit pixel are the loader's own business too.
      if ((sixteen && mask > 0xFFFF) || !SetChannel(&d->channels[i], mask, sixteen)) return BMP_BY_LOADER;
    }
    d->conversion = sixteen ? BMP_FIELDS16 : BMP_FIELDS32;
  } else if (bits == 16) {
    // 5-5-5, the high bit unused.
    SetChannel(&d->channels[0], 0x7C00, true);
    SetChannel(&d->channels[1], 0x03E0, true);
    SetChannel(&d->channels[2], 0x001F, true);
    d->conversion = BMP_FIELDS16;
  } else {
    d->conversion = bits == 24 ? BMP_RGB24 : bits == 32 ? BMP_RGB32 : BMP_PALETTE;
  }
  if (bits <= 8) {
    int64_t entries = int64_t(1) << bits;
    if (used != 0 && used < entries) entries = used;
    // Right after the header (no masks come with these bits).
    if (!ReadPalette(d, static_cast<long>(14 + header), entries, header == CORE_HEADER ? 3 : 4)) return BMP_REFUSED;
  }
  d->stride = (int64_t(d->width) * bits + 31) / 32 * 4;
  d->piece_pixels = int64_t(READ_BUFFER_BYTES - 4) * 8 / bits / 8 * 8;
  // The rows start where the file header says, whatever lies between.
  if (fseek(d->file, static_cast<long>(offset), SEEK_SET) != 0) return BMP_REFUSED;
  return BMP_BY_ROWS;
}

void ConvertPixels(const BmpDecoding* d, const unsigned char* in, uint32_t* out, int64_t count) {
  const uint32_t* palette = d->palette;
  switch (d->conversion) {
    case BMP_PALETTE:
      if (d->bits == 8) {
        for (int64_t i = 0; i < count; ++i) out[i] = palette[in[i]];
      } else if (d->bits == 4) {
        for (int64_t i = 0; i < count; ++i) out[i] = palette[(in[i >> 1] >> (i & 1 ? 0 : 4)) & 15];
      } else {
        for (int64_t i = 0; i < count; ++i) out[i] = palette[(in[i >> 3] >> (7 - (i & 7))) & 1];
      }
      break;
    case BMP_RGB24:
      for (int64_t i = 0; i < count; ++i, in += 3) out[i] = 0xFF000000u | uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
      break;
    case BMP_RGB32:
      for (int64_t i = 0; i < count; ++i, in += 4) out[i] = 0xFF000000u | uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
      break;
    case BMP_FIELDS16:
      for (int64_t i = 0; i < count; ++i, in += 2) out[i] = FieldsPixel(d->channels, U16(in));
      break;
    case BMP_FIELDS32:
      for (int64_t i = 0; i < count; ++i, in += 4) out[i] = FieldsPixel(d->channels, U32(in));
      break;
  }
}

void ReleaseFile(BmpDecoding* d) {
  if (d->file && d->owns_file) fclose(d->file);
  d->file = nullptr;
}

void FailDecoding(BmpDecoding* d) {
  ReleaseFile(d);
  if (d->owns_target) delete d->target;
  d->target = nullptr;
  d->owns_target = false;
  d->bitmap = nullptr;
  d->failed = true;
}

bool SizeBitmap(BmpDecoding* d) {
  Bitmap* bitmap = d->target;
  if (!bitmap) {
    bitmap = d->target = new (std::nothrow) MemoryBitmap(d->width, d->height);
    d->owns_target = true;
    if (!bitmap) return false;
  } else {
    bitmap->Resize(d->width, d->height);
  }
  if (bitmap->Width() != d->width || bitmap->Height() != d->height || !bitmap->Bits()) return false;
  d->bitmap = bitmap;
  return true;
}

}  // namespace

BmpDecoding* StartBmpDecoding(FILE* file, bool owns_file, int64_t max_bytes, BmpReading* reading) {
  *reading = BMP_REFUSED;
  if (!file) return nullptr;
  BmpDecoding* d = new (std::nothrow) BmpDecoding();
  if (!d) {
    if (owns_file) fclose(file);
    return nullptr;
  }
  d->file = file;
  d->owns_file = owns_file;
  *reading = ReadHeaders(d);
  int64_t picture = *reading == BMP_BY_ROWS ? BitmapByteCount(d->width, d->height) : -1;
  if (picture < 0 || picture + BmpWorkingBytes(d) > max_bytes) {
    AbandonBmpDecoding(d);
    return nullptr;
  }
  return d;
}

int64_t BmpWorkingBytes(const BmpDecoding*) { return int64_t(sizeof(BmpDecoding)); }

void BmpPictureSize(const BmpDecoding* d, int* width, int* height) {
  *width = d->width;
  *height = d->height;
}

void SetBmpDecodingTarget(BmpDecoding* d, Bitmap* target, bool owned) {
  if (d->owns_target && d->target != target) delete d->target;
  d->target = target;
  d->owns_target = owned && target;
}

int StepBmpDecoding(BmpDecoding* d) {
  d->last_step_work = 0;
  if (d->done) return 1;
  if (d->failed) return -1;
  if (!d->bitmap && !SizeBitmap(d)) {
    FailDecoding(d);
    return -1;
  }
  Bitmap* bitmap = d->bitmap;
  int64_t work = 0;
  while (d->row < d->height) {
    // Pieces while the next still fits the step, the row's own work
    // included; at least one.
    int64_t room = PICTURE_STEP_PIXELS - ROW_WORK - work;
    int64_t left = d->width - d->column;
    int64_t count = left < d->piece_pixels ? left : d->piece_pixels;
    if (count > room) count = room / 8 * 8;  // a piece that leaves the row open ends on a byte
    if (count <= 0) break;
    bool row_ends = count == left;
    int64_t end = row_ends ? d->stride : (d->column + count) * d->bits / 8;
    size_t bytes = static_cast<size_t>(end - d->row_bytes_read);
    if (fread(d->buffer, 1, bytes, d->file) != bytes) {
      FailDecoding(d);
      return -1;
    }
    int y = d->top_down ? d->row : d->height - 1 - d->row;
    if (bitmap->IsFlipped()) y = d->height - 1 - y;
    ConvertPixels(d, d->buffer, bitmap->Bits() + y * bitmap->RowSpan() + d->column, count);
    work += count;
    if (row_ends) {
      ++d->row;
      d->column = 0;
      d->row_bytes_read = 0;
      work += ROW_WORK;
    } else {
      d->column += count;
      d->row_bytes_read = end;
    }
  }
  d->last_step_work = work;
  if (d->row < d->height) return 0;
  ReleaseFile(d);
  d->done = true;
  return 1;
}

int64_t BmpLastStepWork(const BmpDecoding* d) { return d->last_step_work; }

Bitmap* BmpDecodingBitmap(const BmpDecoding* d) { return d->bitmap; }

Bitmap* TakeBmpPicture(BmpDecoding* d) {
  Bitmap* picture = d->done ? d->bitmap : nullptr;
  if (picture) d->owns_target = false;
  AbandonBmpDecoding(d);
  return picture;
}

void AbandonBmpDecoding(BmpDecoding* d) {
  if (!d) return;
  ReleaseFile(d);
  if (d->owns_target) delete d->target;
  delete d;
}

Bitmap* DecodeBmpStream(FILE* file, Bitmap* target) {
  BmpReading reading = BMP_REFUSED;
  BmpDecoding* d = StartBmpDecoding(file, false, INT64_MAX, &reading);
  if (!d) return nullptr;
  SetBmpDecodingTarget(d, target, false);
  int result = 0;
  while ((result = StepBmpDecoding(d)) == 0) {
  }
  if (result < 0) {
    AbandonBmpDecoding(d);
    return nullptr;
  }
  return TakeBmpPicture(d);
}
