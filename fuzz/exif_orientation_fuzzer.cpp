// The Exif orientation reader on any bytes, as an APP1 payload and as an
// eXIf chunk: always an orientation from 1 to 8, never a read outside the
// bytes (ASan), and the APP1 form read as the TIFF block after its header.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imagefiles/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int as_tiff = ExifOrientationOfTiff(data, size);
  int as_app1 = ExifOrientationOfApp1(data, size);
  if (as_tiff < 1 || as_tiff > 8 || as_app1 < 1 || as_app1 > 8) abort();
  bool exif = size >= 6 && memcmp(data, "Exif\0\0", 6) == 0;
  if (as_app1 != (exif ? ExifOrientationOfTiff(data + 6, size - 6) : 1)) abort();
  return 0;
}
