#include "tests/view/picture_schedule_model.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "raster/memory_bitmap.h"
#include "view/picture_schedule.h"

namespace {

const int FILE_COUNT = 6;
// Small pictures and a small budget: a picture takes up to 40 KB with its
// working memory, the budget 32 KB, so that keeping, preparing and refusing
// all happen.
const int64_t MODEL_BUDGET = 32 * 1024;

// What a file holds: the picture it decodes to and how its decoding goes.
struct ModelFile {
  bool exists;
  int version;      // changes with every rewrite
  int width, height;
  int steps;        // steps its decoding takes
  int fail_at;      // the step that fails (0: none); -1: refused at the start
  int working;      // bytes of working memory beside the picture
};

std::string PathOf(int id) { return "f" + std::to_string(id) + ".jpg"; }
int IdOf(const std::string& path) { return path.size() > 1 ? path[1] - '0' : -1; }

uint32_t PixelOf(int id, int version) { return 0xFF000000u | uint32_t(id) << 16 | uint32_t(version & 0xFFFF); }

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
  void GiveMemory(Bitmap* memory) override;
  int Step() override;
  Bitmap* TakePicture(int* first_delay, GifFrameReader** animation) override;

  int id_;
  ModelFile file_;
  bool changed_during_ = false;

private:
  ModelSource* source_;
  Bitmap* bitmap_ = nullptr;
  int done_steps_ = 0;
};

struct ModelSource : public PictureSource {
  ModelFile files[FILE_COUNT];
  std::set<ModelDecoding*> alive;
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
  return 1;
}

Bitmap* ModelDecoding::TakePicture(int* first_delay, GifFrameReader** animation) {
  *first_delay = 0;
  if (animation) *animation = nullptr;
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
    for (int id = 0; id < FILE_COUNT; ++id) source_.files[id] = ModelFile{true, 1, 16 + 8 * id, 16 + 6 * id, 1 + id, 0, 0};
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
    if (failure_.empty()) failure_ = what;
  }

  std::string Neighbour() const {
    int count = static_cast<int>(list_.size());
    int index = index_ + step_;
    if (index < 0 || index >= count) index = index_ - step_;
    if (index < 0 || index >= count) return std::string();
    return PathOf(list_[index]);
  }

  void Want() { WantPicture(&schedule_, PathOf(list_[index_]), Neighbour()); }

  void Act(Actions* actions) {
    switch (actions->Next(9)) {
      case 0: {  // Open one to five files
        int count = 1 + actions->Next(5);
        list_.clear();
        for (int i = 0; i < count; ++i) list_.push_back(actions->Next(FILE_COUNT));
        index_ = 0;
        step_ = 1;
        ForgetPictures(&schedule_);
        if (schedule_.kept.bitmap || schedule_.prepared.bitmap) Fail("a picture of the old list is held");
        Want();
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
        file.width = 1 + actions->Next(100);
        file.height = 1 + actions->Next(60);
        file.steps = 1 + actions->Next(12);
        file.working = actions->Next(4) * 2048;
        file.exists = true;
        int failing = actions->Next(8);
        file.fail_at = failing == 0 ? -1 : failing == 1 ? 1 + actions->Next(file.steps) : 0;
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
      case 8:  // an animation's reserve comes and goes
        ReserveBytes(&schedule_, actions->Next(3) * 4096);
        break;
    }
    CheckLedger();
  }

  ScheduleResult Work() {
    source_.steps_in_call = 0;
    source_.starts_in_call = 0;
    source_.failure_in_call.clear();
    source_.taken_in_call = false;
    ScheduleResult result = DoScheduledWork(&schedule_);
    if (source_.steps_in_call + source_.starts_in_call > 1) Fail("more than one step in one piece of work");
    if (result == SCHEDULE_SHOWN) CheckShown();
    CheckLedger();
    return result;
  }

  void CheckLedger() {
    int64_t ledger = LedgerBytes(&schedule_);
    if (ledger > schedule_.budget_bytes) Fail("the ledger is over the budget: " + std::to_string(ledger));
    if (schedule_.decoding && schedule_.decoding->Held() > schedule_.decoding->Need() * 3 / 2) {
      Fail("a decoding holds more than it needs");
    }
  }

  // The picture just shown is what its file holds, or held when its decoding
  // started; black only for a file that failed.
  void CheckShown() {
    const HeldPicture& shown = schedule_.shown;
    int id = IdOf(shown.path);
    if (id < 0 || id >= FILE_COUNT) return Fail("shown: no file");
    const ModelFile& file = source_.files[id];
    if (!shown.bitmap) {
      if (source_.failure_in_call != shown.path) Fail("black shown for a file that did not fail: " + shown.path);
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
  // after the one under way.
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
  std::string failure_;
};

}  // namespace

bool RunScheduleModel(const uint8_t* data, size_t size, std::string* failure) {
  Actions actions{data, size};
  Driver driver;
  return driver.Run(&actions, failure);
}
