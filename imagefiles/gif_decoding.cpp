#include "imagefiles/gif_decoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

namespace {

int ReadInput(GifFileType* gif, GifByteType* bytes, int count) {
  GifInput* input = static_cast<GifInput*>(gif->UserData);
  return input->read(input->source, bytes, count);
}

int64_t FileBytes(const GifFileType* gif) { return static_cast<const GifInput*>(gif->UserData)->file_bytes; }

// Reading a record or a data block counts as this much work.
const int64_t RECORD_WORK = 256;
// Decompressed pixels that are not drawn are charged to a frame's budget
// at this fraction.
const int64_t UNDRAWN_SHARE = 16;

}  // namespace

GifFileType* OpenGifDecoder(GifInput* input) {
  int error = 0;
  GifFileType* gif = input ? DGifOpen(input, ReadInput, &error) : nullptr;
  if (gif && !UnbackedPictureFits(gif->SWidth, gif->SHeight)) {
    DGifCloseFile(gif, &error);
    return nullptr;
  }
  return gif;
}

void BeginGifImage(GifImageDrawing* d, Bitmap* target, GifFileType* gif, int transparent_index, bool first_image,
                   GifFrameCache* recording) {
  memset(d, 0, sizeof *d);
  d->active = true;
  d->within_budget = true;
  d->transparent_index = transparent_index;
  const GifImageDesc& image = gif->Image;
  const ColorMapObject* local = image.ColorMap;
  const ColorMapObject* global = gif->SColorMap;
  int local_count = local ? local->ColorCount : 0;
  int global_count = global ? global->ColorCount : 0;
  if (local_count > 256) local_count = 256;
  if (global_count > 256) global_count = 256;
  for (int i = 0; i < 256; ++i) {
    if (i < local_count) d->colours[i] = MapColour(local->Colors[i]);
    else if (i < global_count) d->colours[i] = MapColour(global->Colors[i]);
    else d->colours[i] = 0;
  }
  if (target && first_image) {
    int index = gif->SBackGroundColor;
    if (global && index >= 0 && index < global_count) d->background = MapColour(global->Colors[index]) & 0xFFFFFF;
    else if (index >= 0 && index < 256) d->background = d->colours[index] & 0xFFFFFF;
    d->clearing = target->Bits() != nullptr;
  }
  d->target = target && target->Bits() ? target : nullptr;
  int width = image.Width;
  if (width <= 0 || image.Height <= 0) {
    d->lines = image.Height > 0 ? image.Height : 0;  // nothing to read
    return;
  }
  if (!d->target) {
    d->skipping = true;  // nothing to draw into: only move past the image
    return;
  }
  d->line = static_cast<unsigned char*>(malloc(static_cast<size_t>(width)));
  if (!d->line) {
    d->skipping = true;
    return;
  }
  int left = image.Left;
  d->first_x = left < 0 ? -left : 0;
  d->end_x = target->Width() - left < width ? target->Width() - left : width;
  // Frames drawn from here on can be replayed from the recording; any other
  // (nothing to draw into, an empty or refused image) cannot.
  if (recording) {
    BeginCachedFrame(recording, d->colours, transparent_index, first_image, d->background, left + d->first_x,
                     d->end_x - d->first_x);
  }
}

void EndGifImage(GifImageDrawing* d) {
  free(d->line);
  d->line = nullptr;
  d->active = false;
}

bool ContinueGifImage(GifImageDrawing* d, GifFileType* gif, int64_t* budget, GifFrameCache* recording,
                      int64_t max_work, int64_t* work) {
  int64_t start = *work;
  Bitmap* target = d->target;
  // The first image's clearing, a band of rows at a time.
  while (d->clearing) {
    int width = target->Width(), height = target->Height();
    int64_t rows = (max_work - (*work - start)) / (width > 0 ? width : 1);
    if (rows < 1) rows = 1;
    if (rows > height - d->cleared_rows) rows = height - d->cleared_rows;
    for (int64_t y = d->cleared_rows; y < d->cleared_rows + rows; ++y) {
      uint32_t* row = target->Bits() + (target->IsFlipped() ? height - 1 - y : y) * int64_t(target->RowSpan());
      for (int x = 0; x < width; ++x) row[x] = d->background;
    }
    d->cleared_rows += static_cast<int>(rows);
    *work += rows * width;
    if (d->cleared_rows >= height) d->clearing = false;
    if (*work - start >= max_work) return false;
  }
  const GifImageDesc& image = gif->Image;
  int width = image.Width, height = image.Height;
  while (d->skipping) {
    GifByteType* block = nullptr;
    if (DGifGetCodeNext(gif, &block) != GIF_OK || !block) return true;
    *work += RECORD_WORK;
    if (*work - start >= max_work) return false;
  }
  if (d->lines >= height) return true;
  int target_height = target->Height();
  ptrdiff_t span = target->RowSpan();
  bool flipped = target->IsFlipped();
  int left = image.Left;
  int drawn_width = d->end_x > d->first_x ? d->end_x - d->first_x : 0;
  // Copies the pixel loop can keep in registers: the rows written are not
  // read back through them.
  uint32_t colours[256];
  memcpy(colours, d->colours, sizeof colours);
  const int transparent_index = d->transparent_index;
  // At least one line per call, unless the clearing took the step.
  while (d->lines < height && (*work == start || *work - start + width <= max_work)) {
    bool last_pass = false;
    int y = ImageRow(d->lines, height, image.Interlace, &last_pass) + image.Top;
    // Rows below the target: in the last pass every later row is too.
    if (y >= target_height && last_pass) {
      d->skipping = true;
      return ContinueGifImage(d, gif, budget, recording, max_work - (*work - start), work);
    }
    bool on_target = y >= 0 && y < target_height;
    int64_t drawn = on_target ? drawn_width : 0;
    int64_t charge = drawn + (width - drawn + UNDRAWN_SHARE - 1) / UNDRAWN_SHARE;
    if (*budget < charge) {
      d->within_budget = false;
      d->skipping = true;
      return ContinueGifImage(d, gif, budget, recording, max_work - (*work - start), work);
    }
    *budget -= charge;
    *work += width;
    if (DGifGetLine(gif, d->line, width) != GIF_OK) return true;  // the rows drawn stay
    ++d->lines;
    if (!on_target) continue;
    uint32_t* row = target->Bits() + (flipped ? target_height - 1 - y : y) * span;
    if (recording) AddCachedRow(recording, y, d->line + d->first_x);
    const unsigned char* line = d->line;
    if (transparent_index < 0) {
      for (int x = d->first_x; x < d->end_x; ++x) row[left + x] = colours[line[x]];
    } else {
      for (int x = d->first_x; x < d->end_x; ++x) {
        if (line[x] != transparent_index) row[left + x] = colours[line[x]];
      }
    }
  }
  return d->lines >= height;
}

bool DrawGifImage(Bitmap* target, GifFileType* gif, int transparent_index, bool first_image, int64_t* budget,
                  GifFrameCache* recording) {
  int64_t own_budget = GifDecodeBudget(gif);
  if (!budget) budget = &own_budget;
  GifImageDrawing drawing;
  BeginGifImage(&drawing, target, gif, transparent_index, first_image, recording);
  int64_t work = 0;
  while (!ContinueGifImage(&drawing, gif, budget, recording, INT64_MAX / 2, &work)) {
  }
  EndGifImage(&drawing);
  return drawing.within_budget;
}

namespace {

// The first image on the screen must be backed by the file; its descriptor
// was just read.
bool FirstImageFits(const GifFileType* gif) {
  const GifImageDesc& image = gif->Image;
  return GifScreenFitsFile(gif->SWidth, gif->SHeight, image.Left, image.Top, image.Width, image.Height, FileBytes(gif));
}

}  // namespace

Bitmap* DecodeGifImages(GifFileType* gif, Bitmap* target) {
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
        if (!FirstImageFits(gif)) break;
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

namespace {

// The state and the time after a frame's result.
int FinishGifFrame(GifFileType*, int32_t* state, int32_t* elapsed, int result, bool still) {
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

}  // namespace

void ResetGifFrameDrawing(GifFrameDrawing* drawing) {
  EndGifImage(&drawing->image);
  memset(drawing, 0, sizeof *drawing);
}

namespace {

// Records up to the next image's descriptor, one record or extension block
// per call: 1 once the image is begun, 0 while records remain, or a
// negative code.
int ReadFrameRecord(GifFileType* gif, Bitmap* target, GifFrameCache* recording, GifFrameDrawing* f) {
  if (f->in_extension) {
    GifByteType* block = nullptr;
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return GIF_FRAME_BAD_LATER_BLOCK;
    if (!block) {
      f->in_extension = false;
      return 0;
    }
    // A delay of 1 (10 ms) is shown for 100 ms, as browsers do.
    if (ReadGraphicControl(f->label, block, &f->transparent_index, &f->delay) && f->delay == 1) f->delay = 10;
    return 0;
  }
  GifRecordType record;
  if (DGifGetRecordType(gif, &record) != GIF_OK) return GIF_FRAME_BAD_RECORD;
  if (record == IMAGE_DESC_RECORD_TYPE) {
    if (DGifGetImageDesc(gif) != GIF_OK) return GIF_FRAME_BAD_DESCRIPTOR;
    ForgetSavedGifImages(gif);
    // The claim of a first image its file cannot back stops the reader
    // before anything is drawn.
    if (f->first_image && !FirstImageFits(gif)) return GIF_FRAME_BAD_DESCRIPTOR;
    BeginGifImage(&f->image, target, gif, f->transparent_index, f->first_image, recording);
    return 1;
  }
  if (record == EXTENSION_RECORD_TYPE) {
    GifByteType* block = nullptr;
    // giflib reads the label together with the first block.
    if (DGifGetExtension(gif, &f->label, &block) != GIF_OK) return GIF_FRAME_BAD_EXTENSION;
    if (!block) return 0;
    if (ReadGraphicControl(f->label, block, &f->transparent_index, &f->delay) && f->delay == 1) f->delay = 10;
    f->in_extension = true;
    return 0;
  }
  if (record == TERMINATE_RECORD_TYPE) return GIF_FRAME_END;
  return GIF_FRAME_BAD_RECORD;
}

}  // namespace

int StepGifFrameWork(GifFileType* gif, Bitmap* target, int32_t* state, int32_t* elapsed, GifFrameCache* cache,
                     GifFrameDrawing* f, int64_t max_work, int64_t* work, bool* done) {
  *done = true;
  if (!gif || *state < 0) return GIF_FRAME_STOPPED;
  // Every frame is drawn anew into the screen-sized bitmap: a screen larger
  // than any real animation shows its first frame and stays still.
  bool still = int64_t(gif->SWidth) * gif->SHeight > GIF_ANIMATION_MAX_PIXELS;
  int64_t start = *work;
  int result = 0;
  if (!f->active) {
    if (still && *state != 0) return GIF_FRAME_BAD_SIZE;
    if (target) {
      target->Resize(gif->SWidth, gif->SHeight);
      if (target->Width() != gif->SWidth || target->Height() != gif->SHeight || !target->Bits())
        return GIF_FRAME_BAD_SIZE;
    }
    if (cache && cache->complete) {
      // A later loop: the frames come from memory, the end as it came first.
      if (*state >= static_cast<int>(cache->frames.size())) {
        *work += RECORD_WORK;
        return FinishGifFrame(gif, state, elapsed, cache->end_code, still);
      }
      ResetGifFrameDrawing(f);
      f->active = true;
      f->replaying = true;
    }
  }
  if (f->replaying) {
    if (!ReplayCachedFrameSteps(cache, *state, target, &f->replay_position, max_work, work)) {
      *done = false;
      return 0;
    }
    result = cache->frames[static_cast<size_t>(*state)].delay;
    ResetGifFrameDrawing(f);
    return FinishGifFrame(gif, state, elapsed, result, still);
  }
  if (!f->active) {
    ResetGifFrameDrawing(f);
    f->active = true;
    f->transparent_index = -1;
    f->first_image = *state == 0;
    f->budget = GifDecodeBudget(gif);
  }
  while (!f->image.active) {
    int read = ReadFrameRecord(gif, target, cache, f);
    *work += RECORD_WORK;
    if (read < 0) {
      result = read;
      break;
    }
    if (read == 0 && *work - start >= max_work) {
      *done = false;
      return 0;
    }
  }
  // An image that used up the frame's budget stays as far as it was drawn,
  // and the next frame follows as usual.
  if (f->image.active) {
    if (!ContinueGifImage(&f->image, gif, &f->budget, cache, max_work - (*work - start), work)) {
      *done = false;
      return 0;
    }
    result = f->delay * 10;
  }
  if (cache) EndCachedFrame(cache, result);
  ResetGifFrameDrawing(f);
  return FinishGifFrame(gif, state, elapsed, result, still);
}

int StepGifFrame(GifFileType* gif, Bitmap* target, int32_t* state, int32_t* elapsed, GifFrameCache* cache) {
  GifFrameDrawing drawing;
  memset(&drawing, 0, sizeof drawing);
  bool done = false;
  int64_t work = 0;
  int result = 0;
  do {
    result = StepGifFrameWork(gif, target, state, elapsed, cache, &drawing, INT64_MAX / 2, &work, &done);
  } while (!done);
  return result;
}
