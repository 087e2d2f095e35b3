// JPEG pictures through libjpeg. Needs no Windows header.
//
// Every JPEG is decoded one way: StartJpegDecoding reads the header and
// applies the claims bound and the limits, then StepJpegDecoding does the
// work in steps of bounded size. A file of one scan goes row by row into
// the bitmap; a file of several scans (progressive, or a first scan without
// all components) is read scan by scan into libjpeg's coefficient arrays
// (buffered-image mode, a few rows of blocks per step) and then put out row
// by row. The pixels are the same either way. A picture whose first Exif
// APP1 segment records an orientation is then turned upright, in steps too
// (imagefiles/picture_turn.h).
#pragma once

#include <cstdint>
#include <cstdio>

class Bitmap;

// Decodes the JPEG file at a UTF-8 path into target (resized to the picture),
// or into a new MemoryBitmap the caller owns when target is null, upright
// as its Exif orientation says. Alpha is 255. Returns the bitmap, or null on any failure (a bitmap made here is
// deleted then; a target may have been resized).
Bitmap* LoadJpegFile(const char* path, Bitmap* target = nullptr);

// The same from a file already open for reading; the file stays open.
Bitmap* DecodeJpegStream(FILE* file, Bitmap* target);

// A multi-scan file may visit its coefficients several times; it is
// refused once its scans, each counted before its work starts, would visit
// more than this many times the picture's own coefficients (blocks x 64).
// Each block of a scan counts (Se - Ss + 1) + 1, and a scan's setup one
// block more. libjpeg's default progression visits about 3 times, the
// deepest successive-approximation scripts of common encoders about 5.
const int JPEG_WORK_MULTIPLE = 8;

struct JpegDecoding;

// Reads the header from file (closed by the decoding when owns_file) and
// applies the claims bound and the limits; nothing picture-sized is taken
// yet. Null when the file is no JPEG libjpeg takes, claims more than it can
// hold, or needs more than max_bytes (JpegDecodingNeed). The file is
// closed then when owned.
JpegDecoding* StartJpegDecoding(FILE* file, bool owns_file, int64_t max_bytes);
// Bytes the decoding will hold at most besides the picture (libjpeg's
// coefficient arrays of a multi-scan file, its row buffers and tables, the
// block of the stored size a quarter turn reads from), and holds now.
int64_t JpegWorkingNeed(const JpegDecoding* decoding);
int64_t JpegWorkingHeld(const JpegDecoding* decoding);
// Width and height of the picture, upright.
void JpegPictureSize(const JpegDecoding* decoding, int* width, int* height);
// True for a file read scan by scan before its rows come out.
bool JpegHasMultipleScans(const JpegDecoding* decoding);
// The bitmap to decode into, sized when the rows begin; with owned the
// decoding deletes it on failure or when abandoned. Without one a
// MemoryBitmap is made then. Call before the first step.
void SetJpegDecodingTarget(JpegDecoding* decoding, Bitmap* target, bool owned);
// One step of about PICTURE_STEP_PIXELS coefficients or pixels (at least
// one row of blocks, one row of output): 1 when the picture is complete, 0
// while work remains, -1 on failure (an owned bitmap is deleted then).
int StepJpegDecoding(JpegDecoding* decoding);
// Work of the last step: coefficients visited by scans, pixels of rows.
int64_t JpegLastStepWork(const JpegDecoding* decoding);
// Work that remains, in the same units: the rows still to come, and for
// the scans of a multi-scan file an estimate from the bytes still to read.
int64_t JpegRemainingWork(const JpegDecoding* decoding);
// The bitmap being filled, once sized (null before and after a failure).
Bitmap* JpegDecodingBitmap(const JpegDecoding* decoding);
// After a step gave 1: the picture, which the caller owns from now on.
// Frees the decoding.
Bitmap* TakeJpegPicture(JpegDecoding* decoding);
// Stops and frees the decoding; an owned bitmap is deleted. Null is
// accepted.
void AbandonJpegDecoding(JpegDecoding* decoding);
