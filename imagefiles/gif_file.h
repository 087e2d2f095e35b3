// GIF pictures through giflib: the whole file into one picture.
#pragma once

#include "imagefiles/gif_decoding.h"

class Bitmap;

// Decodes the GIF file at a UTF-8 path into target or into a new
// MemoryBitmap of the logical screen's size. Images without a delay are
// drawn over each other; in an animation only the images up to the first
// delayed one are drawn. Null when no image could be drawn.
Bitmap* LoadGifFile(const char* path, Bitmap* target = nullptr);
