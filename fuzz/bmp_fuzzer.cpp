// The BMP reader on arbitrary bytes: whatever it takes must pass the checks
// the Windows loader's files pass, and for half of the inputs the stepped
// decoding into a bitmap of its own, abandoned now and then after a few
// steps, must give the same result and pixels as the whole decoding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/bmp_decoding.h"
#include "imagefiles/image_loader_guard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty block
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  FuzzBitmap bitmap;
  Bitmap* whole = DecodeBmpStream(file, &bitmap);
  TouchPixels(whole);
  if (whole && !BmpBytesFit(data, size)) abort();
  if (size & 1) {
    rewind(file);
    FuzzBitmap* stepped = new FuzzBitmap;
    BmpReading reading = BMP_REFUSED;
    BmpDecoding* decoding = StartBmpDecoding(file, false, INT64_MAX, &reading);
    if ((decoding != nullptr) != (reading == BMP_BY_ROWS)) abort();
    if (decoding) SetBmpDecodingTarget(decoding, stepped, true);
    else delete stepped;
    int stop = (data[size - 1] & 7) == 0 ? data[size / 2] % 4 : -1;
    int result = decoding ? 0 : -1;
    for (int i = 0; result == 0 && i != stop; ++i) result = StepBmpDecoding(decoding);
    if (result == 0) {
      AbandonBmpDecoding(decoding);
    } else {
      Bitmap* picture = decoding ? TakeBmpPicture(decoding) : nullptr;
      ExpectSameResult(whole, picture);
      delete picture;
    }
  }
  fclose(file);
  return 0;
}
