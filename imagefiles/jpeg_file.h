// JPEG pictures through libjpeg.
#pragma once

#include <cstdio>

class Bitmap;

// Decodes the JPEG file at a UTF-8 path into target (resized to the picture),
// or into a new MemoryBitmap the caller owns when target is null. Alpha is
// 255. Returns the bitmap, or null on any failure (a bitmap made here is
// deleted then; a target may have been resized).
Bitmap* LoadJpegFile(const char* path, Bitmap* target = nullptr);

// The same from a file already open for reading; the file stays open.
Bitmap* DecodeJpegStream(FILE* file, Bitmap* target);
