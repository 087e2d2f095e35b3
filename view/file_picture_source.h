#pragma once
// The picture files and their decoders as the schedule sees them: the file
// stamp, and the one decoding of every kind in steps of bounded work. Keeps
// the longest step of each kind of file for the benchmark.
#include <cstdint>
#include <string>

#include "imagefiles/picture_decoding.h"
#include "view/picture_schedule.h"

// A step longer than this is counted as too long.
const double LONG_STEP_MS = 5.0;

struct DecodingSteps {
  double longest_ms;
  int64_t count;
  int64_t long_count;   // those longer than LONG_STEP_MS
};

class FilePictureSource : public PictureSource {
public:
  FilePictureSource();
  bool ReadStamp(const std::string& path, FileStamp* stamp) override;
  bool Unchanged(const std::string& path, const FileStamp& stamp) override;
  ScheduledDecoding* StartDecoding(const std::string& path, int64_t max_bytes) override;

  // Steps of each kind since the source was made or last reset.
  DecodingSteps steps[PICTURE_KIND_COUNT];
  void ResetSteps();
};
