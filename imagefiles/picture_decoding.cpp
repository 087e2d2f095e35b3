// The one way into every decoder, over the decoders as they are: a JPEG or a
// PNG in bands and rows, other kinds whole in one step.
#include "imagefiles/picture_decoding.h"

#include <cstring>
#include <new>
#include <string>

#include "imagefiles/file_list.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_header.h"
#include "imagefiles/png_row_decoding.h"
#include "raster/memory_bitmap.h"

struct PictureDecoding {
  std::string path;
  int64_t picture_bytes;
  Bitmap* memory;
  Bitmap* picture;
  JpegBandDecoding* jpeg;
  PngRowDecoding* png;
  bool started;
  int first_delay;
  GifFrameReader* animation;
};

PictureDecoding* StartPictureDecoding(const char* path, int64_t max_bytes) {
  const char* e = PathExtension(path);
  bool known = !strcmp(e, ".jpg") || !strcmp(e, ".jpeg") || !strcmp(e, ".png") || !strcmp(e, ".gif") ||
               !strcmp(e, ".bmp") || !strcmp(e, ".ico");
  if (!known) return nullptr;
  PictureHeader header;
  if (!ReadPictureHeader(path, &header)) return nullptr;
  int64_t bytes = BitmapByteCount(header.width, header.height);
  if (bytes < 0 || bytes > max_bytes) return nullptr;
  PictureDecoding* d = new PictureDecoding();
  d->path = path;
  d->picture_bytes = bytes;
  return d;
}

int64_t PictureDecodingNeed(const PictureDecoding* d) { return d->picture_bytes; }
int64_t PictureDecodingHeld(const PictureDecoding* d) {
  const MemoryBitmap* m = dynamic_cast<const MemoryBitmap*>(d->memory);
  return m ? m->AllocatedBytes() : 0;
}
int64_t PictureDecodingPictureBytes(const PictureDecoding* d) { return d->picture_bytes; }
void GivePictureDecodingMemory(PictureDecoding* d, Bitmap* memory) {
  delete d->memory;
  d->memory = memory;
}

int StepPictureDecoding(PictureDecoding* d) {
  const char* path = d->path.c_str();
  const char* e = PathExtension(path);
  if (!d->memory) d->memory = new MemoryBitmap();
  if (!d->started) {
    d->started = true;
    if (!strcmp(e, ".jpg") || !strcmp(e, ".jpeg")) {
      d->jpeg = StartJpegBandDecoding(path, d->memory, INT64_MAX);
      return d->jpeg ? 0 : -1;
    }
    if (!strcmp(e, ".png")) {
      d->png = StartPngRowDecoding(path, d->memory, INT64_MAX);
      return d->png ? 0 : -1;
    }
    if (!strcmp(e, ".gif")) {
      d->picture = LoadGifFirstFrame(path, d->memory, &d->first_delay, &d->animation);
    } else {
      d->picture = LoadPictureFile(path, d->memory);
    }
    return d->picture ? 1 : -1;
  }
  int r = d->jpeg ? DecodeJpegBand(d->jpeg, 8, 4096) : DecodePngRows(d->png, 2);
  if (r == 0) return 0;
  Bitmap* b = d->jpeg ? FinishJpegBandDecoding(d->jpeg) : FinishPngRowDecoding(d->png);
  d->jpeg = nullptr;
  d->png = nullptr;
  d->picture = b;
  return b ? 1 : -1;
}

Bitmap* TakeDecodedPicture(PictureDecoding* d, int* first_delay, GifFrameReader** animation) {
  Bitmap* picture = d->picture;
  *first_delay = d->first_delay;
  if (animation) *animation = d->animation;
  else CloseGifFrameReader(d->animation);
  d->animation = nullptr;
  if (picture == d->memory) d->memory = nullptr;
  d->picture = nullptr;
  AbandonPictureDecoding(d);
  return picture;
}

void AbandonPictureDecoding(PictureDecoding* d) {
  if (!d) return;
  AbandonJpegBandDecoding(d->jpeg);
  AbandonPngRowDecoding(d->png);
  CloseGifFrameReader(d->animation);
  delete d->memory;
  delete d;
}

Bitmap* DecodePictureFile(const char* path, int* first_delay, GifFrameReader** animation) {
  PictureDecoding* d = StartPictureDecoding(path, INT64_MAX);
  if (!d) return nullptr;
  int r;
  while ((r = StepPictureDecoding(d)) == 0) {}
  if (r < 0) { AbandonPictureDecoding(d); return nullptr; }
  return TakeDecodedPicture(d, first_delay, animation);
}
