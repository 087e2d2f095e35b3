#include "imagefiles/gif_frame_reader.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include <gif_lib.h>

#include "base/file_reader.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/picture_decoding.h"
#include "raster/memory_bitmap.h"

GifFrameReader* OpenGifFrameReader(const char* path) {
  // giflib keeps a pointer to the input: it lives in the reader.
  GifFrameReader* reader = static_cast<GifFrameReader*>(calloc(1, sizeof(GifFrameReader)));
  if (!reader) return nullptr;
  FileReader* file = nullptr;
  GifFileType* gif = OpenGifThroughFileReader(path, 32768, &file, &reader->input);
  if (!gif) {
    free(reader);
    return nullptr;
  }
  reader->file = file;
  reader->decoder = gif;
  reader->elapsed = 0;
  reader->state = 0;
  reader->rewind_position = FileReaderPosition(file);
  reader->cache = MakeGifFrameCache();
  return reader;
}

int StepNextGifFrame(GifFrameReader* reader, Bitmap* target, bool* done, int64_t* work) {
  *done = true;
  if (!reader) return GIF_FRAME_STOPPED;
  int64_t step_work = 0;
  int result = StepGifFrameWork(reader->decoder, target, &reader->state, &reader->elapsed, reader->cache,
                                &reader->drawing, PICTURE_STEP_PIXELS, &step_work, done);
  if (work) *work = step_work;
  return result;
}

int ReadNextGifFrame(GifFrameReader* reader, Bitmap* target) {
  if (!reader) return GIF_FRAME_STOPPED;
  bool done = false;
  int result = 0;
  do {
    int64_t work = 0;
    result = StepGifFrameWork(reader->decoder, target, &reader->state, &reader->elapsed, reader->cache,
                              &reader->drawing, INT64_MAX / 2, &work, &done);
  } while (!done);
  return result;
}

void RewindGifFrameReader(GifFrameReader* reader) {
  if (!reader) return;
  reader->state = 0;
  reader->elapsed = 0;
  ResetGifFrameDrawing(&reader->drawing);
  RewindGifFrameCache(reader->cache);
  SeekFileReader(reader->file, reader->rewind_position);
}

void CloseGifFrameReader(GifFrameReader* reader) {
  if (!reader) return;
  int error = 0;
  DGifCloseFile(reader->decoder, &error);
  CloseFileReader(reader->file);
  ResetGifFrameDrawing(&reader->drawing);
  FreeGifFrameCache(reader->cache);
  free(reader);
}

Bitmap* LoadGifFirstFrame(const char* path, Bitmap* target, int* first_delay, GifFrameReader** animation) {
  *first_delay = 0;
  if (animation) *animation = nullptr;
  Bitmap* bitmap = target ? target : new (std::nothrow) MemoryBitmap();
  if (!bitmap) return nullptr;
  GifFrameReader* reader = OpenGifFrameReader(path);
  int delay = ReadNextGifFrame(reader, bitmap);
  if (delay < 0) {
    // The whole-file decoding would have drawn the first image as the reader
    // does; where the reader could not, its picture is the one shown.
    CloseGifFrameReader(reader);
    Bitmap* whole = LoadGifFile(path, bitmap);
    if (!whole && !target) delete bitmap;
    return whole;
  }
  if (delay > 0 && animation) {
    *animation = reader;
  } else {
    CloseGifFrameReader(reader);
  }
  *first_delay = delay;
  return bitmap;
}

GifFrameReader* ResumeGifAnimation(const char* path, int first_delay) {
  GifFrameReader* reader = OpenGifFrameReader(path);
  if (SkipFirstGifFrame(reader, first_delay)) return reader;
  CloseGifFrameReader(reader);
  return nullptr;
}

bool SkipFirstGifFrame(GifFrameReader* reader, int first_delay) {
  // The first frame is only read past: the shown picture holds it.
  return reader && ReadNextGifFrame(reader, nullptr) == first_delay && first_delay > 0;
}

int64_t GifScreenPixels(const GifFrameReader* reader) {
  return reader ? int64_t(reader->decoder->SWidth) * reader->decoder->SHeight : 0;
}
