#include "imagefiles/picture_decoding.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <gif_lib.h>

#include "base/utf8_file.h"
#include "imagefiles/bmp_decoding.h"
#include "imagefiles/bmp_file.h"
#include "imagefiles/file_list.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/ico_file.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_header.h"
#include "imagefiles/png_file.h"
#include "raster/memory_bitmap.h"

namespace {

// Extensions in lower case; a file's own is compared in any ASCII case.
const struct {
  const char* extension;
  PictureKind kind;
} KINDS[] = {
    {".jpg", PICTURE_KIND_JPEG}, {".jpeg", PICTURE_KIND_JPEG}, {".png", PICTURE_KIND_PNG},
    {".gif", PICTURE_KIND_GIF},  {".bmp", PICTURE_KIND_BMP},   {".ico", PICTURE_KIND_ICO},
};

// The frame reader's buffer: four blocks of 32768 bytes.
const int64_t GIF_READER_BYTES = 4 * 32768;
// The Windows loader's icon work: a few small bitmaps.
const int64_t ICON_WORKING_BYTES = 64 * 1024;
// A BMP left to the Windows loader is read in one long step: a preparation
// does not take one larger than this.
const int64_t LOADER_PREPARATION_PIXELS = 4 * 1000 * 1000;

// Bytes a block will hold once resized to a picture of `needed` bytes: a
// MemoryBitmap keeps a larger block and grows a smaller one by a quarter.
int64_t BlockBytesFor(Bitmap* memory, int64_t needed) {
  MemoryBitmap* block = dynamic_cast<MemoryBitmap*>(memory);
  if (!block || block->AllocatedBytes() == 0) return needed;
  if (block->AllocatedBytes() >= needed) return block->AllocatedBytes();
  int64_t grown = needed + needed / 4;
  return grown < MAX_BITMAP_BYTES ? grown : MAX_BITMAP_BYTES;
}

int64_t BlockBytes(const Bitmap* bitmap) {
  if (!bitmap) return 0;
  const MemoryBitmap* block = dynamic_cast<const MemoryBitmap*>(bitmap);
  if (block) return block->AllocatedBytes();
  int64_t bytes = BitmapByteCount(bitmap->Width(), bitmap->Height());
  return bytes > 0 ? bytes : 0;
}

}  // namespace

struct PictureDecoding {
  PictureKind kind;
  std::string path;
  int width, height;
  int64_t working_need;     // besides the picture
  JpegDecoding* jpeg;
  PngDecoding* png;
  BmpDecoding* bmp;         // a BMP read by rows; null when left to the loader
  GifFrameReader* gif;
  int64_t given_bytes;      // bytes of the block given to a JPEG, PNG or BMP decoding
  int64_t picture_block;    // bytes of the picture's block once sized
  Bitmap* memory;           // owned: the block given (to a GIF, BMP or ICO), the picture once complete
  int result;               // 1 complete, 0 under way, -1 failed
  int first_delay;
  int64_t last_step_work;
  int64_t work_done;        // of all steps so far
};

PictureKind PictureKindOf(const char* path) {
  for (const auto& entry : KINDS) {
    if (HasExtension(path, entry.extension)) return entry.kind;
  }
  return PICTURE_KIND_OTHER;
}

const char* PictureKindName(PictureKind kind) {
  static const char* const names[PICTURE_KIND_COUNT] = {"JPEG", "PNG", "GIF", "BMP", "ICO", "other"};
  return names[kind];
}

namespace {

// A BMP read by rows, or one of the kinds left to the Windows loader
// (d->bmp stays null). False when refused.
bool StartBmp(PictureDecoding* d, int64_t max_bytes) {
  BmpReading reading = BMP_REFUSED;
  d->bmp = StartBmpDecoding(Utf8OpenFile(d->path.c_str(), "rb"), true, max_bytes, &reading);
  if (!d->bmp) return reading == BMP_BY_LOADER;
  BmpPictureSize(d->bmp, &d->width, &d->height);
  d->working_need = BmpWorkingBytes(d->bmp);
  return true;
}

}  // namespace

PictureDecoding* StartPictureDecoding(const char* path, int64_t max_bytes) {
  PictureKind kind = PictureKindOf(path);
  if (kind == PICTURE_KIND_OTHER) return nullptr;
  PictureDecoding* d = new (std::nothrow) PictureDecoding();
  if (!d) return nullptr;
  d->kind = kind;
  d->path = path;
  bool accepted = false;
  if (d->kind == PICTURE_KIND_JPEG || d->kind == PICTURE_KIND_PNG) {
    FILE* file = Utf8OpenFile(path, "rb");
    if (file && d->kind == PICTURE_KIND_JPEG) {
      d->jpeg = StartJpegDecoding(file, true, max_bytes);
      if (d->jpeg) {
        JpegPictureSize(d->jpeg, &d->width, &d->height);
        d->working_need = JpegWorkingNeed(d->jpeg);
      }
      accepted = d->jpeg != nullptr;
    } else if (file) {
      d->png = StartPngDecoding(file, true, max_bytes);
      if (d->png) {
        PngPictureSize(d->png, &d->width, &d->height);
        d->working_need = PngWorkingBytes(d->png);
      }
      accepted = d->png != nullptr;
    }
  } else if (d->kind == PICTURE_KIND_GIF) {
    // The frame reader applies the claims bound to the screen when it opens.
    d->gif = OpenGifFrameReader(path);
    if (d->gif) {
      d->width = d->gif->decoder->SWidth;
      d->height = d->gif->decoder->SHeight;
      // The reader's frame cache records the first frame as it is drawn:
      // a byte a pixel, within the cache's cap.
      int64_t recorded = int64_t(d->width) * d->height + int64_t(sizeof(GifCachedFrame));
      d->working_need = GIF_WORKING_BYTES + GIF_READER_BYTES +
                        (recorded < GIF_FRAME_CACHE_BYTES ? recorded : GIF_FRAME_CACHE_BYTES);
    }
    accepted = d->gif != nullptr;
  } else if (d->kind == PICTURE_KIND_BMP && !StartBmp(d, max_bytes)) {
    accepted = false;
  } else if (d->bmp) {
    accepted = true;
  } else {
    // The Windows loader reads the whole file in one step. A BMP passes
    // through a section of its own and a DIB as large as the picture.
    PictureHeader header;
    accepted = ReadPictureHeader(path, &header);
    d->width = header.width;
    d->height = header.height;
    int64_t picture = BitmapByteCount(d->width, d->height);
    d->working_need = d->kind == PICTURE_KIND_ICO ? ICON_WORKING_BYTES : 2 * (picture > 0 ? picture : 0);
    // Only a picture asked for waits for the loader's long step.
    bool preparation = max_bytes != INT64_MAX;
    if (d->kind == PICTURE_KIND_BMP && preparation && int64_t(d->width) * d->height > LOADER_PREPARATION_PIXELS) {
      accepted = false;
    }
  }
  int64_t picture = BitmapByteCount(d->width, d->height);
  if (!accepted || picture < 0 || picture + d->working_need > max_bytes) {
    AbandonPictureDecoding(d);
    return nullptr;
  }
  d->picture_block = picture;
  return d;
}

int64_t PictureDecodingNeed(const PictureDecoding* d) { return d->working_need + d->picture_block; }

int64_t PictureDecodingPictureBytes(const PictureDecoding* d) {
  int64_t bytes = BitmapByteCount(d->width, d->height);
  return bytes > 0 ? bytes : 0;
}

int64_t PictureDecodingHeld(const PictureDecoding* d) {
  if (d->jpeg) {
    Bitmap* bitmap = JpegDecodingBitmap(d->jpeg);
    return JpegWorkingHeld(d->jpeg) + (bitmap ? BlockBytes(bitmap) : d->given_bytes);
  }
  if (d->png) {
    Bitmap* bitmap = PngDecodingBitmap(d->png);
    return PngWorkingBytes(d->png) + (bitmap ? BlockBytes(bitmap) : d->given_bytes);
  }
  if (d->bmp) {
    Bitmap* bitmap = BmpDecodingBitmap(d->bmp);
    return BmpWorkingBytes(d->bmp) + (bitmap ? BlockBytes(bitmap) : d->given_bytes);
  }
  return (d->gif ? d->working_need : 0) + BlockBytes(d->memory);
}

void GivePictureDecodingMemory(PictureDecoding* d, Bitmap* memory) {
  d->picture_block = BlockBytesFor(memory, BitmapByteCount(d->width, d->height));
  d->given_bytes = BlockBytes(memory);
  // The JPEG and PNG decodings own it from here on.
  if (d->jpeg) {
    SetJpegDecodingTarget(d->jpeg, memory, true);
  } else if (d->png) {
    SetPngDecodingTarget(d->png, memory, true);
  } else if (d->bmp) {
    SetBmpDecodingTarget(d->bmp, memory, true);
  } else {
    if (memory != d->memory) delete d->memory;
    d->memory = memory;
  }
}

namespace {

// The GIF's first frame as the frame reader draws it; where the reader
// cannot draw it, the whole file as LoadGifFile decodes it (which then
// fails quickly too, short of images without delays drawn over each other).
int StepGif(PictureDecoding* d) {
  if (!d->memory) d->memory = new (std::nothrow) MemoryBitmap();
  if (!d->memory) return -1;
  bool done = false;
  int delay = StepNextGifFrame(d->gif, d->memory, &done, &d->last_step_work);
  if (!done) return 0;
  if (delay >= 0) {
    d->first_delay = delay;
    return 1;
  }
  CloseGifFrameReader(d->gif);
  d->gif = nullptr;
  return LoadGifFile(d->path.c_str(), d->memory) ? 1 : -1;
}

}  // namespace

int StepPictureDecoding(PictureDecoding* d) {
  d->last_step_work = 0;
  if (d->result != 0) return d->result;
  int result = -1;
  switch (d->kind) {
    case PICTURE_KIND_JPEG:
      result = StepJpegDecoding(d->jpeg);
      d->last_step_work = JpegLastStepWork(d->jpeg);
      if (result == 1) d->memory = TakeJpegPicture(d->jpeg);
      if (result == 1) d->jpeg = nullptr;
      break;
    case PICTURE_KIND_PNG:
      result = StepPngDecoding(d->png);
      d->last_step_work = PngLastStepWork(d->png);
      if (result == 1) d->memory = TakePngPicture(d->png);
      if (result == 1) d->png = nullptr;
      break;
    case PICTURE_KIND_GIF:
      result = StepGif(d);
      break;
    case PICTURE_KIND_BMP:
      if (d->bmp) {
        result = StepBmpDecoding(d->bmp);
        d->last_step_work = BmpLastStepWork(d->bmp);
        if (result == 1) d->memory = TakeBmpPicture(d->bmp);
        if (result == 1) d->bmp = nullptr;
        break;
      }
      [[fallthrough]];  // left to the Windows loader
    case PICTURE_KIND_ICO: {
      Bitmap* picture = d->kind == PICTURE_KIND_BMP ? LoadBmpFile(d->path.c_str(), d->memory)
                                                    : LoadIcoFile(d->path.c_str(), d->memory);
      if (picture) d->memory = picture;
      d->last_step_work = int64_t(d->width) * (d->height > 0 ? d->height : 0);
      result = picture ? 1 : -1;
      break;
    }
    default:
      break;  // no decoder: never started
  }
  if (result < 0) {
    // A failed JPEG, PNG or BMP decoding has already deleted the block it owned.
    AbandonJpegDecoding(d->jpeg);
    AbandonPngDecoding(d->png);
    AbandonBmpDecoding(d->bmp);
    d->bmp = nullptr;
    CloseGifFrameReader(d->gif);
    d->jpeg = nullptr;
    d->png = nullptr;
    d->gif = nullptr;
    delete d->memory;
    d->memory = nullptr;
  }
  d->result = result;
  d->work_done += d->last_step_work;
  return result;
}

int64_t PictureDecodingRemainingWork(const PictureDecoding* d) {
  if (d->result != 0) return 0;
  if (d->jpeg) return JpegRemainingWork(d->jpeg);
  // The others count a step's work by the pixels it covers: a PNG pixel four
  // times, a GIF's or a BMP's once.
  int64_t pixels = int64_t(d->width) * (d->height > 0 ? d->height : 0);
  int64_t total = d->kind == PICTURE_KIND_PNG ? 4 * pixels : pixels;
  return total > d->work_done ? total - d->work_done : 0;
}

Bitmap* TakeDecodedPicture(PictureDecoding* d, int* first_delay, GifFrameReader** animation) {
  if (first_delay) *first_delay = 0;
  if (animation) *animation = nullptr;
  Bitmap* picture = nullptr;
  if (d->result == 1) {
    picture = d->memory;
    d->memory = nullptr;
    if (first_delay) *first_delay = d->first_delay;
    if (d->gif && d->first_delay > 0 && animation) {
      *animation = d->gif;
      d->gif = nullptr;
    }
  }
  AbandonPictureDecoding(d);
  return picture;
}

void AbandonPictureDecoding(PictureDecoding* d) {
  if (!d) return;
  AbandonJpegDecoding(d->jpeg);
  AbandonPngDecoding(d->png);
  AbandonBmpDecoding(d->bmp);
  CloseGifFrameReader(d->gif);
  delete d->memory;
  delete d;
}

Bitmap* DecodePictureFile(const char* path, int* first_delay, GifFrameReader** animation) {
  if (first_delay) *first_delay = 0;
  if (animation) *animation = nullptr;
  PictureDecoding* d = StartPictureDecoding(path, INT64_MAX);
  if (!d) return nullptr;
  int result = 0;
  while ((result = StepPictureDecoding(d)) == 0) {
  }
  return TakeDecodedPicture(d, first_delay, animation);
}
