#include "imagefiles/gif_memory_source.h"

#include <cstdint>
#include <cstring>

namespace {

int ReadFromMemory(void* from, unsigned char* out, int count) {
  GifMemorySource* source = static_cast<GifMemorySource*>(from);
  if (count <= 0 || source->position >= source->size) return 0;
  size_t n = source->size - source->position;
  if (n > static_cast<size_t>(count)) n = static_cast<size_t>(count);
  memcpy(out, source->bytes + source->position, n);
  source->position += n;
  return static_cast<int>(n);
}

}  // namespace

GifFileType* OpenGifFromMemory(GifMemorySource* source) {
  if (!source || !source->bytes) return nullptr;
  source->input.read = ReadFromMemory;
  source->input.source = source;
  source->input.file_bytes = static_cast<int64_t>(source->size - source->position);
  return OpenGifDecoder(&source->input);
}
