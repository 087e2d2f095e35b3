// GIF pictures through giflib: the whole file into one picture.
#pragma once

#include "imagefiles/gif_decoding.h"

class Bitmap;
struct FileReader;

// Decodes the GIF file at a UTF-8 path into target or into a new
// MemoryBitmap of the logical screen's size. Images without a delay are
// drawn over each other; in an animation only the images up to the first
// delayed one are drawn. Null when no image could be drawn.
Bitmap* LoadGifFile(const char* path, Bitmap* target = nullptr);

// Opens the GIF file at a UTF-8 path (OpenGifDecoder), reading through a
// buffered file reader with the given block size. On success *file holds
// the reader, which the caller closes after DGifCloseFile, and input (which
// must outlive the handle) reads from it; null when the file cannot be
// opened, is not a GIF or is refused.
GifFileType* OpenGifThroughFileReader(const char* path, int block_size, FileReader** file, GifInput* input);
