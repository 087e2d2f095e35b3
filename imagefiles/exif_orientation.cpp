#include "imagefiles/exif_orientation.h"

#include <cstdint>
#include <cstring>

namespace {

const uint16_t TIFF_MAGIC = 42;
const uint16_t ORIENTATION_TAG = 0x0112;
const uint16_t TYPE_SHORT = 3;
const size_t TIFF_HEADER_BYTES = 8;
const size_t ENTRY_BYTES = 12;

struct TiffBytes {
  const unsigned char* data;
  size_t size;
  bool big_endian;  // "MM"; "II" is little-endian
};

// Both read within the size; the callers check it first.
uint16_t Read16(const TiffBytes& t, size_t at) {
  const unsigned char* p = t.data + at;
  return t.big_endian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t Read32(const TiffBytes& t, size_t at) {
  const unsigned char* p = t.data + at;
  if (t.big_endian) return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

}  // namespace

int ExifOrientationOfTiff(const unsigned char* tiff, size_t size) {
  if (!tiff || size < TIFF_HEADER_BYTES) return EXIF_ORIENTATION_UPRIGHT;
  TiffBytes t = {tiff, size, false};
  if (tiff[0] == 'M' && tiff[1] == 'M') t.big_endian = true;
  else if (!(tiff[0] == 'I' && tiff[1] == 'I')) return EXIF_ORIENTATION_UPRIGHT;
  if (Read16(t, 2) != TIFF_MAGIC) return EXIF_ORIENTATION_UPRIGHT;
  // Sizes are compared as subtractions from the size, never by adding to
  // an offset, so that no sum can wrap.
  uint32_t ifd = Read32(t, 4);
  if (ifd > size - 2) return EXIF_ORIENTATION_UPRIGHT;
  size_t count = Read16(t, ifd);
  size_t entries = ifd + 2;
  if (count > (size - entries) / ENTRY_BYTES) return EXIF_ORIENTATION_UPRIGHT;
  for (size_t i = 0; i < count; ++i) {
    size_t entry = entries + i * ENTRY_BYTES;
    if (Read16(t, entry) != ORIENTATION_TAG) continue;
    // The first entry with the tag decides, whatever it holds.
    if (Read16(t, entry + 2) != TYPE_SHORT || Read32(t, entry + 4) != 1) return EXIF_ORIENTATION_UPRIGHT;
    uint16_t value = Read16(t, entry + 8);
    return value >= 1 && value <= 8 ? value : EXIF_ORIENTATION_UPRIGHT;
  }
  return EXIF_ORIENTATION_UPRIGHT;
}

int ExifOrientationOfApp1(const unsigned char* payload, size_t size) {
  static const unsigned char EXIF_HEADER[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (!payload || size < sizeof EXIF_HEADER || memcmp(payload, EXIF_HEADER, sizeof EXIF_HEADER) != 0)
    return EXIF_ORIENTATION_UPRIGHT;
  return ExifOrientationOfTiff(payload + sizeof EXIF_HEADER, size - sizeof EXIF_HEADER);
}
