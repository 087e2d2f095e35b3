// GIF decoding on an open giflib handle, whatever the bytes come from. Used
// by LoadGifFile and by the frame reader, which give giflib a file reader.
#pragma once

#include <cstdint>

struct GifFileType;
struct GifFrameCache;
class Bitmap;

// What giflib reads from: a read function over some source, and the
// length of the file for the claims bound.
struct GifInput {
  int (*read)(void* source, unsigned char* bytes, int count);
  void* source;
  int64_t file_bytes;  // INT64_MAX when it cannot be told
};

// The one way a GIF is opened, whatever reads it (the whole-file decoding,
// the frame reader, the sliced decoding): DGifOpen over input, which must
// outlive the handle, and the claims bound on the logical screen. A screen
// above MAX_UNBACKED_PIXELS is refused here, before anything is sized for
// it; the first image's part on the screen is checked against what the
// file can hold before the screen's bitmap is sized (GifScreenFitsFile).
// Null when the bytes are no GIF or the screen is refused.
GifFileType* OpenGifDecoder(GifInput* input);

// An image being drawn a few lines at a time. Work is counted in pixels:
// a line costs its width (it is decompressed whole) and a row cleared its
// width. The budget of a frame (GifDecodeBudget) is charged the pixels
// drawn on the screen, and a sixteenth of those decompressed but not drawn
// (left or right of the screen, or rows of an interlaced pass outside it),
// so that a large image on a small screen is drawn whole while an image
// cannot cost unbounded work.
struct GifImageDrawing {
  bool active;
  Bitmap* target;           // null: the data is only moved past
  uint32_t colours[256];
  int transparent_index;
  int cleared_rows;         // rows of the first image's clearing done
  uint32_t background;
  bool clearing;
  int lines;                // lines read so far
  int first_x, end_x;       // the columns of a line on the target
  bool skipping;            // moving past the rest of the data
  bool within_budget;
  unsigned char* line;      // owned (malloc), one line of indices
};

// Reads the image whose descriptor was just read (gif is positioned after
// it) and prepares to draw it into target: pixels equal to
// transparent_index (-1: none) are not written; with first_image set the
// whole target is cleared to the background first. With a null target the
// image's data is only skipped. The image is clipped to the target; rows
// below it are skipped without decompressing them. With recording, what is
// drawn is also recorded there (gif_frame_cache.h).
void BeginGifImage(GifImageDrawing* drawing, Bitmap* target, GifFileType* gif, int transparent_index,
                   bool first_image, GifFrameCache* recording);
// Draws on until about max_work pixels of work are added to *work (at
// least one line). True once the image is finished; false when work
// remains. Each line takes its charge from *budget: when it runs out the
// rows drawn stay and the rest of the data is skipped.
bool ContinueGifImage(GifImageDrawing* drawing, GifFileType* gif, int64_t* budget, GifFrameCache* recording,
                      int64_t max_work, int64_t* work);
// Frees the line buffer (also of an image left unfinished).
void EndGifImage(GifImageDrawing* drawing);

// The whole image at once, with a fresh GifDecodeBudget when budget is
// null. False when the budget ran out (the rows drawn stay); true
// otherwise, also when a damaged image stopped early.
bool DrawGifImage(Bitmap* target, GifFileType* gif, int transparent_index, bool first_image,
                  int64_t* budget = nullptr, GifFrameCache* recording = nullptr);

// Pixels one frame (or a whole-file decoding) may charge: four times the
// logical screen, and a megapixel more.
int64_t GifDecodeBudget(const GifFileType* gif);

// Bytes a GIF decoding holds besides the screen's bitmap: the line buffer
// of the widest image and giflib's decompression tables.
const int64_t GIF_WORKING_BYTES = 65536 + 32768;

// Largest logical screen that is animated, in pixels (a 7680 x 4320 screen
// fits): each frame is drawn into a bitmap of the screen's size and the
// first one clears all of it.
const int64_t GIF_ANIMATION_MAX_PIXELS = int64_t(1) << 25;

// The whole-file decoding: the images up to and including the first one
// that follows a delay, drawn over each other into target or into a new
// MemoryBitmap of the logical screen's size. Null when no image was drawn,
// or when the first image on the screen is more than its file can back
// (OpenGifDecoder); a bitmap made here is deleted then. The handle stays
// open.
Bitmap* DecodeGifImages(GifFileType* gif, Bitmap* target);

// Codes of StepGifFrame (and of ReadNextGifFrame).
const int GIF_FRAME_STOPPED = -2;          // no reader, or it has stopped
const int GIF_FRAME_BAD_SIZE = -3;         // target did not take the screen's size
const int GIF_FRAME_BAD_DESCRIPTOR = -4;   // reading an image descriptor failed
const int GIF_FRAME_BAD_RECORD = -5;       // a record type could not be read or is unknown
const int GIF_FRAME_BAD_LATER_BLOCK = -8;  // a later data block of an extension failed
const int GIF_FRAME_BAD_EXTENSION = -9;    // an extension's label or first block failed
const int GIF_FRAME_END = -10;             // the terminator was reached

// A frame drawn a few lines at a time by StepGifFrameWork: the records
// before its image, then the image. Zeroed, it is ready for a frame.
struct GifFrameDrawing {
  bool active;              // a frame is under way
  int delay;                // hundredths of a second, from its graphic control
  int transparent_index;
  bool in_extension;        // between an extension's blocks
  int label;
  bool first_image;
  int64_t budget;           // GifDecodeBudget, charged by the image
  GifImageDrawing image;    // image.active once its descriptor is read
  bool replaying;           // drawn again from the frame cache
  int64_t replay_position;  // rows replayed so far (ReplayCachedFrameSteps)
};

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
// The same a step at a time: about max_work pixels of work (at least one
// record or line) are added to *work. *done tells whether the frame ended;
// the result is StepGifFrame's then, and 0 otherwise. target and cache must
// stay the same across the steps of a frame.
int StepGifFrameWork(GifFileType* gif, Bitmap* target, int32_t* state, int32_t* elapsed, GifFrameCache* cache,
                     GifFrameDrawing* drawing, int64_t max_work, int64_t* work, bool* done);
// Gives up a frame under way (a rewind, a closed reader): its line buffer
// is freed and the drawing is ready for the next frame.
void ResetGifFrameDrawing(GifFrameDrawing* drawing);

// giflib keeps a copy of every image descriptor it reads; a looping
// animation would grow that list forever. Drops the copies.
void ForgetSavedGifImages(GifFileType* gif);
