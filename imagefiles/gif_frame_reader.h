// Steps through the frames of an animated GIF, one per call.
#pragma once

#include <cstdint>

#include "imagefiles/gif_decoding.h"

struct FileReader;
class Bitmap;

struct GifFrameReader {
  FileReader* file;        // owned; mode 0, block size 32768
  GifFileType* decoder;    // owned giflib handle
  int32_t elapsed;         // milliseconds of the delays returned so far
  int32_t state;           // frames drawn since opening or rewinding; negative: the code that stopped it
  int64_t rewind_position; // offset of the first record after the header and global colour table
};

// Opens the file and reads the GIF header. Null on any failure.
GifFrameReader* OpenGifFrameReader(const char* path);
// Draws the next image into target (resized to the logical screen) and
// returns its delay in milliseconds, or a negative code (gif_decoding.h).
int ReadNextGifFrame(GifFrameReader* reader, Bitmap* target);
// Back to the first frame, which will be drawn over a cleared bitmap.
void RewindGifFrameReader(GifFrameReader* reader);
// Closes everything and frees the reader; null is ignored.
void CloseGifFrameReader(GifFrameReader* reader);
