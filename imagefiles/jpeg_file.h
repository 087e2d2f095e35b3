// JPEG pictures through libjpeg.
#pragma once

#include <cstdint>
#include <cstdio>

class Bitmap;

// Decodes the JPEG file at a UTF-8 path into target (resized to the picture),
// or into a new MemoryBitmap the caller owns when target is null. Alpha is
// 255. Returns the bitmap, or null on any failure (a bitmap made here is
// deleted then; a target may have been resized).
Bitmap* LoadJpegFile(const char* path, Bitmap* target = nullptr);

// The same from a file already open for reading; the file stays open.
Bitmap* DecodeJpegStream(FILE* file, Bitmap* target);

// The same decoding a band of rows at a time, for work done in short slices,
// with the same pixels. The input is handed to libjpeg a piece at a time
// (jpeg_scan_source.h), so that a progressive file's scans are read across
// many slices too. Every check of the whole-file decoding applies.
struct JpegBandDecoding;
// Opens the file, reads the header and sizes target (or a new MemoryBitmap
// when target is null) to the picture; a multi-scan file's bitmap is sized
// once its scans are read. Null on failure, or when the picture's pixels
// would take more than max_bytes (checked before any bitmap is sized).
JpegBandDecoding* StartJpegBandDecoding(const char* path, Bitmap* target, int64_t max_bytes);
// The same from a file already open for reading; the file stays open.
JpegBandDecoding* StartJpegBandDecodingStream(FILE* file, Bitmap* target, int64_t max_bytes);
// Decodes up to max_rows further rows. A multi-scan (progressive) file first
// has all of its scans read, max_input_bytes of them per call (negative: all
// at once). 1 when the picture is complete, 0 while work remains, -1 on
// failure (a bitmap made by the start is deleted then; a target keeps
// whatever rows were written).
int DecodeJpegBand(JpegBandDecoding* band, int max_rows, int max_input_bytes = 16384);
// The bitmap being filled (null after a failure).
Bitmap* JpegBandBitmap(const JpegBandDecoding* band);
// Decodes what remains and frees the decoding. Returns the complete bitmap,
// or null on failure, exactly as LoadJpegFile would.
Bitmap* FinishJpegBandDecoding(JpegBandDecoding* band);
// Stops and frees the decoding; a bitmap made by the start is deleted, a
// target is left as it is. Null is accepted.
void AbandonJpegBandDecoding(JpegBandDecoding* band);
