// BMP pictures through the Windows image loader.
#pragma once

class Bitmap;

// Decodes the BMP file at a UTF-8 path into target or into a new
// MemoryBitmap; every pixel gets alpha 255. Null on any failure.
Bitmap* LoadBmpFile(const char* path, Bitmap* target = nullptr);
