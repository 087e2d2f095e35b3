// Every picture is decoded one way, whoever asks for it (a step onto a
// picture, an Open, the preparation of a neighbour, the whole-file decoders):
// StartPictureDecoding picks the decoder by the file's extension, reads the
// header and applies every bound and limit once; StepPictureDecoding then
// does one step of bounded work at a time until the picture is complete.
// A step never covers more than about PICTURE_STEP_PIXELS of work, whatever
// the file: rows of a picture counted by their pixels, one row of blocks of
// a progressive JPEG's scan, lines of a GIF counted by the pixels drawn.
// Only the Windows image loader (ICO, and the BMP kinds our own reader
// leaves to it) cannot be cut: it is one step, which a preparation does not
// take for a picture above a few megapixels.
#pragma once

#include <cstdint>

class Bitmap;
struct GifFrameReader;
struct PictureDecoding;

// The kinds of picture file, by extension in any ASCII case (".jpg" and
// ".jpeg", ".png", ".gif", ".bmp", ".ico"); PICTURE_KIND_OTHER has no decoder.
enum PictureKind { PICTURE_KIND_JPEG, PICTURE_KIND_PNG, PICTURE_KIND_GIF, PICTURE_KIND_BMP, PICTURE_KIND_ICO,
                   PICTURE_KIND_OTHER, PICTURE_KIND_COUNT };
PictureKind PictureKindOf(const char* path);
const char* PictureKindName(PictureKind kind);

// The work of one step, in pixels (or the coefficients of as many pixels).
const int64_t PICTURE_STEP_PIXELS = int64_t(1) << 18;

// Opens path with the decoder its extension picks (PictureKindOf), reads
// its header and applies the claims bound and the limits. No picture-sized
// memory is taken yet. Null when no decoder takes the file, it cannot be
// read or is refused, or the picture with the working memory of its
// decoding would take more than max_bytes.
PictureDecoding* StartPictureDecoding(const char* path, int64_t max_bytes);

// Bytes the decoding holds at most from here to the end, counted as
// allocated: the picture's block and the decoder's working memory (a
// multi-scan JPEG's coefficients, row buffers, a GIF's line buffer).
int64_t PictureDecodingNeed(const PictureDecoding* decoding);
// Bytes it holds now.
int64_t PictureDecodingHeld(const PictureDecoding* decoding);
// Bytes of the picture's pixels alone (BitmapByteCount of its size).
int64_t PictureDecodingPictureBytes(const PictureDecoding* decoding);

// A block to decode into instead of a new one (resized to the picture),
// given before the first step; the decoding owns it from then on.
void GivePictureDecodingMemory(PictureDecoding* decoding, Bitmap* memory);

// One step of bounded work: 1 when the picture is complete, 0 while work
// remains, -1 when the decoding failed (no picture; the file shows none).
int StepPictureDecoding(PictureDecoding* decoding);

// After a step gave 1: the picture (the caller owns it), exactly as the
// file's decoder gives it whole. For a GIF, *first_delay is its first
// frame's delay (0 for a still picture) and, when animation is given and the
// picture animates, the frame reader positioned after that first frame is
// handed over there. Frees the decoding.
Bitmap* TakeDecodedPicture(PictureDecoding* decoding, int* first_delay, GifFrameReader** animation);

// Work that remains to the end, in the units of the steps (pixels, or
// coefficients): the rows or lines still to come, and for the scans of a
// multi-scan JPEG an estimate from the bytes of the file still to read.
int64_t PictureDecodingRemainingWork(const PictureDecoding* decoding);

// Stops and frees the decoding and everything it holds. Null is accepted.
void AbandonPictureDecoding(PictureDecoding* decoding);

// Runs a decoding to its end: the picture, or null. The whole-file decoders
// and the tests use it.
Bitmap* DecodePictureFile(const char* path, int* first_delay, GifFrameReader** animation);
