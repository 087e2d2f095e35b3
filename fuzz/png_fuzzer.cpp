// LoadPngFile's decoding on arbitrary bytes, and for half of the inputs
// the row-by-row decoding too, in steps chosen by the input, which must give
// the same result and pixels.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/png_file.h"
#include "imagefiles/png_row_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty block
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  FuzzBitmap bitmap;
  Bitmap* whole = DecodePngStream(file, &bitmap);
  TouchPixels(whole);
  if (size & 1) {
    rewind(file);
    FuzzBitmap rowed;
    PngRowDecoding* decoding = StartPngRowDecodingStream(file, &rowed, INT64_MAX);
    int rows = 1 + data[size - 1] % 16;
    int result = decoding ? 0 : -1;
    while (result == 0) result = DecodePngRows(decoding, rows);
    if (decoding) FinishPngRowDecoding(decoding);
    ExpectSameResult(whole, result == 1 ? &rowed : nullptr);
  }
  fclose(file);
  return 0;
}
