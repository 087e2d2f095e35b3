// PNG pictures through libpng. Needs no Windows header.
#pragma once

#include <cstdint>
#include <cstdio>

class Bitmap;

// Decodes the PNG file at a UTF-8 path into target (resized to the picture),
// or into a new MemoryBitmap the caller owns when target is null, upright
// as the orientation of an eXIf chunk before the image data says. Alpha is
// the file's alpha or its tRNS transparency, 255 otherwise. Returns the
// bitmap, or null on any failure (a bitmap made here is deleted then).
Bitmap* LoadPngFile(const char* path, Bitmap* target = nullptr);

// The same from a file already open for reading; the file stays open.
Bitmap* DecodePngStream(FILE* file, Bitmap* target);

// Every PNG is decoded one way: StartPngDecoding reads the header and
// applies the claims bound and the limits, then StepPngDecoding reads rows
// straight into the bitmap, as many per step as PICTURE_STEP_PIXELS allows
// counted by their pixels (a row of an interlaced pass is narrower, a pixel
// counts four), at least one. The pixels are those png_read_image gives,
// then turned upright in steps too (imagefiles/picture_turn.h).
struct PngDecoding;

// Reads the header from file (closed by the decoding when owns_file) and
// applies the claims bound and the limits; nothing picture-sized is taken
// yet. Null when the file is no PNG libpng takes, claims more than it can
// hold, or needs more than max_bytes with its row buffers.
PngDecoding* StartPngDecoding(FILE* file, bool owns_file, int64_t max_bytes);
// Bytes the decoding holds besides the picture: libpng's row buffers,
// zlib's window and the block of the stored size a quarter turn reads from,
// all counted from the start while libpng reads; then the block alone.
int64_t PngWorkingBytes(const PngDecoding* decoding);
// Width and height of the picture, upright.
void PngPictureSize(const PngDecoding* decoding, int* width, int* height);
// The bitmap to decode into, sized at the first step; with owned the
// decoding deletes it on failure or when abandoned. Without one a
// MemoryBitmap is made then. Call before the first step.
void SetPngDecodingTarget(PngDecoding* decoding, Bitmap* target, bool owned);
// One step: 1 when the picture is complete, 0 while rows remain, -1 on
// failure (an owned bitmap is deleted then).
int StepPngDecoding(PngDecoding* decoding);
// Work of the last step: the pixels of the rows it read, each counted four
// times (a PNG pixel takes about four times a JPEG pixel's time), and a
// little for each row.
int64_t PngLastStepWork(const PngDecoding* decoding);
// The bitmap being filled, once sized (null before and after a failure).
Bitmap* PngDecodingBitmap(const PngDecoding* decoding);
// After a step gave 1: the picture, which the caller owns from now on.
// Frees the decoding.
Bitmap* TakePngPicture(PngDecoding* decoding);
// Stops and frees the decoding; an owned bitmap is deleted. Null is accepted.
void AbandonPngDecoding(PngDecoding* decoding);
