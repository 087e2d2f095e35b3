// giflib reading from a block of memory instead of a file reader: the GIF
// decoding and the frame stepping run on it where there is no file (fuzzing,
// tests on any host).
#pragma once

#include <cstddef>

#include "imagefiles/gif_decoding.h"

struct GifMemorySource {
  const unsigned char* bytes;
  size_t size;
  size_t position;  // next byte giflib reads; set it back to rewind
  GifInput input;   // set by OpenGifFromMemory
};

// The GIF over the source from its current position (OpenGifDecoder, the
// block's size as the file's); null when the bytes are no GIF or claim a
// screen they cannot back. The source must outlive the handle.
GifFileType* OpenGifFromMemory(GifMemorySource* source);
