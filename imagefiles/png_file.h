// PNG pictures through libpng.
#pragma once

#include <cstdio>

class Bitmap;

// Decodes the PNG file at a UTF-8 path into target (resized to the picture),
// or into a new MemoryBitmap the caller owns when target is null. Alpha is
// the file's alpha or its tRNS transparency, 255 otherwise. Returns the
// bitmap, or null on any failure (a bitmap made here is deleted then).
Bitmap* LoadPngFile(const char* path, Bitmap* target = nullptr);

// The same from a file already open for reading; the file stays open.
Bitmap* DecodePngStream(FILE* file, Bitmap* target);
