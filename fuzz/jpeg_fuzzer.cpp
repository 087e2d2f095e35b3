// LoadJpegFile's decoding on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/jpeg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty block
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  FuzzBitmap bitmap;
  TouchPixels(DecodeJpegStream(file, &bitmap));
  fclose(file);
  return 0;
}
