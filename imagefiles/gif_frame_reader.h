// Steps through the frames of an animated GIF, one per call.
#pragma once

#include <cstdint>

#include "imagefiles/gif_decoding.h"

struct FileReader;
struct GifFrameCache;
class Bitmap;

struct GifFrameReader {
  FileReader* file;        // owned; mode 0, block size 32768
  GifFileType* decoder;    // owned giflib handle
  int32_t elapsed;         // milliseconds of the delays returned so far
  int32_t state;           // frames drawn since opening or rewinding; negative: the code that stopped it
  int64_t rewind_position; // offset of the first record after the header and global colour table
  GifFrameCache* cache;    // owned: the frames of the first loop, replayed by later ones (may be null)
  GifInput input;          // what giflib reads through
  GifFrameDrawing drawing; // the frame under way
};

// Opens the file and reads the GIF header. Null on any failure.
GifFrameReader* OpenGifFrameReader(const char* path);
// Draws the next image into target (resized to the logical screen) and
// returns its delay in milliseconds, or a negative code (gif_decoding.h).
// Once a whole loop has been read, later loops take their frames from
// memory when they fit (gif_frame_cache.h): the same pixels and results.
int ReadNextGifFrame(GifFrameReader* reader, Bitmap* target);
// The same a step at a time: about PICTURE_STEP_PIXELS of work (one line
// at least). *done is false while the frame is under way (the result is
// then 0) and true once it is drawn or reading stopped, with
// ReadNextGifFrame's result. target must stay the same until then; work,
// when given, gets the step's work in pixels.
int StepNextGifFrame(GifFrameReader* reader, Bitmap* target, bool* done, int64_t* work);
// Back to the first frame, which will be drawn over a cleared bitmap.
void RewindGifFrameReader(GifFrameReader* reader);
// Closes everything and frees the reader; null is ignored.
void CloseGifFrameReader(GifFrameReader* reader);

// The picture a GIF is shown with, decoded once: its first frame, drawn by a
// frame reader into target (or into a new MemoryBitmap), which is what the
// shown picture holds after the reader's first frame in any case; only where
// the reader cannot draw that frame (no reader, a screen it refuses), the
// whole file as LoadGifFile decodes it. Null when neither gives a picture (a
// bitmap made here is deleted then). *first_delay is the first frame's delay
// when the reader drew it with one, else 0. When animation is given and the
// picture animates, the reader is handed over there, positioned after the
// first frame; otherwise it is closed.
Bitmap* LoadGifFirstFrame(const char* path, Bitmap* target, int* first_delay, GifFrameReader** animation);
// A frame reader for a GIF whose first frame is shown already (decoded
// earlier by LoadGifFirstFrame with that delay), moved past that frame
// without drawing it. Null when the file no longer gives that frame.
GifFrameReader* ResumeGifAnimation(const char* path, int first_delay);
// Reads past a just opened reader's first frame without drawing it: true
// when that frame gave first_delay (above 0).
bool SkipFirstGifFrame(GifFrameReader* reader, int first_delay);
// Pixels of the logical screen, the size of every frame.
int64_t GifScreenPixels(const GifFrameReader* reader);
