#include "imagefiles/gif_decoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <gif_lib.h>

#include "raster/blitting.h"
#include "raster/memory_bitmap.h"

namespace {

const int GRAPHIC_CONTROL_LABEL = 0xF9;

uint32_t MapColour(const GifColorType& colour) {
  return 0xFF000000u | uint32_t(colour.Red) << 16 | uint32_t(colour.Green) << 8 | colour.Blue;
}

// Destination row of the n-th line of an image of the given height.
int ImageRow(int n, int height, bool interlaced) {
  if (!interlaced) return n;
  static const int starts[4] = {0, 4, 2, 1};
  static const int steps[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    int rows = starts[pass] < height ? (height - starts[pass] + steps[pass] - 1) / steps[pass] : 0;
    if (n < rows) return starts[pass] + n * steps[pass];
    n -= rows;
  }
  return height;  // past the image: never drawn
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

void DrawGifImage(Bitmap* target, GifFileType* gif, int transparent_index, bool first_image) {
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

  if (target && first_image) {
    int index = gif->SBackGroundColor;
    uint32_t background = 0;
    if (global && index >= 0 && index < global_count) background = MapColour(global->Colors[index]) & 0xFFFFFF;
    else if (index >= 0 && index < 256) background = colours[index] & 0xFFFFFF;
    ClearBitmap(target, background);
  }

  int width = image.Width, height = image.Height;
  if (width <= 0 || height <= 0) return;
  GifPixelType stack_line[2048];
  GifPixelType* line = stack_line;
  if (width > 2048) {
    line = static_cast<GifPixelType*>(malloc(static_cast<size_t>(width)));
    if (!line) return;
  }

  uint32_t* bits = target ? target->Bits() : nullptr;
  int target_width = bits ? target->Width() : 0;
  int target_height = bits ? target->Height() : 0;
  ptrdiff_t span = bits ? target->RowSpan() : 0;
  bool flipped = bits && target->IsFlipped();
  int left = image.Left;
  int first_x = left < 0 ? -left : 0;
  int end_x = target_width - left < width ? target_width - left : width;
  for (int n = 0; n < height; ++n) {
    if (DGifGetLine(gif, line, width) != GIF_OK) break;
    if (!bits) continue;
    int y = ImageRow(n, height, image.Interlace) + image.Top;
    if (y < 0 || y >= target_height) continue;
    uint32_t* row = bits + (flipped ? target_height - 1 - y : y) * span;
    for (int x = first_x; x < end_x; ++x) {
      if (line[x] != transparent_index) row[left + x] = colours[line[x]];
    }
  }
  if (line != stack_line) free(line);
}

Bitmap* DecodeGifImages(GifFileType* gif, Bitmap* target) {
  Bitmap* bitmap = target;
  Bitmap* created = nullptr;
  int transparent_index = -1;
  bool drawn = false;
  bool delay_seen = false;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif, &record) != GIF_OK) break;
    if (record == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) != GIF_OK) break;
      ForgetSavedGifImages(gif);
      if (!bitmap) bitmap = created = new MemoryBitmap();
      if (!drawn) {
        // An empty screen has nothing to show: treated like one too large.
        bitmap->Resize(gif->SWidth, gif->SHeight);
        if (bitmap->Width() != gif->SWidth || bitmap->Height() != gif->SHeight || !bitmap->Bits()) break;
      }
      DrawGifImage(bitmap, gif, transparent_index, !drawn);
      drawn = true;
      if (delay_seen) break;
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

int DrawNextGifImage(GifFileType* gif, Bitmap* target, bool first_image) {
  int delay = 0;
  int transparent_index = -1;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif, &record) != GIF_OK) return GIF_FRAME_BAD_RECORD;
    if (record == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) != GIF_OK) return GIF_FRAME_BAD_DESCRIPTOR;
      ForgetSavedGifImages(gif);
      DrawGifImage(target, gif, transparent_index, first_image);
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
