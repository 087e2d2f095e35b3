#include "imagefiles/gif_frame_reader.h"

#include <cstdint>
#include <cstdlib>

#include <gif_lib.h>

#include "base/file_reader.h"
#include "imagefiles/gif_file.h"
#include "raster/bitmap.h"

GifFrameReader* OpenGifFrameReader(const char* path) {
  FileReader* file = nullptr;
  GifFileType* gif = OpenGifThroughFileReader(path, 32768, &file);
  if (!gif) return nullptr;
  int error = 0;
  GifFrameReader* reader = static_cast<GifFrameReader*>(calloc(1, sizeof(GifFrameReader)));
  if (!reader) {
    DGifCloseFile(gif, &error);
    CloseFileReader(file);
    return nullptr;
  }
  reader->file = file;
  reader->decoder = gif;
  reader->elapsed = 0;
  reader->state = 0;
  reader->rewind_position = FileReaderPosition(file);
  return reader;
}

int ReadNextGifFrame(GifFrameReader* reader, Bitmap* target) {
  if (!reader) return GIF_FRAME_STOPPED;
  return StepGifFrame(reader->decoder, target, &reader->state, &reader->elapsed);
}

void RewindGifFrameReader(GifFrameReader* reader) {
  if (!reader) return;
  reader->state = 0;
  reader->elapsed = 0;
  SeekFileReader(reader->file, reader->rewind_position);
}

void CloseGifFrameReader(GifFrameReader* reader) {
  if (!reader) return;
  int error = 0;
  DGifCloseFile(reader->decoder, &error);
  CloseFileReader(reader->file);
  free(reader);
}
