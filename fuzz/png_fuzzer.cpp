// LoadPngFile's decoding on arbitrary bytes, and for half of the inputs the
// stepped decoding into a bitmap of its own, abandoned now and then after a
// few steps, which must give the same result and pixels.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/png_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty block
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  FuzzBitmap bitmap;
  Bitmap* whole = DecodePngStream(file, &bitmap);
  TouchPixels(whole);
  if (size & 1) {
    rewind(file);
    FuzzBitmap* stepped = new FuzzBitmap;
    PngDecoding* decoding = StartPngDecoding(file, false, INT64_MAX);
    if (decoding) SetPngDecodingTarget(decoding, stepped, true);
    else delete stepped;
    int stop = (data[size - 1] & 7) == 0 ? data[size / 2] % 4 : -1;
    int result = decoding ? 0 : -1;
    for (int i = 0; result == 0 && i != stop; ++i) result = StepPngDecoding(decoding);
    if (result == 0) {
      AbandonPngDecoding(decoding);
    } else {
      Bitmap* picture = decoding ? TakePngPicture(decoding) : nullptr;
      ExpectSameResult(whole, picture);
      delete picture;
    }
  }
  fclose(file);
  return 0;
}
