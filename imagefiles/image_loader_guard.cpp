#include "imagefiles/image_loader_guard.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/utf8_file.h"

namespace {

// Headers are small; larger files are only read this far.
const long HEAD_BYTES = 65536;

struct FileHead {
  std::vector<unsigned char> bytes;  // the first bytes of the file
  int64_t size;                      // the whole file's size
};

bool ReadHead(const char* path, FileHead* head) {
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return false;
  bool ok = fseek(file, 0, SEEK_END) == 0;
  long size = ok ? ftell(file) : -1;
  ok = ok && size >= 0 && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    head->size = size;
    head->bytes.resize(static_cast<size_t>(size < HEAD_BYTES ? size : HEAD_BYTES));
    ok = fread(head->bytes.data(), 1, head->bytes.size(), file) == head->bytes.size();
  }
  fclose(file);
  return ok;
}

uint32_t U16(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8; }
uint32_t U32(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t S32(const unsigned char* p) { return static_cast<int32_t>(U32(p)); }

// Bytes of `rows` rows of `width` pixels of `bits` each, rows padded to 4 bytes.
int64_t RowBytes(int64_t width, int64_t bits, int64_t rows) {
  return (width * bits + 31) / 32 * 4 * rows;
}

// A DIB header (BITMAPCOREHEADER or BITMAPINFOHEADER and later) at `at`
// within `available` bytes. Gives the bytes of header and colour table, and
// the bytes of the pixel rows for the given row count factor (icons hold
// two masks in a doubled height). False when the header itself is damaged.
bool DibLayout(const unsigned char* p, int64_t available, int64_t* header_and_table, int64_t* width,
               int64_t* height, int64_t* bits, uint32_t* compression) {
  if (available < 12) return false;
  uint32_t header = U32(p);
  int64_t colours = 0;
  if (header == 12) {
    *width = U16(p + 4);
    *height = U16(p + 6);
    *bits = U16(p + 10);
    *compression = 0;
    if (*bits <= 8) colours = int64_t(1) << *bits;
    *header_and_table = 12 + colours * 3;
    return true;
  }
  if (header < 40 || available < 40) return false;
  *width = S32(p + 4);
  *height = S32(p + 8);
  if (*height < 0) *height = -*height;
  *bits = U16(p + 14);
  *compression = U32(p + 16);
  uint32_t used = U32(p + 32);
  if (*bits <= 8) colours = used ? used : int64_t(1) << *bits;
  else colours = used;
  int64_t masks = (*compression == 3 && header == 40) ? 12 : 0;  // BI_BITFIELDS masks after the header
  *header_and_table = header + masks + colours * 4;
  return *width >= 0 && *bits > 0 && *bits <= 64;
}

}  // namespace

bool BmpFitsItsFile(const char* path) {
  FileHead head;
  if (!ReadHead(path, &head) || head.bytes.size() < 26) return false;
  const unsigned char* p = head.bytes.data();
  if (p[0] != 'B' || p[1] != 'M') return true;  // not for this check to judge: the loader refuses it
  int64_t offset = U32(p + 10);
  int64_t header_and_table = 0, width = 0, height = 0, bits = 0;
  uint32_t compression = 0;
  if (!DibLayout(p + 14, static_cast<int64_t>(head.bytes.size()) - 14, &header_and_table, &width, &height, &bits,
                 &compression))
    return false;
  // The pixels follow the headers and the colour table.
  if (offset < 14 + header_and_table || offset >= head.size) return false;
  int64_t image_bytes = head.size - offset;
  if (compression == 0 || compression == 3 || compression == 6) {
    return RowBytes(width, bits, height) <= image_bytes;
  }
  // Compressed: the stated data size, when there is one, must be there.
  if (U32(p + 14) >= 40 && U32(p + 14 + 20) > image_bytes) return false;
  return true;
}

bool IcoFitsItsFile(const char* path) {
  FileHead head;
  if (!ReadHead(path, &head) || head.bytes.size() < 6) return false;
  const unsigned char* p = head.bytes.data();
  int64_t count = U16(p + 4);
  if (6 + 16 * count > static_cast<int64_t>(head.bytes.size())) return false;
  for (int64_t i = 0; i < count; ++i) {
    const unsigned char* entry = p + 6 + 16 * i;
    int64_t bytes = U32(entry + 8);
    int64_t offset = U32(entry + 12);
    if (offset + bytes > head.size || bytes < 12) return false;
    // A PNG image is the loader's to check; a bitmap image needs its header.
    if (offset + 40 > static_cast<int64_t>(head.bytes.size())) continue;
    const unsigned char* image = p + offset;
    if (image[0] == 0x89 && image[1] == 'P') continue;
    int64_t header_and_table = 0, width = 0, height = 0, bits = 0;
    uint32_t compression = 0;
    if (!DibLayout(image, bytes, &header_and_table, &width, &height, &bits, &compression)) return false;
    int64_t rows = height / 2;  // colour image and AND mask share the doubled height
    if (header_and_table + RowBytes(width, bits, rows) + RowBytes(width, 1, rows) > bytes) return false;
  }
  return true;
}
