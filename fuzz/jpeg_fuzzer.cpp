// LoadJpegFile's decoding on arbitrary bytes, and for half of the inputs
// the band-by-band decoding too, in small bands and input pieces chosen by
// the input, which must give the same result and pixels.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/jpeg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty block
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  FuzzBitmap bitmap;
  Bitmap* whole = DecodeJpegStream(file, &bitmap);
  TouchPixels(whole);
  if (size & 1) {
    rewind(file);
    FuzzBitmap banded;
    JpegBandDecoding* band = StartJpegBandDecodingStream(file, &banded, INT64_MAX);
    int rows = 1 + data[size - 1] % 16, input = 1 + (data[size / 2] % 8) * 700;
    int result = band ? 0 : -1;
    while (result == 0) result = DecodeJpegBand(band, rows, input);
    if (band) FinishJpegBandDecoding(band);
    ExpectSameResult(whole, result == 1 ? &banded : nullptr);
  }
  fclose(file);
  return 0;
}
