// The animation path: frame after frame as the frame reader steps them,
// a rewind to the first record and further passes, as the picture control
// does when the frames run out; for half of the inputs with the frame
// cache, whose later passes replay the first from memory.
#include <gif_lib.h>

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/gif_decoding.h"
#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/gif_memory_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GifMemorySource source = {data, size, 0};
  GifFileType* gif = OpenGifFromMemory(&source);
  if (!gif) return 0;
  size_t rewind_position = source.position;
  FuzzBitmap frame;
  int32_t state = 0, elapsed = 0;
  GifFrameCache* cache = (size & 2) ? MakeGifFrameCache() : nullptr;
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = 0; i < 64 && StepGifFrame(gif, &frame, &state, &elapsed, cache) >= 0; ++i) {
      // The first frame also goes without a target now and then, as when
      // the picture could not be sized.
      if (i == 0 && (size & 1)) StepGifFrame(gif, nullptr, &state, &elapsed, cache);
    }
    TouchPixels(&frame);
    source.position = rewind_position;
    state = elapsed = 0;
    RewindGifFrameCache(cache);
  }
  FreeGifFrameCache(cache);
  int error = 0;
  DGifCloseFile(gif, &error);
  return 0;
}
