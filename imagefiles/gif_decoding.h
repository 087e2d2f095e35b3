// GIF decoding on an open giflib handle, whatever the bytes come from. Used
// by LoadGifFile and by the frame reader, which give giflib a file reader.
#pragma once

#include <cstdint>

struct GifFileType;
struct GifFrameCache;
class Bitmap;

// Draws the image whose descriptor was just read (gif is positioned after
// it) into target: pixels equal to transparent_index (-1: none) are not
// written; with first_image set the whole target is cleared to the
// background first. With a null target the image's data is only skipped, so
// the file moves past the image. The image is clipped to the target; rows
// below it are skipped without decompressing them.
//
// Work is bounded: each decompressed line takes its width from *budget (a
// fresh GifDecodeBudget when null), however large the image. False when the
// budget ran out (the rows drawn stay, the rest of the data is skipped);
// true otherwise, also when a damaged image stopped early. With recording,
// what is drawn is also recorded there (gif_frame_cache.h).
bool DrawGifImage(Bitmap* target, GifFileType* gif, int transparent_index, bool first_image,
                  int64_t* budget = nullptr, GifFrameCache* recording = nullptr);

// Pixels one frame (or a whole-file decoding) may decompress: four times
// the logical screen, and a megapixel more.
int64_t GifDecodeBudget(const GifFileType* gif);

// Largest logical screen that is animated, in pixels (a 7680 x 4320 screen
// fits): each frame is drawn into a bitmap of the screen's size and the
// first one clears all of it.
const int64_t GIF_ANIMATION_MAX_PIXELS = int64_t(1) << 25;

// The whole-file decoding: the images up to and including the first one
// that follows a delay, drawn over each other into target or into a new
// MemoryBitmap of the logical screen's size. Null when no image was drawn,
// or when the screen and the first image are more than a file of file_bytes
// can back (picture_bounds.h); a bitmap made here is deleted then. The
// handle stays open.
Bitmap* DecodeGifImages(GifFileType* gif, Bitmap* target, int64_t file_bytes = INT64_MAX);

// Codes of DrawNextGifImage (and of ReadNextGifFrame).
const int GIF_FRAME_STOPPED = -2;          // no reader, or it has stopped
const int GIF_FRAME_BAD_SIZE = -3;         // target did not take the screen's size
const int GIF_FRAME_BAD_DESCRIPTOR = -4;   // reading an image descriptor failed
const int GIF_FRAME_BAD_RECORD = -5;       // a record type could not be read or is unknown
const int GIF_FRAME_BAD_LATER_BLOCK = -8;  // a later data block of an extension failed
const int GIF_FRAME_BAD_EXTENSION = -9;    // an extension's label or first block failed
const int GIF_FRAME_END = -10;             // the terminator was reached

// Reads records up to the next image and draws it into target (which must
// already have the logical screen's size, or be null). Returns the frame's
// delay in milliseconds, or one of the negative codes above.
int DrawNextGifImage(GifFileType* gif, Bitmap* target, bool first_image, GifFrameCache* recording = nullptr);

// One step of a frame reader: with a target, resizes it to the logical
// screen (GIF_FRAME_BAD_SIZE when it does not take it), then draws the next
// image. A screen larger than GIF_ANIMATION_MAX_PIXELS is not animated: its
// first frame is drawn with a delay of 0, and later steps give
// GIF_FRAME_BAD_SIZE.
// *state counts the frames drawn (0: the next is drawn over a cleared
// bitmap) and takes a negative code when reading stops; a stopped state
// gives GIF_FRAME_STOPPED. *elapsed adds up the delays returned. With a
// cache, the first loop is recorded, and once it is complete the frames and
// the end of later loops come from memory.
int StepGifFrame(GifFileType* gif, Bitmap* target, int32_t* state, int32_t* elapsed,
                 GifFrameCache* cache = nullptr);

// giflib keeps a copy of every image descriptor it reads; a looping
// animation would grow that list forever. Drops the copies.
void ForgetSavedGifImages(GifFileType* gif);
