// BMP pictures read row by row, without the Windows image loader: the
// uncompressed kinds of 1, 4, 8, 16, 24 and 32 bits a pixel (BI_RGB, and
// BI_BITFIELDS for 16 and 32 bits), bottom-up and top-down, under the
// 12-byte core header, the 40-byte information header and the V4 and V5
// headers. Every pixel is the one the Windows loader gives for the file,
// with alpha 255 (Wine's loader alone leaves a top-down file's pixels blank
// and spoils entries 1 and 2 of a core header's colour table: both are read
// as written, as Windows reads them). Any other kind (run-length coding, embedded JPEG or PNG,
// masks the loader treats in its own way, unusual headers) is left to the
// loader. Needs no Windows header.
#pragma once

#include <cstdint>
#include <cstdio>

class Bitmap;

// What a BMP file's headers leave to its reader.
enum BmpReading {
  BMP_REFUSED,    // damaged, or describing more than its file holds: no picture
  BMP_BY_ROWS,    // read here
  BMP_BY_LOADER,  // a kind only the Windows image loader reads
};

// StartBmpDecoding reads the headers, the masks and the colour table; then
// StepBmpDecoding reads rows through a small buffer straight into the
// bitmap, about PICTURE_STEP_PIXELS pixels a step (a very wide row in
// pieces).
struct BmpDecoding;

// Reads the headers from file (closed by the decoding when owns_file, also
// when it gives null) and applies the checks the loader's files pass
// (image_loader_guard.h), so a file the loader refuses is refused here too.
// *reading tells what the file is; the decoding is made only for
// BMP_BY_ROWS, and not when the picture with the buffer would take more
// than max_bytes. Nothing picture-sized is taken yet. A null file is refused.
BmpDecoding* StartBmpDecoding(FILE* file, bool owns_file, int64_t max_bytes, BmpReading* reading);
// Bytes the decoding holds besides the picture (the same from start to end).
int64_t BmpWorkingBytes(const BmpDecoding* decoding);
void BmpPictureSize(const BmpDecoding* decoding, int* width, int* height);
// The bitmap to decode into, sized at the first step; with owned the
// decoding deletes it on failure or when abandoned. Without one a
// MemoryBitmap is made then. Call before the first step.
void SetBmpDecodingTarget(BmpDecoding* decoding, Bitmap* target, bool owned);
// One step: 1 when the picture is complete, 0 while rows remain, -1 on
// failure (the file cut short since it was started; an owned bitmap is
// deleted then).
int StepBmpDecoding(BmpDecoding* decoding);
// Work of the last step: its pixels and a little for each row ended.
int64_t BmpLastStepWork(const BmpDecoding* decoding);
// The bitmap being filled, once sized (null before and after a failure).
Bitmap* BmpDecodingBitmap(const BmpDecoding* decoding);
// After a step gave 1: the picture, which the caller owns from now on.
// Frees the decoding.
Bitmap* TakeBmpPicture(BmpDecoding* decoding);
// Stops and frees the decoding; an owned bitmap is deleted. Null is accepted.
void AbandonBmpDecoding(BmpDecoding* decoding);

// The whole picture from a file open for reading (which stays open), into
// target or a new MemoryBitmap: null when refused, failed or left to the
// loader.
Bitmap* DecodeBmpStream(FILE* file, Bitmap* target);
