#include "view/file_picture_source.h"

#include <chrono>
#include <new>

#include "imagefiles/picture_decoding.h"
#include "raster/bitmap.h"

namespace {

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void NoteStep(DecodingSteps* steps, double ms) {
  if (ms > steps->longest_ms) steps->longest_ms = ms;
  steps->count += 1;
  if (ms > LONG_STEP_MS) steps->long_count += 1;
}

class FileDecoding : public ScheduledDecoding {
public:
  FileDecoding(PictureDecoding* decoding, DecodingSteps* steps) : decoding_(decoding), steps_(steps) {}
  ~FileDecoding() override { AbandonPictureDecoding(decoding_); }
  int64_t Need() const override { return PictureDecodingNeed(decoding_); }
  int64_t Held() const override { return PictureDecodingHeld(decoding_); }
  int64_t PictureSize() const override { return PictureDecodingPictureBytes(decoding_); }
  void GiveMemory(Bitmap* memory) override { GivePictureDecodingMemory(decoding_, memory); }
  int Step() override {
    double start = NowMs();
    int result = StepPictureDecoding(decoding_);
    NoteStep(steps_, NowMs() - start);
    return result;
  }
  int64_t RemainingWork() const override { return PictureDecodingRemainingWork(decoding_); }
  Bitmap* TakePicture(int* first_delay, GifFrameReader** animation) override {
    Bitmap* picture = TakeDecodedPicture(decoding_, first_delay, animation);
    decoding_ = nullptr;
    return picture;
  }

private:
  PictureDecoding* decoding_;  // owned; null once its picture is taken
  DecodingSteps* steps_;
};

}  // namespace

FilePictureSource::FilePictureSource() { ResetSteps(); }

void FilePictureSource::ResetSteps() {
  for (DecodingSteps& kind : steps) kind = DecodingSteps{0.0, 0, 0};
}

bool FilePictureSource::ReadStamp(const std::string& path, FileStamp* stamp) {
  return ReadFileStamp(path.c_str(), stamp);
}

bool FilePictureSource::Unchanged(const std::string& path, const FileStamp& stamp) {
  FileStamp now;
  return ReadFileStamp(path.c_str(), &now) && SameFileStamp(now, stamp);
}

ScheduledDecoding* FilePictureSource::StartDecoding(const std::string& path, int64_t max_bytes) {
  double start = NowMs();
  PictureDecoding* decoding = StartPictureDecoding(path.c_str(), max_bytes);
  DecodingSteps* kind = &steps[PictureKindOf(path.c_str())];
  NoteStep(kind, NowMs() - start);
  if (!decoding) return nullptr;
  ScheduledDecoding* scheduled = new (std::nothrow) FileDecoding(decoding, kind);
  if (!scheduled) AbandonPictureDecoding(decoding);
  return scheduled;
}
