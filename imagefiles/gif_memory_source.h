// giflib reading from a block of memory instead of a file reader: the GIF
// decoding and the frame stepping run on it where there is no file (fuzzing,
// tests on any host).
#pragma once

#include <cstddef>

struct GifFileType;

struct GifMemorySource {
  const unsigned char* bytes;
  size_t size;
  size_t position;  // next byte giflib reads; set it back to rewind
};

// DGifOpen over the source from its current position; null when the bytes
// are no GIF. The source must outlive the handle.
GifFileType* OpenGifFromMemory(GifMemorySource* source);
