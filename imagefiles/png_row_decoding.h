// PNG pictures decoded a few rows at a time, for work done in short slices.
// The calls and transformations are LoadPngFile's, with png_read_row in place
// of one png_read_image (pass by pass for an interlaced file, as that call
// itself reads them), so the pixels are exactly LoadPngFile's. Needs no
// Windows header.
#pragma once

#include <cstdint>
#include <cstdio>

class Bitmap;
struct PngRowDecoding;

// Opens the file, reads the header and sizes target (or a new MemoryBitmap
// when target is null) to the picture. Null on failure, or when the picture's
// pixels would take more than max_bytes (checked before any bitmap is sized).
PngRowDecoding* StartPngRowDecoding(const char* path, Bitmap* target, int64_t max_bytes);
// The same from a file already open for reading; the file stays open.
PngRowDecoding* StartPngRowDecodingStream(FILE* file, Bitmap* target, int64_t max_bytes);
// Reads up to max_rows further rows (an interlaced file has seven passes of
// up to height rows each). 1 when the picture is complete, 0 while rows
// remain, -1 on failure (a bitmap made by the start is deleted then; a
// target keeps whatever was written). libpng and the file are released as
// soon as the result is not 0.
int DecodePngRows(PngRowDecoding* decoding, int max_rows);
// Reads what remains and frees the decoding. Returns the complete bitmap, or
// null on failure, exactly as LoadPngFile would.
Bitmap* FinishPngRowDecoding(PngRowDecoding* decoding);
// Stops and frees the decoding; a bitmap made by the start is deleted, a
// target is left as it is. Null is accepted.
void AbandonPngRowDecoding(PngRowDecoding* decoding);
