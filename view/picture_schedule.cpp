#include "view/picture_schedule.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "raster/block_memory.h"
#include "raster/memory_bitmap.h"

namespace {

int64_t PictureBytes(const Bitmap* bitmap) {
  if (!bitmap) return 0;
  int64_t bytes = BitmapByteCount(bitmap->Width(), bitmap->Height());
  return bytes > 0 ? bytes : 0;
}

bool Oversized(const Bitmap* bitmap, int64_t needed) {
  return needed > 0 && static_cast<double>(BlockBytes(bitmap)) > OVERSIZED_BLOCK_RATIO * static_cast<double>(needed);
}

HeldPicture NoPicture() {
  HeldPicture none;
  none.bitmap = nullptr;
  none.stamp = FileStamp{};
  none.first_delay = 0;
  return none;
}

void FreeHeld(HeldPicture* held) {
  delete held->bitmap;
  *held = NoPicture();
}

bool Holds(const HeldPicture& held, const std::string& path) {
  return held.bitmap && !path.empty() && held.path == path;
}

void FreeSpare(PictureSchedule* schedule) {
  delete schedule->spare;
  schedule->spare = nullptr;
}

// One spare block at most: of two, the smaller one stays (the next picture
// is more likely to fit a block of the usual size than to need the larger).
void KeepAsSpare(PictureSchedule* schedule, Bitmap* bitmap) {
  if (!bitmap) return;
  if (!dynamic_cast<MemoryBitmap*>(bitmap)) {
    delete bitmap;
    return;
  }
  if (schedule->spare && BlockBytes(schedule->spare) <= BlockBytes(bitmap)) {
    delete bitmap;
    return;
  }
  FreeSpare(schedule);
  schedule->spare = bitmap;
}

void StopDecoding(PictureSchedule* schedule) {
  delete schedule->decoding;
  schedule->decoding = nullptr;
  schedule->purpose = DECODING_NONE;
  schedule->decoding_path.clear();
}

int64_t DecodingBytes(const PictureSchedule* schedule) {
  return schedule->decoding ? schedule->decoding->Held() : 0;
}

void NotePeak(PictureSchedule* schedule) {
  int64_t total = LedgerBytes(schedule) + ShowingBytes(schedule);
  if (total > schedule->peak_bytes) schedule->peak_bytes = total;
}

// Pictures held or under way beside the shown one (a decoding counts as
// the picture it will hold).
int PicturesBesideShown(const PictureSchedule* schedule) {
  return (schedule->kept.bitmap ? 1 : 0) + (schedule->prepared.bitmap ? 1 : 0) + (schedule->decoding ? 1 : 0);
}

// Gives up what is held, the least useful first, until the ledger is within
// the budget: the spare block, the picture just left, the neighbour, and at
// last a preparation under way. The spare block goes as well once two
// pictures are held or under way beside the shown one: with it they would
// be four.
void FitLedger(PictureSchedule* schedule) {
  const int64_t budget = schedule->budget_bytes;
  if (LedgerBytes(schedule) > budget || PicturesBesideShown(schedule) >= 2) FreeSpare(schedule);
  if (LedgerBytes(schedule) > budget) FreeHeld(&schedule->kept);
  if (LedgerBytes(schedule) > budget) FreeHeld(&schedule->prepared);
  if (LedgerBytes(schedule) > budget && schedule->purpose == DECODING_TO_PREPARE) StopDecoding(schedule);
}

// Room for a preparation: the budget less what stays held beside it.
int64_t RoomToPrepare(const PictureSchedule* schedule) {
  return schedule->budget_bytes - schedule->reserved_bytes - BlockBytes(schedule->prepared.bitmap);
}

// Hands the spare block to a decoding of a picture of `need` bytes when it fits
// without waste; otherwise the block is freed, so that it is not held beside
// a fresh one.
void OfferSpare(PictureSchedule* schedule, int64_t need) {
  Bitmap* spare = schedule->spare;
  schedule->spare = nullptr;
  if (!spare) return;
  if (BlockBytes(spare) >= need && !Oversized(spare, need)) {
    schedule->decoding->GiveMemory(spare);
  } else {
    delete spare;
  }
}

// Starts decoding path with the given purpose. False when the file was
// refused (or gives no picture before its first step).
bool StartDecoding(PictureSchedule* schedule, const std::string& path, DecodingPurpose purpose) {
  StopDecoding(schedule);
  FileStamp stamp = FileStamp{};
  if (!schedule->source->ReadStamp(path, &stamp)) stamp = FileStamp{};
  int64_t max_bytes = INT64_MAX;
  if (purpose == DECODING_TO_PREPARE) {
    // The picture just left is given up before a preparation is refused.
    max_bytes = RoomToPrepare(schedule);
    if (max_bytes <= 0) return false;
  }
  ScheduledDecoding* decoding = schedule->source->StartDecoding(path, max_bytes);
  if (!decoding) return false;
  schedule->decoding = decoding;
  schedule->purpose = purpose;
  schedule->decoding_path = path;
  schedule->decoding_stamp = stamp;
  OfferSpare(schedule, decoding->PictureSize());
  if (purpose == DECODING_TO_PREPARE) {
    // What stays held beside the decoding, and all it will hold: the
    // picture just left is given up first.
    if (LedgerBytes(schedule) - DecodingBytes(schedule) + decoding->Need() > schedule->budget_bytes) {
      FreeHeld(&schedule->kept);
    }
    if (LedgerBytes(schedule) - DecodingBytes(schedule) + decoding->Need() > schedule->budget_bytes) {
      StopDecoding(schedule);
      return false;
    }
  }
  NotePeak(schedule);
  return true;
}

// The shown picture makes way for next: it becomes the picture just left
// when it belongs to the list and still shows its file as opened; the
// picture left before it becomes spare memory.
void Show(PictureSchedule* schedule, HeldPicture next) {
  HeldPicture leaving = schedule->shown;
  schedule->shown = next;
  Bitmap* previous = schedule->kept.bitmap;
  schedule->kept = NoPicture();
  bool keep = !schedule->shown_is_old && leaving.bitmap && leaving.first_delay >= 0 && !leaving.path.empty() &&
              leaving.path != next.path;
  schedule->shown_is_old = false;
  if (keep) {
    schedule->kept = leaving;
    schedule->kept.bitmap = FitPictureMemory(leaving.bitmap);
  } else {
    KeepAsSpare(schedule, leaving.bitmap);
  }
  KeepAsSpare(schedule, previous);
  FitLedger(schedule);
  NotePeak(schedule);
}

// The held picture of path, taken out, when its file is unchanged; a held
// picture of a changed file is given up.
bool TakeHeld(PictureSchedule* schedule, HeldPicture* held, const std::string& path, HeldPicture* taken) {
  if (!Holds(*held, path)) return false;
  if (!schedule->source->Unchanged(path, held->stamp)) {
    FreeHeld(held);
    return false;
  }
  *taken = *held;
  *held = NoPicture();
  return true;
}

// A stamp that could not be read stays empty.
bool StampRead(const FileStamp& stamp) {
  return stamp.size != 0 || stamp.last_write != 0 || stamp.change_time != 0 || stamp.identity != 0 ||
         stamp.content != 0;
}

// One step of the decoding under way; on its end, the picture it gives.
// Returns the step's result.
int StepDecoding(PictureSchedule* schedule, HeldPicture* result) {
  schedule->steps += 1;
  int outcome = schedule->decoding->Step();
  NotePeak(schedule);
  if (outcome == 0) return 0;
  // A file deleted or replaced while it was read may have given a torn
  // picture: what it gives now is decoded instead (a deleted one gives none).
  if (StampRead(schedule->decoding_stamp) &&
      !schedule->source->Unchanged(schedule->decoding_path, schedule->decoding_stamp)) {
    StopDecoding(schedule);
    return 0;
  }
  *result = NoPicture();
  result->path = schedule->decoding_path;
  result->stamp = schedule->decoding_stamp;
  if (outcome > 0) {
    GifFrameReader** animation = schedule->purpose == DECODING_TO_SHOW ? &schedule->animation : nullptr;
    result->bitmap = FitPictureMemory(schedule->decoding->TakePicture(&result->first_delay, animation));
    if (result->first_delay < 0) result->first_delay = 0;
  }
  StopDecoding(schedule);
  return outcome;
}

// A decoding of another picture than the one at the position goes on as
// the preparation of the neighbour when it is that and all it will hold
// fits the budget beside what stays held; otherwise it stops.
void KeepAsPreparation(PictureSchedule* schedule) {
  if (!schedule->decoding) return;
  int64_t beside = LedgerBytes(schedule) - (schedule->purpose == DECODING_TO_PREPARE ? DecodingBytes(schedule) : 0);
  if (schedule->decoding_path != schedule->neighbour || beside + schedule->decoding->Need() > schedule->budget_bytes) {
    StopDecoding(schedule);
    return;
  }
  schedule->purpose = DECODING_TO_PREPARE;
}

// A decoding asked for at a position the keys have left is finished only
// when it is about to end.
bool FinishPassedDecoding(const PictureSchedule* schedule) {
  return schedule->purpose == DECODING_TO_SHOW &&
         schedule->decoding->RemainingWork() <= PASSED_DECODING_FINISH_WORK;
}

// Work towards the picture at the position, which is not shown.
ScheduleResult WorkTowardsWanted(PictureSchedule* schedule) {
  const std::string wanted = schedule->wanted;
  HeldPicture taken;
  if (TakeHeld(schedule, &schedule->kept, wanted, &taken) ||
      TakeHeld(schedule, &schedule->prepared, wanted, &taken)) {
    // Not counted while the pictures change places; then it is kept as the
    // preparation where it fits beside them.
    if (schedule->decoding) schedule->purpose = DECODING_TO_SHOW;
    Show(schedule, taken);
    KeepAsPreparation(schedule);
    FitLedger(schedule);
    return SCHEDULE_SHOWN;
  }
  if (schedule->decoding && schedule->decoding_path == wanted) schedule->purpose = DECODING_TO_SHOW;
  // A preparation of another file gives way, and so does a picture passed
  // that is not about to end.
  if (schedule->decoding && schedule->decoding_path != wanted && !FinishPassedDecoding(schedule)) {
    StopDecoding(schedule);
  }
  if (!schedule->decoding) {
    // Three pictures at most: of two held beside the shown one, the one
    // that is not the neighbour makes room for the picture to decode.
    if (schedule->kept.bitmap && schedule->prepared.bitmap) {
      HeldPicture* given = schedule->prepared.path != schedule->neighbour ? &schedule->prepared : &schedule->kept;
      KeepAsSpare(schedule, given->bitmap);
      *given = NoPicture();
    }
    if (StartDecoding(schedule, wanted, DECODING_TO_SHOW)) return SCHEDULE_BUSY;
    // The file gives no picture: black is shown for it.
    HeldPicture none = NoPicture();
    none.path = wanted;
    Show(schedule, none);
    return SCHEDULE_SHOWN;
  }
  // The decoding under way is the one at the position, or one passed that
  // is about to end: it ends and is shown, then the latest position's
  // starts.
  HeldPicture result;
  int outcome = StepDecoding(schedule, &result);
  if (outcome == 0) return SCHEDULE_BUSY;
  if (outcome < 0 && result.path != wanted) return SCHEDULE_BUSY;
  Show(schedule, result);
  return SCHEDULE_SHOWN;
}

// Work on the neighbour while the picture at the position is shown.
ScheduleResult Prepare(PictureSchedule* schedule) {
  const std::string& neighbour = schedule->neighbour;
  // A decoding asked for by a position left since goes on only as this.
  if (schedule->decoding && schedule->purpose != DECODING_TO_PREPARE) KeepAsPreparation(schedule);
  if (schedule->decoding && schedule->decoding_path != neighbour) StopDecoding(schedule);
  if (!schedule->decoding) {
    bool held = Holds(schedule->prepared, neighbour) || Holds(schedule->kept, neighbour) ||
                (schedule->shown.path == neighbour);
    if (neighbour.empty() || held || schedule->refused == neighbour) return SCHEDULE_IDLE;
    // A neighbour prepared for another position makes room.
    if (schedule->prepared.bitmap) {
      KeepAsSpare(schedule, schedule->prepared.bitmap);
      schedule->prepared = NoPicture();
    }
    if (!StartDecoding(schedule, neighbour, DECODING_TO_PREPARE)) {
      schedule->refused = neighbour;
      return SCHEDULE_IDLE;
    }
    return SCHEDULE_BUSY;
  }
  HeldPicture result;
  int outcome = StepDecoding(schedule, &result);
  if (outcome == 0) {
    FitLedger(schedule);
    return SCHEDULE_BUSY;
  }
  if (outcome < 0 || !result.bitmap) {
    schedule->refused = neighbour;
    return SCHEDULE_IDLE;
  }
  KeepAsSpare(schedule, schedule->prepared.bitmap);
  schedule->prepared = result;
  FitLedger(schedule);
  return SCHEDULE_BUSY;
}

}  // namespace

ScheduledDecoding::~ScheduledDecoding() {}
PictureSource::~PictureSource() {}

int64_t BlockBytes(const Bitmap* bitmap) {
  const MemoryBitmap* memory = dynamic_cast<const MemoryBitmap*>(bitmap);
  return memory ? memory->AllocatedBytes() : PictureBytes(bitmap);
}

Bitmap* FitPictureMemory(Bitmap* picture) {
  int64_t needed = PictureBytes(picture);
  if (!picture || !Oversized(picture, needed)) return picture;
  MemoryBitmap* fitted = new (std::nothrow) MemoryBitmap(picture->Width(), picture->Height());
  if (!fitted || !fitted->Bits()) {
    delete fitted;
    return picture;
  }
  size_t row_bytes = static_cast<size_t>(picture->RowSpan()) * 4;
  for (int y = 0; y < picture->Height(); ++y) {
    memcpy(fitted->Bits() + static_cast<ptrdiff_t>(y) * fitted->RowSpan(),
           picture->Bits() + static_cast<ptrdiff_t>(y) * picture->RowSpan(), row_bytes);
  }
  delete picture;
  return fitted;
}

PictureSchedule MakePictureSchedule(PictureSource* source) {
  PictureSchedule schedule;
  schedule.source = source;
  schedule.budget_bytes = PICTURE_BUDGET_BYTES;
  schedule.reserved_bytes = 0;
  schedule.shown = NoPicture();
  schedule.shown_is_old = false;
  schedule.kept = NoPicture();
  schedule.prepared = NoPicture();
  schedule.spare = nullptr;
  schedule.decoding = nullptr;
  schedule.purpose = DECODING_NONE;
  schedule.decoding_stamp = FileStamp{};
  schedule.animation = nullptr;
  schedule.peak_bytes = 0;
  schedule.steps = 0;
  return schedule;
}

void FreePictureSchedule(PictureSchedule* schedule) {
  StopDecoding(schedule);
  FreeHeld(&schedule->shown);
  FreeHeld(&schedule->kept);
  FreeHeld(&schedule->prepared);
  FreeSpare(schedule);
  schedule->wanted.clear();
  schedule->neighbour.clear();
  schedule->refused.clear();
}

void WantPicture(PictureSchedule* schedule, const std::string& wanted, const std::string& neighbour) {
  schedule->wanted = wanted;
  schedule->neighbour = neighbour;
  // A neighbour refused once is tried again when it comes round again.
  if (schedule->refused != neighbour) schedule->refused.clear();
  if (schedule->purpose == DECODING_TO_PREPARE && schedule->decoding_path == wanted) {
    schedule->purpose = DECODING_TO_SHOW;
  }
}

void ForgetPictures(PictureSchedule* schedule) {
  StopDecoding(schedule);
  KeepAsSpare(schedule, schedule->kept.bitmap);
  schedule->kept = NoPicture();
  KeepAsSpare(schedule, schedule->prepared.bitmap);
  schedule->prepared = NoPicture();
  schedule->shown_is_old = true;
  schedule->wanted.clear();
  schedule->neighbour.clear();
  schedule->refused.clear();
  FitLedger(schedule);
}

ScheduleResult DoScheduledWork(PictureSchedule* schedule) {
  if (PicturePending(schedule)) return WorkTowardsWanted(schedule);
  if (schedule->wanted.empty()) return SCHEDULE_IDLE;
  return Prepare(schedule);
}

void ReserveBytes(PictureSchedule* schedule, int64_t bytes) {
  schedule->reserved_bytes = bytes;
  FitLedger(schedule);
}

bool PicturePending(const PictureSchedule* schedule) {
  return !schedule->wanted.empty() && (schedule->shown_is_old || schedule->shown.path != schedule->wanted);
}

int64_t LedgerBytes(const PictureSchedule* schedule) {
  int64_t bytes = schedule->reserved_bytes + BlockBytes(schedule->kept.bitmap) +
                  BlockBytes(schedule->prepared.bitmap) + BlockBytes(schedule->spare);
  if (schedule->purpose == DECODING_TO_PREPARE) bytes += DecodingBytes(schedule);
  return bytes;
}

int64_t ShowingBytes(const PictureSchedule* schedule) {
  return schedule->purpose == DECODING_TO_SHOW ? DecodingBytes(schedule) : 0;
}

bool ReleaseComesFirst(const PictureSchedule* schedule) {
  int64_t queued = QueuedBlockBytes();
  return queued > 0 && (queued > schedule->budget_bytes || !PicturePending(schedule));
}
