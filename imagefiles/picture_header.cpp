#include "imagefiles/picture_header.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/utf8_file.h"

namespace {

// JPEG headers can carry large metadata segments before the frame header.
const size_t HEAD_BYTES = 256 * 1024;

uint32_t Be16(const unsigned char* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const unsigned char* p) { return Be16(p) << 16 | Be16(p + 2); }
uint32_t Le16(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8; }
int32_t Le32(const unsigned char* p) { return static_cast<int32_t>(Le16(p) | Le16(p + 2) << 16); }

// Walks the JPEG markers up to the frame header (SOF0 to SOF15 but DHT,
// JPG and DAC).
bool ReadJpegHeader(const unsigned char* p, size_t size, PictureHeader* header) {
  size_t at = 2;
  while (at + 4 <= size) {
    if (p[at] != 0xFF) return false;
    unsigned marker = p[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    size_t length = Be16(p + at + 2);
    if (length < 2) return false;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (at + 9 > size) return false;
      header->height = static_cast<int>(Be16(p + at + 5));
      header->width = static_cast<int>(Be16(p + at + 7));
      // Only the baseline and extended sequential Huffman frames come out a
      // row band at a time.
      header->multiple_scans = marker != 0xC0 && marker != 0xC1;
      return true;
    }
    if (marker == 0xDA || marker == 0xD9) return false;  // scan data before any frame header
    at += 2 + length;
  }
  return false;
}

}  // namespace

bool ReadPictureHeader(const char* path, PictureHeader* header) {
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return false;
  std::vector<unsigned char> head(HEAD_BYTES);
  size_t size = fread(head.data(), 1, head.size(), file);
  fclose(file);
  const unsigned char* p = head.data();
  header->width = header->height = 0;
  header->multiple_scans = false;
  bool known = false;
  if (size >= 4 && p[0] == 0xFF && p[1] == 0xD8) {
    known = ReadJpegHeader(p, size, header);
  } else if (size >= 24 && memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0 && memcmp(p + 12, "IHDR", 4) == 0) {
    uint32_t width = Be32(p + 16), height = Be32(p + 20);
    known = width <= 0x7FFFFFFF && height <= 0x7FFFFFFF;
    header->width = static_cast<int>(width);
    header->height = static_cast<int>(height);
  } else if (size >= 10 && memcmp(p, "GIF", 3) == 0) {
    header->width = static_cast<int>(Le16(p + 6));
    header->height = static_cast<int>(Le16(p + 8));
    known = true;
  } else if (size >= 26 && p[0] == 'B' && p[1] == 'M') {
    uint32_t info = Le16(p + 14) | Le16(p + 16) << 16;
    if (info == 12) {
      header->width = static_cast<int>(Le16(p + 18));
      header->height = static_cast<int>(Le16(p + 20));
      known = true;
    } else if (info >= 40) {
      int32_t width = Le32(p + 18), height = Le32(p + 22);
      known = width > 0 && height != INT32_MIN;
      header->width = width;
      header->height = height < 0 ? -height : height;
    }
  } else if (size >= 6 && Le16(p) == 0 && Le16(p + 2) == 1) {
    header->width = header->height = 16;
    known = true;
  }
  return known && header->width > 0 && header->height > 0;
}
