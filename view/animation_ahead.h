#pragma once
// The next frame of a large animated GIF, drawn ahead between the ticks of
// its timer in steps of bounded work, into a bitmap of its own: the picture
// on the screen does not change until the frame's time comes, when the two
// bitmaps change places. Frames are drawn over each other, so the bitmap of
// the next frame first takes the shown frame's pixels (copied in steps too);
// a first frame clears everything and needs no copy. When the shown picture
// is a first frame kept from before, the file is read past that frame first
// (in steps as well).
//
// A GIF whose frames are no larger than one step of work is drawn at its
// tick instead, in one call, and needs no second bitmap.
#include <cstdint>

class Bitmap;
struct GifFrameReader;

enum AheadPhase {
  AHEAD_OFF,        // not drawing ahead (no animation, or a small one)
  AHEAD_SKIPPING,   // reading past the first frame, which the shown picture holds
  AHEAD_COPYING,    // the shown frame's pixels into the next frame's bitmap
  AHEAD_DRAWING,    // the next frame drawn over them
  AHEAD_READY,      // the next frame waits for its time
  AHEAD_STOPPED,    // the file no longer gives the frame shown: no animation
};

struct AnimationAhead {
  AheadPhase phase;
  GifFrameReader* reader;   // not owned: the control's animation
  Bitmap* next;             // owned: the next frame
  int skip_delay;           // the first frame's delay, while reading past it
  int copied_rows;
  int result;               // once ready: what reading the next frame gave
  int32_t state_after;      // and the reader's frame count after it
};

// True when the animation's frames are too large to be drawn at a tick.
bool DrawsFramesAhead(const GifFrameReader* reader);

// Starts drawing ahead with reader, positioned after the first frame that
// the shown picture holds; with skip_delay above 0 the reader is at the
// file's start, and the first frame is read past first (it must give that
// delay, or the animation stops).
void StartAnimationAhead(AnimationAhead* ahead, GifFrameReader* reader, int skip_delay);
// Frees the next frame's bitmap and turns drawing ahead off; the reader is
// left alone.
void StopAnimationAhead(AnimationAhead* ahead);

// One step of bounded work towards the next frame, shown being the picture
// on the screen. False when there was nothing to do (ready, stopped, off).
bool StepAnimationAhead(AnimationAhead* ahead, const Bitmap* shown);

// The next frame at its time (the phase is AHEAD_READY): when reading drew
// it, its bitmap and *shown change places. After the last frame or a
// failure the reader is rewound. Then the frame after it is begun. Returns
// what reading the frame gave, as ReadNextGifFrame does.
int TakeAheadFrame(AnimationAhead* ahead, Bitmap** shown);

// Bytes of the next frame's bitmap, as allocated or as it will be; 0 when off.
int64_t AnimationAheadBytes(const AnimationAhead* ahead);
