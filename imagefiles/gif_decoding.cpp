#include "imagefiles/gif_decoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <gif_lib.h>

#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/picture_bounds.h"
#include "raster/blitting.h"
#include "raster/memory_bitmap.h"

namespace {

const int GRAPHIC_CONTROL_LABEL = 0xF9;

uint32_t MapColour(const GifColorType& colour) {
  return 0xFF000000u | uint32_t(colour.Red) << 16 | uint32_t(colour.Green) << 8 | colour.Blue;
}

// Destination row of the n-th line of an image of the given height.
// *last_pass tells whether the line belongs to the last pass that has rows,
// within which rows only go down.
int ImageRow(int n, int height, bool interlaced, bool* last_pass) {
  *last_pass = true;
  if (!interlaced) return n;
  static const int starts[4] = {0, 4, 2, 1};
  static const int steps[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    int rows = starts[pass] < height ? (height - starts[pass] + steps[pass] - 1) / steps[pass] : 0;
    if (n < rows) {
      // Pass 3 starts at row 1: it has rows whenever the image is 2 or more high.
      *last_pass = pass == 3 || height < 2;
      return starts[pass] + n * steps[pass];
    }
    n -= rows;
  }
  return height;  // past the image: never drawn
}

// Moves the file past the rest of the image's data without decompressing it.
void SkipImageData(GifFileType* gif) {
  GifByteType* block = nullptr;
  do {
    if (DGifGetCodeNext(gif, &block) != GIF_OK) return;
  } while (block);
}

// What a graphic control extension block says; false for other blocks.
bool ReadGraphicControl(int label, const GifByteType* block, int* transparent_index, int* delay) {
  if (label != GRAPHIC_CONTROL_LABEL || !block || block[0] < 4) return false;
  *transparent_index = (block[1] & 1) ? block[4] : -1;
  *delay = block[2] + 256 * block[3];
  return true;
}

}  // namespace

void ForgetSavedGifImages(GifFileType* gif) {
  GifFreeSavedImages(gif);
  // giflib indexes its list by this count: it must start again at 0.
  gif->ImageCount = 0;
}

int64_t GifDecodeBudget(const GifFileType* gif) {
  return 4 * int64_t(gif->SWidth) * gif->SHeight + (int64_t(1) << 20);
}

bool DrawGifImage(Bitmap* target, GifFileType* gif, int transparent_index, bool first_image, int64_t* budget,
                  GifFrameCache* recording) {
  int64_t own_budget = GifDecodeBudget(gif);
  if (!budget) budget = &own_budget;
  const GifImageDesc& image = gif->Image;
  const ColorMapObject* local = image.ColorMap;
  const ColorMapObject* global = gif->SColorMap;
  int local_count = local ? local->ColorCount : 0;
  int global_count = global ? global->ColorCount : 0;
  if (local_count > 256) local_count = 256;
  if (global_count > 256) global_count = 256;
  uint32_t colours[256];
  for (int i = 0; i < 256; ++i) {
    if (i < local_count) colours[i] = MapColour(local->Colors[i]);
    else if (i < global_count) colours[i] = MapColour(global->Colors[i]);
    else colours[i] = 0;
  }

  uint32_t background = 0;
  if (target && first_image) {
    int index = gif->SBackGroundColor;
    if (global && index >= 0 && index < global_count) background = MapColour(global->Colors[index]) & 0xFFFFFF;
    else if (index >= 0 && index < 256) background = colours[index] & 0xFFFFFF;
    ClearBitmap(target, background);
  }

  int width = image.Width, height = image.Height;
  if (width <= 0 || height <= 0) return true;
  uint32_t* bits = target ? target->Bits() : nullptr;
  if (!bits) {
    SkipImageData(gif);  // nothing to draw into: only move past the image
    return true;
  }
  GifPixelType stack_line[2048];
  GifPixelType* line = stack_line;
  if (width > 2048) {
    line = static_cast<GifPixelType*>(malloc(static_cast<size_t>(width)));
    if (!line) {
      SkipImageData(gif);
      return true;
    }
  }

  int target_width = target->Width();
  int target_height = target->Height();
  ptrdiff_t span = target->RowSpan();
  bool flipped = target->IsFlipped();
  int left = image.Left;
  int first_x = left < 0 ? -left : 0;
  int end_x = target_width - left < width ? target_width - left : width;
  // Frames drawn from here on can be replayed from the recording; any other
  // (nothing to draw into, an empty or refused image) cannot.
  if (recording) {
    BeginCachedFrame(recording, colours, transparent_index, first_image, background, left + first_x, end_x - first_x);
  }
  bool within_budget = true;
  for (int n = 0; n < height; ++n) {
    bool last_pass = false;
    int y = ImageRow(n, height, image.Interlace, &last_pass) + image.Top;
    // Rows below the target: in the last pass every later row is too.
    if (y >= target_height && last_pass) {
      SkipImageData(gif);
      break;
    }
    if (*budget < width) {
      within_budget = false;
      SkipImageData(gif);
      break;
    }
    *budget -= width;
    if (DGifGetLine(gif, line, width) != GIF_OK) break;
    if (y < 0 || y >= target_height) continue;
    uint32_t* row = bits + (flipped ? target_height - 1 - y : y) * span;
    if (recording) AddCachedRow(recording, y, line + first_x);
    for (int x = first_x; x < end_x; ++x) {
      if (line[x] != transparent_index) row[left + x] = colours[line[x]];
    }
  }
  if (line != stack_line) free(line);
  return within_budget;
}

Bitmap* DecodeGifImages(GifFileType* gif, Bitmap* target, int64_t file_bytes) {
  Bitmap* bitmap = target;
  Bitmap* created = nullptr;
  int transparent_index = -1;
  bool drawn = false;
  bool delay_seen = false;
  int64_t budget = GifDecodeBudget(gif);
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif, &record) != GIF_OK) break;
    if (record == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) != GIF_OK) break;
      ForgetSavedGifImages(gif);
      if (!bitmap) bitmap = created = new MemoryBitmap();
      if (!drawn) {
        const GifImageDesc& image = gif->Image;
        if (!GifScreenFitsFile(gif->SWidth, gif->SHeight, image.Left, image.Top, image.Width, image.Height,
                               file_bytes))
          break;
        // An empty screen has nothing to show: treated like one too large.
        bitmap->Resize(gif->SWidth, gif->SHeight);
        if (bitmap->Width() != gif->SWidth || bitmap->Height() != gif->SHeight || !bitmap->Bits()) break;
      }
      // An image that used up the budget stays as far as it was drawn.
      bool within_budget = DrawGifImage(bitmap, gif, transparent_index, !drawn, &budget);
      drawn = true;
      if (delay_seen || !within_budget) break;
      transparent_index = -1;
    } else if (record == EXTENSION_RECORD_TYPE) {
      int label = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &label, &block) != GIF_OK) break;
      bool failed = false;
      while (block) {
        int delay = 0;
        if (ReadGraphicControl(label, block, &transparent_index, &delay) && delay != 0) delay_seen = true;
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
          failed = true;
          break;
        }
      }
      if (failed) break;
    } else {
      break;  // the terminator, or a byte that is no record type
    }
  }
  if (!drawn) {
    delete created;
    return nullptr;
  }
  return bitmap;
}

int DrawNextGifImage(GifFileType* gif, Bitmap* target, bool first_image, GifFrameCache* recording) {
  int delay = 0;
  int transparent_index = -1;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif, &record) != GIF_OK) return GIF_FRAME_BAD_RECORD;
    if (record == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) != GIF_OK) return GIF_FRAME_BAD_DESCRIPTOR;
      ForgetSavedGifImages(gif);
      // An image that used up the frame's budget stays as far as it was
      // drawn, and the next frame follows as usual.
      DrawGifImage(target, gif, transparent_index, first_image, nullptr, recording);
      return delay * 10;
    } else if (record == EXTENSION_RECORD_TYPE) {
      int label = 0;
      GifByteType* block = nullptr;
      // giflib reads the label together with the first block.
      if (DGifGetExtension(gif, &label, &block) != GIF_OK) return GIF_FRAME_BAD_EXTENSION;
      while (block) {
        // A delay of 1 (10 ms) is shown for 100 ms, as browsers do.
        if (ReadGraphicControl(label, block, &transparent_index, &delay) && delay == 1) delay = 10;
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) return GIF_FRAME_BAD_LATER_BLOCK;
      }
    } else if (record == TERMINATE_RECORD_TYPE) {
      return GIF_FRAME_END;
    } else {
      return GIF_FRAME_BAD_RECORD;
    }
  }
}

int StepGifFrame(GifFileType* gif, Bitmap* target, int32_t* state, int32_t* elapsed, GifFrameCache* cache) {
  if (!gif || *state < 0) return GIF_FRAME_STOPPED;
  // Every frame is drawn anew into the screen-sized bitmap: a screen larger
  // than any real animation shows its first frame and stays still.
  bool still = int64_t(gif->SWidth) * gif->SHeight > GIF_ANIMATION_MAX_PIXELS;
  if (still && *state != 0) return GIF_FRAME_BAD_SIZE;
  if (target) {
    target->Resize(gif->SWidth, gif->SHeight);
    if (target->Width() != gif->SWidth || target->Height() != gif->SHeight || !target->Bits())
      return GIF_FRAME_BAD_SIZE;
  }
  int result = 0;
  if (cache && cache->complete) {
    // A later loop: the frames come from memory, the end as it came first.
    result = *state < static_cast<int>(cache->frames.size()) ? ReplayCachedFrame(cache, *state, target)
                                                              : cache->end_code;
  } else {
    result = DrawNextGifImage(gif, target, *state == 0, cache);
    if (cache) EndCachedFrame(cache, result);
  }
  if (result < 0) {
    *state = result;
    return result;
  }
  *state += 1;
  if (still) result = 0;
  // Wraps instead of overflowing after days of frames without a rewind.
  *elapsed = static_cast<int32_t>(static_cast<uint32_t>(*elapsed) + static_cast<uint32_t>(result));
  return result;
}
