#pragma once
// The pictures held beyond the shown one, so that a step onto them only
// swaps bitmaps: the neighbour ahead, decoded while the user looks at the
// shown picture, and the picture just left, kept decoded for a step back.
// The work is done on the user-interface thread in slices of a few
// milliseconds (the picture control's preparation timer calls
// ContinuePreparing): a JPEG a band of rows per slice, a progressive one
// first a piece of its input per slice, a PNG a few rows per slice, small
// pictures of other kinds whole. Everything held beyond the shown picture,
// the memory kept for the next preparation included, stays within one
// budget; the picture just left is given up first.
#include <cstdint>
#include <string>

#include "base/file_stamp.h"

class Bitmap;
struct JpegBandDecoding;
struct PngRowDecoding;

// Bytes of pixels held beyond the shown picture: the picture just left and
// the neighbour ahead (or the memory kept for it) together.
const int64_t PREPARATION_BUDGET_BYTES = 512ll * 1024 * 1024;
// Pictures that cannot be decoded a band at a time are prepared in one slice
// when they have fewer pixels than this, and not at all otherwise.
const int64_t WHOLE_PREPARATION_MAX_PIXELS = 4 * 1000 * 1000;
// The end of a slice, in milliseconds from its start: no further step is
// begun that would end later, judged by the step before.
const double PREPARATION_SLICE_MS = 4.0;
// Steps of a slice: rows of a JPEG (libjpeg decodes at least a band of 8 or
// 16) or of a PNG, input of a progressive JPEG's scans.
const int PREPARATION_JPEG_ROWS = 8;
const int PREPARATION_PNG_ROWS = 2;
const int PREPARATION_INPUT_BYTES = 4096;
// A slice longer than this is counted as too long.
const double LONG_SLICE_MS = 5.0;
// A block of memory more than this many times the size of the picture it
// holds (or is to hold) is given back and allocated afresh.
const double OVERSIZED_BLOCK_RATIO = 1.5;

// A decoded picture and the file it shows.
struct HeldPicture {
  Bitmap* bitmap;      // owned; null when nothing is held
  std::string path;
  FileStamp stamp;     // the file when its decoding started
  int first_delay;     // an animated GIF's first delay in milliseconds; 0 for a still
                       // picture; -1 for one that does not show its file as opened
};

enum PreparationState {
  PREPARATION_IDLE,       // nothing prepared (bitmap, if any, is kept memory)
  PREPARATION_DECODING,   // slices remain
  PREPARATION_READY,      // bitmap holds the decoded picture
};

struct PreparedPicture {
  PreparationState state;
  std::string path;          // the file being prepared or prepared
  FileStamp stamp;           // that file when the preparation started
  Bitmap* bitmap;            // owned: the picture, or memory kept for the next one
  bool started;              // the file was examined (the first slice)
  JpegBandDecoding* jpeg;    // set while a JPEG is decoded band by band
  PngRowDecoding* png;       // set while a PNG is decoded row by row
  int first_delay;           // a prepared GIF's first delay (HeldPicture)
  HeldPicture kept;          // the picture just left, ready for a step back
  double longest_slice_ms;   // longest slice since the record was made
  int64_t slice_count;       // slices since the record was made
  int64_t long_slice_count;  // those longer than LONG_SLICE_MS
  int64_t budget_bytes;      // PREPARATION_BUDGET_BYTES (tests set less)
};

PreparedPicture MakePreparedPicture();
// Abandons any preparation and frees everything, the kept picture included.
void FreePreparedPicture(PreparedPicture* prepared);

// Starts preparing the file at path, abandoning any other preparation. The
// work, the look at the file included, is all done by ContinuePreparing.
void StartPreparing(PreparedPicture* prepared, const char* path);
// Works one slice. True when nothing remains to be done (ready, failed,
// given up or idle): the caller's timer can stop. The first slice gives up a
// file that is missing, of a kind or size that is not prepared, or above the
// budget; the kept picture is given up when both would not fit in it.
bool ContinuePreparing(PreparedPicture* prepared);
// The picture prepared for path, when it is ready or only bands or rows
// remain (they are decoded now), and the file is still what it was at the
// start (FileStamp). The caller owns the bitmap. Otherwise false, and the
// preparation is abandoned: path must then be decoded afresh.
bool TakePreparedPicture(PreparedPicture* prepared, const char* path, HeldPicture* picture);
// The kept picture, when it shows path and its file is unchanged. The caller
// owns the bitmap. Otherwise false; a kept picture of path whose file
// changed is dropped.
bool TakeKeptPicture(PreparedPicture* prepared, const char* path, HeldPicture* picture);
// Keeps the picture no longer shown for a step back; the picture kept so far
// becomes memory for the next preparation or is freed. A picture above the
// budget is freed instead, and one with a first delay of -1 becomes memory;
// a null bitmap is accepted.
void KeepPicture(PreparedPicture* prepared, const HeldPicture& picture);
// Gives up the kept picture (another list was opened): its memory serves the
// next preparation.
void DropKeptPicture(PreparedPicture* prepared);
// Stops any preparation and hands its memory to the caller (null when there
// is none), for a picture decoded at once.
Bitmap* TakePreparationMemory(PreparedPicture* prepared);
// Stops any preparation and frees its memory; the kept picture stays.
void StopPreparing(PreparedPicture* prepared);
// Stops any preparation; its bitmap is kept as memory for the next one.
void AbandonPreparation(PreparedPicture* prepared);

// A decoded picture in a block more than OVERSIZED_BLOCK_RATIO times its
// size is copied into a block of its own size and the large one freed.
// Returns the picture to hold (the same bitmap when nothing was done).
Bitmap* FitPictureMemory(Bitmap* picture);
