#include "tests/view/picture_schedule_model.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "raster/memory_bitmap.h"
#include "view/picture_schedule.h"

namespace {

const int FILE_COUNT = 6;
// Small pictures and a small budget: a picture rewritten takes up to some
// 58 KB with its working memory, more than the budget of 32 KB alone, so
// that keeping, preparing, refusing and giving up all happen.
const int64_t MODEL_BUDGET = 32 * 1024;
// What the window reserves while an animation is shown.
const int64_t MODEL_ANIMATION_RESERVE = 8 * 1024;
// A decoding's remaining work counts this much a step: one with four steps
// or fewer to go is about to end.
const int64_t MODEL_STEP_WORK = PASSED_DECODING_FINISH_WORK / 4;

// What a file holds: the picture it decodes to and how its decoding goes.
struct ModelFile {
  bool exists;
  int version;      // changes with every rewrite
  int width, height;
  int steps;        // steps its decoding takes
  int fail_at;      // the step that fails (0: none); -1: refused at the start
  int working;      // bytes of working memory beside the picture
  bool animated;    // a GIF whose first frame carries a delay
};

std::string PathOf(int id) { return "f" + std::to_string(id) + ".jpg"; }
int IdOf(const std::string& path) { return path.size() > 1 ? path[1] - '0' : -1; }

uint32_t PixelOf(int id, int version) { return 0xFF000000u | uint32_t(id) << 16 | uint32_t(version & 0xFFFF); }

// A decoded picture's first pixel names its file and version, the second
// the decoding that made it.
uint32_t SerialOf(const Bitmap* picture) { return picture->Bits()[1]; }

// The animation handed over with a picture: a token the driver takes.
GifFrameReader* const MODEL_ANIMATION = reinterpret_cast<GifFrameReader*>(uintptr_t(0x1000));

struct ModelSource;

class ModelDecoding : public ScheduledDecoding {
public:
  ModelDecoding(ModelSource* source, int id, const ModelFile& file);
  ~ModelDecoding() override;
  int64_t Need() const override { return PictureSize() + file_.working; }
  int64_t Held() const override {
    return BlockBytes(bitmap_) + (done_steps_ > 0 ? file_.working : 0);
  }
  int64_t PictureSize() const override { return BitmapByteCount(file_.width, file_.height); }
  bool HoldsBlock() const { return bitmap_ != nullptr; }
  void GiveMemory(Bitmap* memory) override;
  int Step() override;
  int64_t RemainingWork() const override { return (file_.steps - done_steps_) * MODEL_STEP_WORK; }
  Bitmap* TakePicture(int* first_delay, GifFrameReader** animation) override;

  int id_;
  ModelFile file_;
  bool changed_during_ = false;
  uint32_t serial_ = 0;

private:
  ModelSource* source_;
  Bitmap* bitmap_ = nullptr;
  int done_steps_ = 0;
};

struct ModelSource : public PictureSource {
  ModelFile files[FILE_COUNT];
  std::set<ModelDecoding*> alive;
  uint32_t decodings = 0;   // started so far
  // What the last piece of work did.
  int steps_in_call = 0;
  int starts_in_call = 0;
  std::string failure_in_call;     // a file whose decoding failed or was refused
  bool taken_in_call = false;
  bool taken_changed_during = false;
  std::string problem;

  bool ReadStamp(const std::string& path, FileStamp* stamp) override {
    int id = IdOf(path);
    if (id < 0 || id >= FILE_COUNT || !files[id].exists) return false;
    *stamp = FileStamp{int64_t(files[id].width) * files[id].height, uint64_t(files[id].version), 0, 0};
    return true;
  }
  bool Unchanged(const std::string& path, const FileStamp& stamp) override {
    FileStamp now;
    return ReadStamp(path, &now) && now.size == stamp.size && now.last_write == stamp.last_write;
  }
  ScheduledDecoding* StartDecoding(const std::string& path, int64_t max_bytes) override {
    starts_in_call += 1;
    int id = IdOf(path);
    if (id < 0 || id >= FILE_COUNT || !files[id].exists || files[id].fail_at < 0) {
      failure_in_call = path;
      return nullptr;
    }
    ModelDecoding* decoding = new ModelDecoding(this, id, files[id]);
    decoding->serial_ = ++decodings;
    if (decoding->Need() > max_bytes) {
      delete decoding;
      failure_in_call = path;
      return nullptr;
    }
    return decoding;
  }
};

ModelDecoding::ModelDecoding(ModelSource* source, int id, const ModelFile& file)
    : id_(id), file_(file), source_(source) {
  source_->alive.insert(this);
}

ModelDecoding::~ModelDecoding() {
  delete bitmap_;
  source_->alive.erase(this);
}

void ModelDecoding::GiveMemory(Bitmap* memory) {
  if (done_steps_ > 0 || bitmap_) source_->problem = "memory given after the decoding began";
  delete bitmap_;
  bitmap_ = memory;
}

int ModelDecoding::Step() {
  source_->steps_in_call += 1;
  if (done_steps_ == 0) {
    if (!bitmap_) bitmap_ = new MemoryBitmap();
    bitmap_->Resize(file_.width, file_.height);
  }
  done_steps_ += 1;
  if (done_steps_ == file_.fail_at) {
    source_->failure_in_call = PathOf(id_);
    return -1;
  }
  if (done_steps_ < file_.steps) return 0;
  uint32_t pixel = PixelOf(id_, file_.version);
  for (int y = 0; y < bitmap_->Height(); ++y) {
    std::fill(bitmap_->Bits() + y * bitmap_->RowSpan(), bitmap_->Bits() + y * bitmap_->RowSpan() + bitmap_->Width(),
              pixel);
  }
  bitmap_->Bits()[1] = serial_;
  return 1;
}

Bitmap* ModelDecoding::TakePicture(int* first_delay, GifFrameReader** animation) {
  *first_delay = file_.animated ? 100 : 0;
  if (animation) *animation = file_.animated ? MODEL_ANIMATION : nullptr;
  source_->taken_in_call = true;
  source_->taken_changed_during = changed_during_;
  Bitmap* picture = bitmap_;
  bitmap_ = nullptr;
  return picture;
}

// Reads the bytes as actions, one byte each with its arguments following.
struct Actions {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool More() const { return at < size; }
  int Next(int range) { return at < size ? data[at++] % range : 0; }
};

class Driver {
public:
  Driver() : schedule_(MakePictureSchedule(&source_)) {
    schedule_.budget_bytes = MODEL_BUDGET;
    for (int id = 0; id < FILE_COUNT; ++id) {
      source_.files[id] = ModelFile{true, 1, 16 + 8 * id, 16 + 6 * id, 1 + id, 0, 0, id == 4};
    }
  }
  ~Driver() { FreePictureSchedule(&schedule_); }

  bool Run(Actions* actions, std::string* failure) {
    while (actions->More() && failure_.empty()) Act(actions);
    if (failure_.empty()) Settle();
    if (failure_.empty() && !source_.problem.empty()) failure_ = source_.problem;
    *failure = failure_;
    return failure_.empty();
  }

private:
  void Fail(const std::string& what) {
    if (failure_.empty()) failure_ = what + "; actions:" + history_;
  }

  std::string Neighbour() const {
    int count = static_cast<int>(list_.size());
    int index = index_ + step_;
    if (index < 0 || index >= count) index = index_ - step_;
    if (index < 0 || index >= count) return std::string();
    return PathOf(list_[index]);
  }

  // The position moves: a decoding of the picture left, or of one passed
  // before it that may finish, may finish when it is about to end.
  void Want() {
    std::string wanted = PathOf(list_[index_]);
    const std::string& under_way = schedule_.decoding_path;
    bool passed = schedule_.decoding && under_way != wanted &&
                  (under_way == schedule_.wanted || under_way == may_finish_) &&
                  schedule_.decoding->RemainingWork() <= PASSED_DECODING_FINISH_WORK;
    may_finish_ = passed ? under_way : std::string();
    WantPicture(&schedule_, wanted, Neighbour());
  }

  void Act(Actions* actions) {
    int action = actions->Next(10);
    history_ += " A" + std::to_string(action);
    switch (action) {
      case 0: {  // Open one to five files
        int count = 1 + actions->Next(5);
        list_.clear();
        for (int i = 0; i < count; ++i) list_.push_back(actions->Next(FILE_COUNT));
        index_ = 0;
        step_ = 1;
        ForgetPictures(&schedule_);
        opened_after_ = source_.decodings;
        may_finish_.clear();
        Want();
        Work();
        break;
      }
      case 1:
      case 2: {  // Next, Previous
        int step = actions->Next(2) ? 1 : -1;
        int index = index_ + step;
        if (list_.empty() || index < 0 || index >= static_cast<int>(list_.size())) break;
        index_ = index;
        step_ = step;
        Want();
        // The window does a piece of work at once.
        Work();
        break;
      }
      case 3:
      case 4:
      case 5:  // ticks
        for (int n = 1 + actions->Next(8); n > 0; --n) Work();
        break;
      case 6: {  // a file rewritten: another picture, perhaps another size or decoding
        ModelFile& file = source_.files[actions->Next(FILE_COUNT)];
        file.version += 1;
        file.width = 2 + actions->Next(160);
        file.height = 1 + actions->Next(80);
        file.steps = 1 + actions->Next(12);
        file.working = actions->Next(4) * 2048;
        file.exists = true;
        int failing = actions->Next(8);
        file.fail_at = failing == 0 ? -1 : failing == 1 ? 1 + actions->Next(file.steps) : 0;
        file.animated = actions->Next(4) == 0;
        for (ModelDecoding* decoding : source_.alive) {
          if (&source_.files[decoding->id_] == &file) decoding->changed_during_ = true;
        }
        break;
      }
      case 7: {  // a file deleted
        ModelFile& file = source_.files[actions->Next(FILE_COUNT)];
        file.exists = false;
        file.version += 1;
        for (ModelDecoding* decoding : source_.alive) {
          if (&source_.files[decoding->id_] == &file) decoding->changed_during_ = true;
        }
        break;
      }
      case 8:  // the window's reserve changes
        reserve_ = actions->Next(3) * 4096;
        ReserveBytes(&schedule_, reserve_);
        break;
      case 9:  // the shown animation moves past its first frame
        if (schedule_.shown.first_delay > 0) schedule_.shown.first_delay = -1;
        break;
    }
    CheckHeld();
  }

  ScheduleResult Work() {
    source_.steps_in_call = 0;
    source_.starts_in_call = 0;
    source_.failure_in_call.clear();
    source_.taken_in_call = false;
    ScheduleResult result = DoScheduledWork(&schedule_);
    history_ += " W" + std::to_string(result) + schedule_.decoding_path + "/" + std::to_string(schedule_.purpose);
    if (source_.steps_in_call + source_.starts_in_call > 1) Fail("more than one step in one piece of work");
    if (result == SCHEDULE_SHOWN) CheckShown();
    if (result == SCHEDULE_SHOWN) TakeAnimation();
    if (schedule_.animation) Fail("an animation handed over without its picture being shown");
    if (schedule_.decoding_path != may_finish_) may_finish_.clear();
    CheckHeld();
    CheckDecoding();
    return result;
  }

  // As the window does: the animation of the picture shown is taken, and
  // room reserved for its frames.
  void TakeAnimation() {
    bool animates = schedule_.animation == MODEL_ANIMATION || schedule_.shown.first_delay > 0;
    if (schedule_.animation && schedule_.shown.first_delay <= 0) Fail("an animation handed over with a still picture");
    schedule_.animation = nullptr;
    reserve_ = animates ? MODEL_ANIMATION_RESERVE : 0;
    ReserveBytes(&schedule_, reserve_);
  }

  // What is held beyond the shown picture, counted here from the pictures
  // and the decoding themselves, is within the budget; only the decoding of
  // the picture at the position (or of one passed that may finish) is not
  // counted. No picture of a list given up is held, and none past its first
  // frame is kept.
  void CheckHeld() {
    const PictureSchedule& s = schedule_;
    int64_t held = reserve_ + BlockBytes(s.kept.bitmap) + BlockBytes(s.prepared.bitmap) + BlockBytes(s.spare);
    bool asked_for = s.decoding && (s.decoding_path == s.wanted || s.decoding_path == may_finish_);
    if (s.decoding && !asked_for) held += s.decoding->Held();
    if (held > s.budget_bytes) {
      Fail("over the budget: " + std::to_string(held) + " (reserve " + std::to_string(reserve_) + ", kept " +
           std::to_string(BlockBytes(s.kept.bitmap)) + ", prepared " + std::to_string(BlockBytes(s.prepared.bitmap)) +
           ", spare " + std::to_string(BlockBytes(s.spare)) + ", decoding " +
           std::to_string(s.decoding && !asked_for ? s.decoding->Held() : 0) + ") purpose " + std::to_string(s.purpose) +
           " path " + s.decoding_path + " wanted " + s.wanted + " neighbour " + s.neighbour + " shown " + s.shown.path +
           " ledger " + std::to_string(LedgerBytes(&s)));
    }
    if (s.decoding && s.decoding->Held() > s.decoding->Need() * 3 / 2) Fail("a decoding holds more than it needs");
    for (const HeldPicture* picture : {&s.kept, &s.prepared}) {
      if (picture->bitmap && SerialOf(picture->bitmap) <= opened_after_) Fail("a picture of a list given up is held");
    }
    if (s.kept.bitmap && s.kept.first_delay < 0) Fail("an animation past its first frame is kept");
    const ModelDecoding* decoding = dynamic_cast<const ModelDecoding*>(s.decoding);
    int blocks = (s.shown.bitmap ? 1 : 0) + (s.kept.bitmap ? 1 : 0) + (s.prepared.bitmap ? 1 : 0) + (s.spare ? 1 : 0) +
                 (decoding && decoding->HoldsBlock() ? 1 : 0);
    if (blocks > 3) Fail("more than three pictures held");
  }

  // After a piece of work, a decoding is of the picture at the position, of
  // one passed that may finish, or the preparation of the neighbour.
  void CheckDecoding() {
    const PictureSchedule& s = schedule_;
    if (!s.decoding || s.decoding_path == s.wanted || s.decoding_path == may_finish_) return;
    if (s.decoding_path != s.neighbour) Fail("a decoding of " + s.decoding_path + ", neither asked for nor the neighbour");
  }

  // The picture just shown is the one at the position, or one passed that
  // was about to end; it is what its file holds, or held when its decoding
  // started; black only for the position's file that failed.
  void CheckShown() {
    const HeldPicture& shown = schedule_.shown;
    int id = IdOf(shown.path);
    if (id < 0 || id >= FILE_COUNT) return Fail("shown: no file");
    if (shown.path != schedule_.wanted && shown.path != may_finish_) return Fail("shown: a picture passed, " + shown.path);
    const ModelFile& file = source_.files[id];
    if (!shown.bitmap) {
      if (source_.failure_in_call != shown.path) Fail("black shown for a file that did not fail: " + shown.path);
      if (shown.path != schedule_.wanted) Fail("black shown for a position left: " + shown.path);
      return;
    }
    uint32_t pixel = shown.bitmap->Bits()[0];
    if ((pixel >> 16 & 0xFF) != uint32_t(id)) return Fail("shown: the picture of another file");
    bool current = file.exists && (pixel & 0xFFFF) == uint32_t(file.version & 0xFFFF);
    if (!current && !(source_.taken_in_call && source_.taken_changed_during)) {
      Fail("shown: a stale picture of " + shown.path);
    }
  }

  // No more actions: the picture at the position comes at most one decoding
  // after the one under way, and that only when it was about to end.
  void Settle() {
    int shown = 0;
    for (int n = 0; n < 100000; ++n) {
      ScheduleResult result = Work();
      if (result == SCHEDULE_SHOWN) shown += 1;
      if (result == SCHEDULE_IDLE || !failure_.empty()) break;
    }
    if (list_.empty()) return;
    if (shown > 2) Fail("the picture at the position came after " + std::to_string(shown) + " pictures");
    if (PicturePending(&schedule_)) Fail("still pending after settling");
    if (schedule_.shown.path != PathOf(list_[index_])) Fail("the shown picture is not the one at the position");
  }

  ModelSource source_;
  PictureSchedule schedule_;
  std::vector<int> list_;
  int index_ = 0;
  int step_ = 1;
  int64_t reserve_ = 0;          // what the window reserves, as it would
  uint32_t opened_after_ = 0;    // decodings started before the last Open
  std::string may_finish_;       // a picture passed whose decoding may finish and be shown
  std::string failure_;
  // Each action (A and its number) and piece of work (W, its result, the
  // decoding then under way and its purpose), for the failure's message.
  std::string history_;
};

}  // namespace

bool RunScheduleModel(const uint8_t* data, size_t size, std::string* failure) {
  Actions actions{data, size};
  Driver driver;
  return driver.Run(&actions, failure);
}
