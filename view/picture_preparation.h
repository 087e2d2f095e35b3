#pragma once
// The neighbour of the shown picture, decoded while the user looks at the
// shown one, so that Next or Previous onto it only swaps bitmaps. The work is
// done on the user-interface thread in slices of a few milliseconds (the
// picture control's preparation timer calls ContinuePreparing): a JPEG a band
// of rows per slice, small pictures of other kinds whole. At most one picture
// is prepared at a time; the record also keeps the memory of a bitmap no
// longer shown, so that the next preparation decodes into it.
#include <cstdint>
#include <string>

class Bitmap;
struct JpegBandDecoding;

// No picture whose pixels take more than this is prepared.
const int64_t PREPARATION_BUDGET_BYTES = 512ll * 1024 * 1024;
// Pictures that cannot be decoded a band at a time are prepared in one slice
// when they have fewer pixels than this, and not at all otherwise.
const int64_t WHOLE_PREPARATION_MAX_PIXELS = 4 * 1000 * 1000;
// Work done in one slice, in milliseconds (a band of rows more may finish).
const double PREPARATION_SLICE_MS = 2.5;

// A file's size and last-write time, to tell whether it changed.
struct FileStamp {
  int64_t size;
  uint64_t last_write;   // in the platform's 100-nanosecond units
};
// False when the file does not exist or cannot be examined.
bool ReadFileStamp(const char* path, FileStamp* stamp);

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
  bool started;               // the file was examined (the first slice)
  JpegBandDecoding* jpeg;    // set while a JPEG is decoded band by band
  double longest_slice_ms;   // longest slice since the record was made
};

PreparedPicture MakePreparedPicture();
// Abandons any preparation and frees everything, the kept memory included.
void FreePreparedPicture(PreparedPicture* prepared);

// Starts preparing the file at path, abandoning any other preparation. The
// work, the look at the file included, is all done by ContinuePreparing.
void StartPreparing(PreparedPicture* prepared, const char* path);
// Works one slice. True when nothing remains to be done (ready, failed,
// given up or idle): the caller's timer can stop. The first slice gives up a
// file that is missing, of a kind or size that is not prepared, or above the
// budget.
bool ContinuePreparing(PreparedPicture* prepared);
// The picture prepared for path, when it is ready or only JPEG bands remain
// (they are decoded now), and the file's size and last-write time are still
// those of the start. The caller owns the result. Otherwise null, and the
// preparation is abandoned: path must then be decoded afresh.
Bitmap* TakePreparedPicture(PreparedPicture* prepared, const char* path);
// Stops any preparation; its bitmap is kept as memory for the next one.
void AbandonPreparation(PreparedPicture* prepared);
// Gives the record a bitmap no longer shown, as memory for the next
// preparation; a bitmap it holds already is deleted. Null is accepted.
void KeepPreparationMemory(PreparedPicture* prepared, Bitmap* bitmap);
