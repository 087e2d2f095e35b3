// The decoding row by row that the preparation of pictures drives, on the
// one PNG decoding (png_file.h): max_rows is no longer used, each call is
// one step of rows counted by their pixels. Needs no Windows header.
#pragma once

#include <cstdint>

class Bitmap;
struct PngRowDecoding;

// Opens the file and reads the header; target (kept by the caller) is
// sized at the first step. Null on failure or above max_bytes.
PngRowDecoding* StartPngRowDecoding(const char* path, Bitmap* target, int64_t max_bytes);
// 1 when the picture is complete, 0 while rows remain, -1 on failure.
int DecodePngRows(PngRowDecoding* decoding, int max_rows);
// Reads what remains and frees the decoding: the target, or null.
Bitmap* FinishPngRowDecoding(PngRowDecoding* decoding);
// Stops and frees the decoding; null is accepted.
void AbandonPngRowDecoding(PngRowDecoding* decoding);
