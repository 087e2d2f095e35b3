// The frames of an animated GIF kept in memory after its first loop, so that
// later loops replay them without reading and decompressing the file again.
// A frame is kept as what drawing it did: the clearing of the first frame,
// and each drawn row's colour indices (one byte a pixel, clipped to the
// bitmap) with the image's colour table and transparent index. Replaying a
// frame draws exactly those pixels again over what the bitmap holds, as the
// frame reader itself did. Needs no Windows header.
#pragma once

#include <cstdint>
#include <vector>

class Bitmap;

// Frames of all loops together may take this much (an animation of twenty
// 1920 x 1080 frames fits).
const int64_t GIF_FRAME_CACHE_BYTES = 64ll * 1024 * 1024;

struct GifCachedFrame {
  int delay;                 // what reading the frame returned
  bool cleared;              // the bitmap was cleared to background first
  uint32_t background;
  uint32_t colours[256];
  int transparent_index;     // -1: none
  int x0, count;             // bitmap columns of every row: x0 to x0 + count - 1
  std::vector<int> rows;     // bitmap row of each drawn line
  std::vector<uint8_t> indices;  // count indices per drawn line
};

struct GifFrameCache {
  std::vector<GifCachedFrame> frames;
  int64_t bytes;     // allocated, within GIF_FRAME_CACHE_BYTES
  bool recording;    // a frame is being recorded
  bool complete;     // a whole loop is recorded: later loops replay it
  bool spoiled;      // this loop cannot be recorded (a frame was only read past)
  bool too_large;    // above GIF_FRAME_CACHE_BYTES: never recorded again
  int end_code;      // what ended the recorded loop (a negative code)
};

GifFrameCache* MakeGifFrameCache();
void FreeGifFrameCache(GifFrameCache* cache);

// Recording, called while a frame is drawn: the start (with the clearing of
// a first frame), each drawn row, and the end with the frame's result.
void BeginCachedFrame(GifFrameCache* cache, const uint32_t colours[256], int transparent_index, bool cleared,
                      uint32_t background, int x0, int count);
void AddCachedRow(GifFrameCache* cache, int y, const uint8_t* indices);
// A frame read without drawing (no target) cannot be replayed: the loop is
// not recorded.
void SkipCachedFrame(GifFrameCache* cache);
// The result of reading a frame: its delay (0 or more) closes the frame
// being recorded; a negative code ends the loop, which is complete when
// every frame of it was recorded in full.
void EndCachedFrame(GifFrameCache* cache, int result);
// Back to the first frame: an incomplete recording starts again.
void RewindGifFrameCache(GifFrameCache* cache);
// Draws recorded frame number index into target (which has the screen's
// size, or is null) and returns its delay.
int ReplayCachedFrame(const GifFrameCache* cache, int index, Bitmap* target);
// The same a part at a time: rows are drawn until about max_work pixels
// (one row at least) are added to *work. *position counts the rows done,
// the cleared ones first, then the drawn lines; 0 starts the frame. True
// once the frame is drawn.
bool ReplayCachedFrameSteps(const GifFrameCache* cache, int index, Bitmap* target, int64_t* position,
                            int64_t max_work, int64_t* work);
// Bytes the cache holds or may come to hold: up to GIF_FRAME_CACHE_BYTES
// while a loop can still be recorded, what it holds once a loop is
// complete, nothing once it gave up.
int64_t GifFrameCacheReservation(const GifFrameCache* cache);
