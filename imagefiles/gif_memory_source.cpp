#include "imagefiles/gif_memory_source.h"

#include <cstring>

#include <gif_lib.h>

namespace {

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  GifMemorySource* source = static_cast<GifMemorySource*>(gif->UserData);
  if (count <= 0 || source->position >= source->size) return 0;
  size_t n = source->size - source->position;
  if (n > static_cast<size_t>(count)) n = static_cast<size_t>(count);
  memcpy(out, source->bytes + source->position, n);
  source->position += n;
  return static_cast<int>(n);
}

}  // namespace

GifFileType* OpenGifFromMemory(GifMemorySource* source) {
  int error = 0;
  return source && source->bytes ? DGifOpen(source, ReadFromMemory, &error) : nullptr;
}
