// The animation path: frame after frame as the frame reader steps them,
// a rewind to the first record and further passes, as the picture control
// does when the frames run out; for half of the inputs with the frame
// cache, whose later passes replay the first from memory. Beside it the
// same frames drawn a few lines at a time (steps of work chosen by the
// input) must give the same results and pixels.
#include <gif_lib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/gif_decoding.h"
#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/gif_memory_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GifMemorySource source = {data, size, 0, {}};
  GifFileType* gif = OpenGifFromMemory(&source);
  if (!gif) return 0;
  GifMemorySource stepped_source = {data, size, 0, {}};
  GifFileType* stepped = (size & 4) ? OpenGifFromMemory(&stepped_source) : nullptr;
  size_t rewind_position = source.position;
  FuzzBitmap frame, stepped_frame;
  int32_t state = 0, elapsed = 0, stepped_state = 0, stepped_elapsed = 0;
  GifFrameDrawing drawing = {};
  int64_t step_work = 1 + (size > 0 ? data[size - 1] : 0) * 64;
  GifFrameCache* cache = (size & 2) ? MakeGifFrameCache() : nullptr;
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = 0; i < 64; ++i) {
      int result = StepGifFrame(gif, &frame, &state, &elapsed, cache);
      if (stepped) {
        bool done = false;
        int stepped_result = 0;
        for (int n = 0; !done; ++n) {
          int64_t work = 0;
          stepped_result = StepGifFrameWork(stepped, &stepped_frame, &stepped_state, &stepped_elapsed, nullptr,
                                            &drawing, step_work, &work, &done);
          if (n > 100000000) abort();
        }
        if (stepped_result != result || stepped_state != state) abort();
        // A frame that failed before its image leaves the bitmap undefined.
        if (result >= 0) ExpectSameResult(&frame, &stepped_frame);
      }
      if (result < 0) break;
      // The first frame also goes without a target now and then, as when
      // the picture could not be sized.
      if (i == 0 && (size & 1) && !stepped) StepGifFrame(gif, nullptr, &state, &elapsed, cache);
    }
    TouchPixels(&frame);
    source.position = rewind_position;
    stepped_source.position = rewind_position;
    state = elapsed = stepped_state = stepped_elapsed = 0;
    ResetGifFrameDrawing(&drawing);
    RewindGifFrameCache(cache);
  }
  FreeGifFrameCache(cache);
  int error = 0;
  DGifCloseFile(gif, &error);
  if (stepped) DGifCloseFile(stepped, &error);
  return 0;
}
