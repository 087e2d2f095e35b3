// PNG pictures through libpng.
#pragma once

#include <cstdint>
#include <cstdio>

#include <png.h>

class Bitmap;

// Decodes the PNG file at a UTF-8 path into target (resized to the picture),
// or into a new MemoryBitmap the caller owns when target is null. Alpha is
// the file's alpha or its tRNS transparency, 255 otherwise. Returns the
// bitmap, or null on any failure (a bitmap made here is deleted then).
Bitmap* LoadPngFile(const char* path, Bitmap* target = nullptr);

// The same from a file already open for reading; the file stays open.
Bitmap* DecodePngStream(FILE* file, Bitmap* target);

// Shared with the row-by-row decoding (png_row_decoding.h), so that both give
// the same pixels. Before png_read_info: the ancillary chunks nothing here
// uses are skipped instead of read into memory.
void IgnoreUnusedPngChunks(png_structp png);
// After png_read_info: the transformations that make every pixel arrive as
// the four bytes A, R, G, B.
void RequestPngPixelFormat(png_structp png, png_infop info);
// Those bytes, at increasing addresses, become pixels A << 24 | R << 16 | G << 8 | B.
void ReorderPngRow(uint32_t* row, int width);
