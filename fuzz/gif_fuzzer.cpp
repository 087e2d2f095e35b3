// LoadGifFile's decoding (every image up to the first delayed one) on
// arbitrary bytes, read through the in-memory source instead of a file.
#include <gif_lib.h>

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/gif_decoding.h"
#include "imagefiles/gif_memory_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GifMemorySource source = {data, size, 0, {}};
  GifFileType* gif = OpenGifFromMemory(&source);
  if (!gif) return 0;
  FuzzBitmap bitmap;
  TouchPixels(DecodeGifImages(gif, &bitmap));
  int error = 0;
  DGifCloseFile(gif, &error);
  return 0;
}
