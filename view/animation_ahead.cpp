#include "view/animation_ahead.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/picture_decoding.h"
#include "raster/memory_bitmap.h"
#include "view/picture_schedule.h"

namespace {

// Copying a pixel costs much less than drawing one: a copy step takes more.
const int64_t COPY_STEP_PIXELS = 4 * PICTURE_STEP_PIXELS;

uint32_t* RowOf(const Bitmap* bitmap, int y) {
  int row = bitmap->IsFlipped() ? bitmap->Height() - 1 - y : y;
  return bitmap->Bits() + static_cast<ptrdiff_t>(row) * bitmap->RowSpan();
}

// Copies the next band of the shown frame's rows. False once every row is
// copied, or when there is nothing to copy into (the drawing then fails
// on the size, and the frame is not shown).
bool CopyShownRows(AnimationAhead* ahead, const Bitmap* shown) {
  if (!shown || !shown->Bits()) return false;
  if (!ahead->next) ahead->next = new (std::nothrow) MemoryBitmap();
  if (!ahead->next) return false;
  int width = shown->Width(), height = shown->Height();
  if (ahead->copied_rows == 0) ahead->next->Resize(width, height);
  Bitmap* next = ahead->next;
  if (!next->Bits() || next->Width() != width || next->Height() != height || width <= 0) return false;
  int64_t band = COPY_STEP_PIXELS / width;
  int end = ahead->copied_rows + static_cast<int>(band < 1 ? 1 : band < height ? band : height);
  if (end > height) end = height;
  for (int y = ahead->copied_rows; y < end; ++y) {
    memcpy(RowOf(next, y), RowOf(shown, y), static_cast<size_t>(width) * 4);
  }
  ahead->copied_rows = end;
  return end < height;
}

void BeginCopy(AnimationAhead* ahead) {
  ahead->phase = AHEAD_COPYING;
  ahead->copied_rows = 0;
}

}  // namespace

bool DrawsFramesAhead(const GifFrameReader* reader) { return GifScreenPixels(reader) > PICTURE_STEP_PIXELS; }

void StartAnimationAhead(AnimationAhead* ahead, GifFrameReader* reader, int skip_delay) {
  StopAnimationAhead(ahead);
  ahead->reader = reader;
  ahead->skip_delay = skip_delay;
  if (skip_delay > 0) {
    ahead->phase = AHEAD_SKIPPING;
  } else {
    BeginCopy(ahead);
  }
}

void StopAnimationAhead(AnimationAhead* ahead) {
  delete ahead->next;
  *ahead = AnimationAhead{};
  ahead->phase = AHEAD_OFF;
}

bool StepAnimationAhead(AnimationAhead* ahead, const Bitmap* shown) {
  bool done = false;
  switch (ahead->phase) {
    case AHEAD_SKIPPING: {
      int delay = StepNextGifFrame(ahead->reader, nullptr, &done, nullptr);
      if (!done) return true;
      if (delay == ahead->skip_delay && delay > 0) {
        BeginCopy(ahead);
      } else {
        ahead->phase = AHEAD_STOPPED;
      }
      return true;
    }
    case AHEAD_COPYING:
      if (!CopyShownRows(ahead, shown)) ahead->phase = AHEAD_DRAWING;
      return true;
    case AHEAD_DRAWING: {
      if (!ahead->next) ahead->next = new (std::nothrow) MemoryBitmap();
      int result = GIF_FRAME_BAD_SIZE;
      // Without a bitmap the frame is not read: it fails as one whose size is refused.
      if (ahead->next) result = StepNextGifFrame(ahead->reader, ahead->next, &done, nullptr);
      if (ahead->next && !done) return true;
      ahead->result = result;
      ahead->state_after = ahead->reader->state;
      ahead->phase = AHEAD_READY;
      return true;
    }
    default:
      return false;
  }
}

int TakeAheadFrame(AnimationAhead* ahead, Bitmap** shown) {
  int result = ahead->result;
  if (result >= 0) std::swap(*shown, ahead->next);
  if (result >= 1) {
    // The bitmap now free holds the frame before: it takes the one shown.
    BeginCopy(ahead);
  } else {
    // After the last frame the first comes, drawn over a cleared bitmap.
    RewindGifFrameReader(ahead->reader);
    ahead->phase = AHEAD_DRAWING;
  }
  return result;
}

int64_t AnimationAheadBytes(const AnimationAhead* ahead) {
  if (ahead->phase == AHEAD_OFF || ahead->phase == AHEAD_STOPPED) return 0;
  int64_t held = BlockBytes(ahead->next);
  int64_t screen = 4 * GifScreenPixels(ahead->reader);
  return held > screen ? held : screen;
}
