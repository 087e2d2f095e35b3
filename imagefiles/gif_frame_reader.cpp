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
  if (!reader || reader->state < 0) return GIF_FRAME_STOPPED;
  GifFileType* gif = reader->decoder;
  if (target) {
    target->Resize(gif->SWidth, gif->SHeight);
    if (target->Width() != gif->SWidth || target->Height() != gif->SHeight || !target->Bits())
      return GIF_FRAME_BAD_SIZE;
  }
  int result = DrawNextGifImage(gif, target, reader->state == 0);
  if (result < 0) {
    reader->state = result;
    return result;
  }
  reader->state += 1;
  // Wraps instead of overflowing after days of frames without a rewind.
  reader->elapsed = static_cast<int32_t>(static_cast<uint32_t>(reader->elapsed) + static_cast<uint32_t>(result));
  return result;
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
