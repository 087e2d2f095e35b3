// Speed of the picture view's paint pipeline, each figure beside a memcpy of
// the same frame measured in the same run.
//
//   raster_bench [--benchmark_min_time=0.2]   (Google Benchmark options apply)

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "raster/blitting.h"
#include "raster/cpu_features.h"
#include "raster/memory_bitmap.h"
#include "view/image_effects.h"

namespace {

const uint32_t OPAQUE_BLACK = 0xFF000000;
const int PICTURE_WIDTH = 6000;
const int PICTURE_HEIGHT = 4000;

struct FrameSize {
  const char* name;
  int width;
  int height;
};
const FrameSize FRAME_SIZES[] = {{"1920x1080", 1920, 1080}, {"3840x2160", 3840, 2160}};

// A photograph-like picture: smooth gradients with some noise, every hue.
MemoryBitmap* MakePicture() {
  MemoryBitmap* picture = new MemoryBitmap(PICTURE_WIDTH, PICTURE_HEIGHT);
  uint32_t seed = 12345;
  for (int y = 0; y < PICTURE_HEIGHT; ++y) {
    uint32_t* row = picture->Bits() + static_cast<size_t>(y) * picture->RowSpan();
    for (int x = 0; x < PICTURE_WIDTH; ++x) {
      seed = seed * 1664525u + 1013904223u;
      uint32_t noise = seed >> 28;
      uint32_t r = (x * 255 / PICTURE_WIDTH + noise) & 0xFF;
      uint32_t g = (y * 255 / PICTURE_HEIGHT + noise) & 0xFF;
      uint32_t b = ((x + y) * 255 / (PICTURE_WIDTH + PICTURE_HEIGHT) + 2 * noise) & 0xFF;
      row[x] = OPAQUE_BLACK | r << 16 | g << 8 | b;
    }
  }
  return picture;
}

// The picture fitted into the frame, touching two opposite edges and centred.
struct Fit {
  int x, y, width, height;
};

Fit FitPicture(int frame_width, int frame_height, int picture_width, int picture_height) {
  double rw = static_cast<double>(frame_width) / frame_height;
  double ri = static_cast<double>(picture_width) / picture_height;
  Fit fit;
  if (rw - ri > std::max(std::abs(ri), std::abs(rw)) * 2.220446049250313e-16) {
    fit.height = frame_height;
    fit.width = picture_width * frame_height / picture_height;
  } else {
    fit.width = frame_width;
    fit.height = picture_height * frame_width / picture_width;
  }
  fit.x = (frame_width - fit.width) / 2;
  fit.y = (frame_height - fit.height) / 2;
  return fit;
}

MemoryBitmap* picture = nullptr;

struct Context {
  MemoryBitmap frame;
  MemoryBitmap scratch;
  MemoryBitmap copy;
  Fit fit;
};

void Compose(Context& c) {
  ClearBitmap(&c.frame, OPAQUE_BLACK);
  StretchBlitBitmap(&c.frame, picture, c.fit.x, c.fit.y, c.fit.width, c.fit.height, 0.0f, 0.0f,
                    static_cast<float>(PICTURE_WIDTH), static_cast<float>(PICTURE_HEIGHT), 1.0f, BLEND_COPY);
}

typedef void (*Operation)(Context& c);

struct Case {
  const char* name;
  Operation operation;
  bool has_scalar;  // also measured with the vector paths turned off
};

const Case CASES[] = {
    {"memcpy of the frame",
     [](Context& c) {
       std::memcpy(c.copy.Bits(), c.frame.Bits(), static_cast<size_t>(c.frame.RowSpan()) * c.frame.Height() * 4);
     },
     false},
    {"StretchBlit 6000x4000 fitted",
     [](Context& c) {
       StretchBlitBitmap(&c.frame, picture, c.fit.x, c.fit.y, c.fit.width, c.fit.height, 0.0f, 0.0f,
                         static_cast<float>(PICTURE_WIDTH), static_cast<float>(PICTURE_HEIGHT), 1.0f, BLEND_COPY);
     },
     true},
    {"pixman nearest 6000x4000 fitted",
     [](Context& c) {
       pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, PICTURE_WIDTH, PICTURE_HEIGHT, picture->Bits(),
                                                      picture->RowSpan() * 4);
       pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, c.frame.Width(), c.frame.Height(),
                                                      c.frame.Bits(), c.frame.RowSpan() * 4);
       pixman_transform_t transform;
       pixman_transform_init_scale(&transform, pixman_double_to_fixed(double(PICTURE_WIDTH) / c.fit.width),
                                   pixman_double_to_fixed(double(PICTURE_HEIGHT) / c.fit.height));
       pixman_image_set_transform(src, &transform);
       pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
       pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, c.fit.x, c.fit.y, c.fit.width,
                                c.fit.height);
       pixman_image_unref(src);
       pixman_image_unref(dst);
     },
     false},
    {"ClearBitmap", [](Context& c) { ClearBitmap(&c.frame, OPAQUE_BLACK); }, true},
    {"BlurBitmap in place", [](Context& c) { ApplyBlur(&c.frame); }, true},
    {"black and white",
     [](Context& c) { ApplyBlackAndWhite(&c.frame, c.fit.x, c.fit.y, c.fit.width, c.fit.height); }, true},
    {"negative", [](Context& c) { ApplyNegative(&c.frame, c.fit.x, c.fit.y, c.fit.width, c.fit.height); }, true},
    {"log transformation",
     [](Context& c) { ApplyLogTransformation(&c.frame, c.fit.x, c.fit.y, c.fit.width, c.fit.height); }, true},
    {"Illinify", [](Context& c) { ApplyIllinify(&c.frame, c.fit.x, c.fit.y, c.fit.width, c.fit.height); }, true},
    {"flip vertically", [](Context& c) { ApplyFlipVertically(&c.frame, &c.scratch); }, true},
    {"flip horizontally", [](Context& c) { ApplyFlipHorizontally(&c.frame, &c.scratch); }, true},
    {"rotation 90", [](Context& c) { ApplyRotation(&c.frame, &c.scratch, 90); }, true},
    {"frame, no effect", [](Context& c) { Compose(c); }, true},
    {"frame, all effects",
     [](Context& c) {
       Compose(c);
       EffectSwitches all;
       all.black_and_white = all.blur = all.flip_vertically = all.flip_horizontally = true;
       all.negative = all.log_transformation = all.illinify = true;
       all.rotation = 90;
       ApplyEffects(&c.frame, &c.scratch, c.fit.x, c.fit.y, c.fit.width, c.fit.height, all);
     },
     true},
};

void RunCase(benchmark::State& state, const Case* which, const FrameSize* size, SimdLevel level) {
  SetSimdLevel(level);
  Context c;
  c.frame.Resize(size->width, size->height);
  c.scratch.Resize(size->width, size->height);
  c.copy.Resize(size->width, size->height);
  c.fit = FitPicture(size->width, size->height, PICTURE_WIDTH, PICTURE_HEIGHT);
  Compose(c);
  for (auto _ : state) {
    which->operation(c);
    benchmark::DoNotOptimize(c.frame.Bits());
    benchmark::ClobberMemory();
  }
  SetSimdLevel(DetectedSimdLevel());
}

// Keeps every measured time to print the table of ratios at the end.
class TableReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> milliseconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        milliseconds[run.run_name.function_name] = run.real_accumulated_time * 1000.0 / run.iterations;
    ConsoleReporter::ReportRuns(runs);
  }
};

std::string Key(const Case& c, const FrameSize& size, bool scalar) {
  return std::string(c.name) + "/" + size.name + (scalar ? "/scalar" : "/fast");
}

const char* LevelName(SimdLevel level) {
  switch (level) {
    case SIMD_AVX512: return "AVX-512 (VBMI)";
    case SIMD_AVX2: return "AVX2";
    case SIMD_SSE2: return "SSE2";
    default: return "scalar";
  }
}

}  // namespace

int main(int argc, char** argv) {
  picture = MakePicture();
  SimdLevel fastest = DetectedSimdLevel();
  for (const FrameSize& size : FRAME_SIZES)
    for (const Case& c : CASES)
      for (int scalar = 0; scalar <= (c.has_scalar ? 1 : 0); ++scalar)
        benchmark::RegisterBenchmark(Key(c, size, scalar != 0).c_str(), RunCase, &c, &size,
                                     scalar ? SIMD_SCALAR : fastest)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nMilliseconds per frame and ratio to the memcpy of the same frame (vector paths: %s)\n\n",
              LevelName(fastest));
  std::printf("%-34s", "");
  for (const FrameSize& size : FRAME_SIZES) std::printf(" | %-37s", size.name);
  std::printf("\n%-34s", "operation");
  for (size_t i = 0; i < sizeof(FRAME_SIZES) / sizeof(FRAME_SIZES[0]); ++i)
    std::printf(" | %8s %7s %10s %9s", "ms", "x memcpy", "scalar ms", "x memcpy");
  std::printf("\n");
  for (const Case& c : CASES) {
    std::printf("%-34s", c.name);
    for (const FrameSize& size : FRAME_SIZES) {
      double base = reporter.milliseconds[Key(CASES[0], size, false)];
      double fast = reporter.milliseconds[Key(c, size, false)];
      std::printf(" | %8.3f %7.2fx", fast, base > 0 ? fast / base : 0.0);
      if (c.has_scalar) {
        double scalar = reporter.milliseconds[Key(c, size, true)];
        std::printf(" %10.3f %8.2fx", scalar, base > 0 ? scalar / base : 0.0);
      } else {
        std::printf(" %10s %9s", "", "");
      }
    }
    std::printf("\n");
  }
  delete picture;
  return 0;
}
