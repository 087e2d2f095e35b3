// Software raster operations on bitmaps: clear, fill, single pixels, copies
// (plain, scaled or mirrored, rotated), the cross blur and per-pixel functions.
//
// Every operation does nothing when a bitmap is null or has no bits, and clips
// every rectangle to the bitmaps involved.
#pragma once

#include <cstdint>

#include "raster/bitmap.h"

// The blend-mode word.
const int BLEND_MODE_MASK = 0xFF;
const int BLEND_COPY = 0;
const int BLEND_ADD = 1;
const int BLEND_DODGE = 2;
const int BLEND_MULTIPLY = 3;
const int BLEND_OVERLAY = 4;
const int BLEND_HSV_ADJUST = 5;
const int BLEND_CHANNEL_COPY = 0xF0;  // 0xF0 to 0xFF: source byte in bits 0-1, destination byte in bits 2-3
const int FILTER_MASK = 0xFF00;
const int FILTER_BILINEAR = 0x100;
const int USE_SOURCE_ALPHA = 0x10000;
const int IGNORE_SCALE = 0x20000;

// A source rectangle of BlitBitmap: right and bottom are exclusive.
struct BlitRect {
  int left;
  int top;
  int right;
  int bottom;
};

// Rewrites one pixel in place; context is whatever the caller passed.
typedef void (*PixelFunction)(uint32_t* pixel, void* context);
// Rewrites count consecutive pixels of one row in place.
typedef void (*SpanFunction)(uint32_t* pixels, int count, void* context);

void ClearBitmap(Bitmap* dest, uint32_t value);
void FillBitmapRect(Bitmap* dest, int x, int y, int width, int height, uint32_t colour, float opacity, int mode);
// The pixel, or 0 outside the bitmap.
uint32_t GetBitmapPixel(Bitmap* bitmap, int x, int y);
void PutBitmapPixel(Bitmap* dest, int x, int y, uint32_t colour, float opacity);
// Resizes dest to the source's size and copies every pixel.
void CopyBitmap(Bitmap* dest, Bitmap* src);
// Copies the rectangle (the whole source when rect is null) with its top-left
// corner at (dstx, dsty). Without display scales, scale_fallback changes nothing.
void BlitBitmap(Bitmap* dest, Bitmap* src, int dstx, int dsty, const BlitRect* rect, float opacity, int mode,
                bool scale_fallback);
// Copies the source rectangle scaled to the destination rectangle, sampling the
// nearest pixel in 16.16 fixed point; a negative destination size mirrors.
void StretchBlitBitmap(Bitmap* dest, Bitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx, float srcy,
                       float srcw, float srch, float opacity, int mode);
// Copies the source rectangle turned by angle (radians, clockwise on screen)
// about the centre of the rectangles, moved by (centre_x, centre_y).
void RotateBlitBitmap(Bitmap* dest, Bitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx, float srcy,
                      float srcw, float srch, float angle, bool clip, float opacity, int mode, float centre_x,
                      float centre_y);
// The pixel copy behind the quarter turns, for callers that turn whole
// bitmaps: row y of a rows x cols block at dest (rows dspan pixels apart)
// gets src[x * xstep + y * ystep] at column x, where ystep is +-1 pixel and
// xstep +-1 source row (the fast case) or the other way round. Nothing is
// clipped: the caller keeps every pixel inside its bitmaps. streaming: the
// stores go around the cache, for a destination not read again soon (it
// costs a fraction of filling the cache with it, line by scattered line).
void TransposePixels(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep, int64_t cols,
                     int64_t rows, bool streaming);
// One pass of the 3 x 3 cross blur over the width x height area at the top-left
// corner of both bitmaps; dest and src may be the same bitmap.
void BlurBitmap(Bitmap* dest, Bitmap* src, int width, int height);
// Calls function(pixel, nullptr) for every pixel of the clipped rectangle, row
// by row from the top, left to right.
void ApplyToRect(Bitmap* dest, int x, int y, int width, int height, PixelFunction function);
// The same rectangle as ApplyToRect, handed over one row span at a time, so
// that a function can work on many pixels at once.
void ApplyToRectSpans(Bitmap* dest, int x, int y, int width, int height, SpanFunction function, void* context);
