#pragma once
// Which picture is decoded when, and what is held. The position of the list
// asks for a picture (WantPicture); the schedule shows it at once when it is
// held (the picture just left, or the neighbour decoded ahead), and
// otherwise decodes it first, in steps of bounded work that the window runs
// between messages (DoScheduledWork). While nothing is asked for, it
// prepares the neighbour. The latest position wins: a picture the keys have
// passed is not waited for. Its decoding is finished and shown only when it
// is about to end; otherwise it goes on as the preparation of the
// neighbour, when it is that and fits the budget, or stops, and the
// picture at the position starts at once.
//
// One ledger counts everything held beyond the shown picture, as allocated:
// the picture just left, the neighbour, a spare block, a decoding under way
// with its working memory, and what the window reserves (an animation's
// frames). It stays within the budget; only the decoding of a picture that
// was asked for may add what that picture itself needs.
//
// The files and the decoders are reached through PictureSource, so that the
// schedule needs no platform and can be driven by a model. Needs no Windows
// header.
#include <cstdint>
#include <string>

#include "base/file_stamp.h"

class Bitmap;
struct GifFrameReader;

// Everything held beyond the shown picture.
const int64_t PICTURE_BUDGET_BYTES = 512ll * 1024 * 1024;
// A decoding of a picture the position has left is finished and shown
// when no more than this much of its work remains, by its own count: 64
// steps, some 100 ms of decoding, so that keys held over ordinary pictures
// still show pictures on the way.
const int64_t PASSED_DECODING_FINISH_WORK = int64_t(64) << 18;
// A block of memory more than this many times the size of the picture it
// holds (or is to hold) is given back rather than used.
const double OVERSIZED_BLOCK_RATIO = 1.5;

// One decoding under way, as the schedule drives it.
class ScheduledDecoding {
public:
  virtual ~ScheduledDecoding();  // abandons the decoding and frees what it holds
  // Bytes it holds at most until its end, and holds now (picture and working memory).
  virtual int64_t Need() const = 0;
  virtual int64_t Held() const = 0;
  // Bytes of the picture's pixels alone.
  virtual int64_t PictureSize() const = 0;
  // A block to decode into, given before the first step; owned from then on.
  virtual void GiveMemory(Bitmap* memory) = 0;
  // One step of bounded work: 1 complete, 0 work remains, -1 failed.
  virtual int Step() = 0;
  // Work that remains to its end, in the units of its steps (an estimate
  // where the decoder cannot know it).
  virtual int64_t RemainingWork() const = 0;
  // After 1: the picture, owned by the caller, with a GIF's first delay; the
  // animation (a frame reader after the first frame) when one is asked for
  // and the picture animates.
  virtual Bitmap* TakePicture(int* first_delay, GifFrameReader** animation) = 0;
};

// The files and their decoders.
class PictureSource {
public:
  virtual ~PictureSource();
  // What tells later whether the file changed; false when it cannot be read.
  virtual bool ReadStamp(const std::string& path, FileStamp* stamp) = 0;
  // True when the file is still what stamp describes.
  virtual bool Unchanged(const std::string& path, const FileStamp& stamp) = 0;
  // Starts decoding path, refusing more than max_bytes; null when refused
  // or the file gives no picture.
  virtual ScheduledDecoding* StartDecoding(const std::string& path, int64_t max_bytes) = 0;
};

// A decoded picture and the file it shows.
struct HeldPicture {
  Bitmap* bitmap;     // owned; null: the file gave no picture (or nothing is held)
  std::string path;   // empty: nothing held
  FileStamp stamp;    // the file when its decoding started
  int first_delay;    // a GIF's first delay in ms; 0 still; -1 no longer what its file shows
};

enum DecodingPurpose {
  DECODING_NONE,
  DECODING_TO_SHOW,      // the picture asked for (or one passed that is about to end)
  DECODING_TO_PREPARE,   // the neighbour, within the budget
};

enum ScheduleResult {
  SCHEDULE_IDLE,    // nothing to do until the position moves
  SCHEDULE_BUSY,    // a step was done; more remains
  SCHEDULE_SHOWN,   // the shown picture changed (and more may remain)
};

struct PictureSchedule {
  PictureSource* source;      // not owned
  int64_t budget_bytes;       // PICTURE_BUDGET_BYTES (tests set less)
  int64_t reserved_bytes;     // held by the window beyond the shown picture (ReserveBytes)
  std::string wanted;         // the file at the position; empty before a list
  std::string neighbour;      // the one to prepare; empty for none
  HeldPicture shown;
  bool shown_is_old;          // the shown picture belongs to a list given up
  HeldPicture kept;           // the picture just left
  HeldPicture prepared;       // a neighbour decoded ahead
  Bitmap* spare;              // owned: memory for the next decoding
  ScheduledDecoding* decoding;    // owned: the decoding under way
  DecodingPurpose purpose;
  std::string decoding_path;
  FileStamp decoding_stamp;
  std::string refused;        // a neighbour the budget or its file refused
  GifFrameReader* animation;  // handed over with a picture just shown; the window takes it
  int64_t peak_bytes;         // the ledger's largest value so far
  int64_t steps;              // decoding steps so far
};

PictureSchedule MakePictureSchedule(PictureSource* source);
// Frees everything, the shown picture included.
void FreePictureSchedule(PictureSchedule* schedule);

// The position moved (or a list was opened): wanted is the file at the
// position, neighbour the one to prepare next (empty for none). Does no
// decoding work: DoScheduledWork does it.
void WantPicture(PictureSchedule* schedule, const std::string& wanted, const std::string& neighbour);
// Another list is opened: the decoding under way is abandoned and every
// picture of the old list given up; the shown one stays until the next is
// shown.
void ForgetPictures(PictureSchedule* schedule);
// One piece of work of bounded length: a swap onto a held picture, or the
// start or one step of a decoding.
ScheduleResult DoScheduledWork(PictureSchedule* schedule);

// What the window holds beyond the shown picture (an animation's frames)
// changes: the ledger makes room for it.
void ReserveBytes(PictureSchedule* schedule, int64_t bytes);
// True while the picture at the position is not the one shown.
bool PicturePending(const PictureSchedule* schedule);
// Bytes held beyond the shown picture, against the budget (a decoding of a
// picture asked for is not counted: it may add what it needs).
int64_t LedgerBytes(const PictureSchedule* schedule);
// Bytes of the decoding of a picture asked for, when one is under way.
int64_t ShowingBytes(const PictureSchedule* schedule);
// Large blocks freed before and not yet given back to the system (the queue
// of raster/block_memory) go back a piece at a time between the window's
// steps, within some tens of milliseconds; they do not push held pictures
// out of the ledger. True while that comes before the schedule's work:
// while they are more than the budget, and before a neighbour is prepared.
bool ReleaseComesFirst(const PictureSchedule* schedule);
// Bytes a bitmap's block takes (a MemoryBitmap's allocation); 0 for none.
int64_t BlockBytes(const Bitmap* bitmap);

// A decoded picture in a block more than OVERSIZED_BLOCK_RATIO times its
// size is copied into a block of its own size and the large one freed.
Bitmap* FitPictureMemory(Bitmap* picture);
