#include "view/image_effects.h"

#include <cmath>

#include "raster/blitting.h"
#include "raster/cpu_features.h"
#include "view/image_effects_kernels.h"

namespace {

const uint32_t OPAQUE_BLACK = 0xFF000000;

// Single-precision quarter, half and three-quarter turns.
const float ANGLE_90 = 1.5707964f;
const float ANGLE_180 = 3.1415927f;
const float ANGLE_270 = 4.712389f;

// ---- Log transformation table ----------------------------------------------------

struct LogTable {
  uint8_t value[256];
  LogTable() {
    const double k = 255.0 / std::log(256.0);
    for (int c = 0; c < 256; ++c) value[c] = static_cast<uint8_t>(static_cast<int>(std::log(c + 1.0) * k));
  }
};

const LogTable& GetLogTable() {
  static const LogTable table;
  return table;
}

uint32_t LogTransform(uint32_t pixel, const uint8_t* t) {
  return (pixel & ALPHA_MASK) | static_cast<uint32_t>(t[(pixel >> 16) & 0xFF]) << 16 |
         static_cast<uint32_t>(t[(pixel >> 8) & 0xFF]) << 8 | t[pixel & 0xFF];
}

// ---- Illinify reciprocals ---------------------------------------------------------

// t[0] = 0 and t[x] = 65536 / x - 1: 16-bit reciprocals that turn the hue and
// saturation divisions into multiplications.
struct ReciprocalTable {
  int value[256];
  ReciprocalTable() {
    value[0] = 0;
    for (int x = 1; x < 256; ++x) value[x] = 65536 / x - 1;
  }
};

const ReciprocalTable& GetReciprocalTable() {
  static const ReciprocalTable table;
  return table;
}

uint32_t Illinify(uint32_t pixel, const int* t) {
  int r = (pixel >> 16) & 0xFF;
  int g = (pixel >> 8) & 0xFF;
  int b = pixel & 0xFF;
  // Hue on a circle of 384 steps (0 red, 128 green, 256 blue) and saturation 0..255.
  int v, delta, h;
  if (g > r) {
    if (g > b) {
      v = g;
      delta = g - (b < r ? b : r);
      h = 128 + (b - r) * (t[delta] + 1) / 1024;
    } else {
      v = b;
      delta = b - r;
      h = 256 + (r - g) * (t[delta] + 1) / 1024;
    }
  } else if (r > b) {
    v = r;
    if (g < b) {
      delta = r - g;
      h = 383 + (g - b) * (t[delta] + 1) / 1024;
    } else {
      delta = r - b;
      h = (g - b) * (t[delta] + 1) / 1024;
    }
  } else {
    v = b;
    delta = b - (r < g ? r : g);
    h = 256 + (r - g) * (t[delta] + 1) / 1024;
  }
  int s = delta * t[v] / 256;
  int red, green, blue;
  if (h >= 114 && h <= 293) {
    // Greens, cyans and blues turn blue.
    red = (256 - s) * v / 256;
    green = (16384 - 24 * s) * v / 16384;
    blue = v;
  } else {
    // Reds, yellows and magentas turn orange.
    red = v;
    green = (16384 - 53 * s) * v / 16384;
    blue = (256 - s) * v / 256;
  }
  return (pixel & ALPHA_MASK) | static_cast<uint32_t>(red << 16 | green << 8 | blue);
}

// ---- Scalar spans and the kernel table ------------------------------------------------------

void LogTransformationSpanScalar(uint32_t* p, int count, void*) {
  const uint8_t* t = GetLogTable().value;
  for (int i = 0; i < count; ++i) p[i] = LogTransform(p[i], t);
}

}  // namespace

void BlackAndWhiteSpanScalar(uint32_t* p, int count, void*) {
  for (int i = 0; i < count; ++i) BlackAndWhitePixel(p + i, nullptr);
}

void NegativeSpanScalar(uint32_t* p, int count, void*) {
  for (int i = 0; i < count; ++i) p[i] ^= 0x00FFFFFF;
}

void IllinifySpanScalar(uint32_t* p, int count, void*) {
  const int* t = GetReciprocalTable().value;
  for (int i = 0; i < count; ++i) p[i] = Illinify(p[i], t);
}

const uint8_t* LogTransformationTable() { return GetLogTable().value; }

namespace {

constexpr EffectKernels SCALAR_KERNELS = {BlackAndWhiteSpanScalar, NegativeSpanScalar, LogTransformationSpanScalar,
                                          IllinifySpanScalar, nullptr, nullptr};

// Holds the scalar kernels from the start (constant initialisation), so that
// it works even before the registration below has filled it for the processor.
EffectKernels kernels = SCALAR_KERNELS;

void FillEffectKernels(SimdLevel level) {
  EffectKernels table = SCALAR_KERNELS;
#ifdef VISTREL_X86_KERNELS
  if (level >= SIMD_SSE2) InstallEffectKernelsSse2(&table);
  if (level >= SIMD_AVX2) InstallEffectKernelsAvx2(&table);
  if (level >= SIMD_AVX512) InstallEffectKernelsAvx512(&table);
#endif
  kernels = table;
}

[[maybe_unused]] const bool kernels_registered = RegisterKernelTable(FillEffectKernels);

// ---- Mirroring in place ----------------------------------------------------------------

// The mirrored copy of a W x H frame onto itself cleared takes destination
// column x from column W - x and leaves column 0 black (row y from H - y and
// row 0 for the vertical flip): the same pixels come from swapping in place,
// without the copy and the clear. Exact while W and H are exact as floats.
bool MirrorsExactlyInPlace(Bitmap* frame) {
  return frame && frame->Bits() && frame->Width() > 0 && frame->Height() > 0 && frame->Width() < (1 << 24) &&
         frame->Height() < (1 << 24);
}

void MirrorRowsInPlace(Bitmap* frame) {
  int w = frame->Width(), h = frame->Height(), span = frame->RowSpan();
  uint32_t* bits = frame->Bits();
  for (int y = 1; y < h - y; ++y)
    kernels.swap_pixels(bits + static_cast<size_t>(y) * span, bits + static_cast<size_t>(h - y) * span, w);
  for (int x = 0; x < w; ++x) bits[x] = OPAQUE_BLACK;
}

void MirrorColumnsInPlace(Bitmap* frame) {
  int w = frame->Width(), h = frame->Height(), span = frame->RowSpan();
  for (int y = 0; y < h; ++y) {
    uint32_t* row = frame->Bits() + static_cast<size_t>(y) * span;
    kernels.reverse_pixels(row + 1, w - 1);
    row[0] = OPAQUE_BLACK;
  }
}

// The frame copied into scratch and cleared, ready to be drawn back; false
// when there is nothing to draw from.
bool PrepareRedraw(Bitmap* frame, Bitmap* scratch) {
  if (!frame || !scratch || !frame->Bits()) return false;
  CopyBitmap(scratch, frame);
  ClearBitmap(frame, OPAQUE_BLACK);
  return true;
}

}  // namespace

// ---- Pixel functions --------------------------------------------------------------------

void BlackAndWhitePixel(uint32_t* pixel, void* context) {
  uint32_t p = *pixel;
  uint32_t gray = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
  *pixel = (p & ALPHA_MASK) | gray << 16 | gray << 8 | gray;
}

void NegativePixel(uint32_t* pixel, void* context) {
  uint32_t p = *pixel;
  uint32_t r = 255 - ((p >> 16) & 0xFF), g = 255 - ((p >> 8) & 0xFF), b = 255 - (p & 0xFF);
  *pixel = (p & ALPHA_MASK) | r << 16 | g << 8 | b;
}

void LogTransformationPixel(uint32_t* pixel, void* context) { *pixel = LogTransform(*pixel, GetLogTable().value); }

void IllinifyPixel(uint32_t* pixel, void* context) { *pixel = Illinify(*pixel, GetReciprocalTable().value); }

// ---- Effects ------------------------------------------------------------------------------

void ApplyBlackAndWhite(Bitmap* frame, int x, int y, int width, int height) {
  ApplyToRectSpans(frame, x, y, width, height, kernels.black_and_white, nullptr);
}

void ApplyNegative(Bitmap* frame, int x, int y, int width, int height) {
  ApplyToRectSpans(frame, x, y, width, height, kernels.negative, nullptr);
}

void ApplyLogTransformation(Bitmap* frame, int x, int y, int width, int height) {
  ApplyToRectSpans(frame, x, y, width, height, kernels.log_transformation, nullptr);
}

void ApplyIllinify(Bitmap* frame, int x, int y, int width, int height) {
  ApplyToRectSpans(frame, x, y, width, height, kernels.illinify, nullptr);
}

void ApplyBlur(Bitmap* frame) {
  if (!frame) return;
  BlurBitmap(frame, frame, frame->Width(), frame->Height());
}

// A mirrored copy: destination row 0 samples just outside the source and stays
// black, row y takes source row H - y.
void ApplyFlipVertically(Bitmap* frame, Bitmap* scratch) {
  if (kernels.swap_pixels && MirrorsExactlyInPlace(frame)) return MirrorRowsInPlace(frame);
  if (!PrepareRedraw(frame, scratch)) return;
  int w = frame->Width(), h = frame->Height();
  float sw = static_cast<float>(scratch->Width()), sh = static_cast<float>(scratch->Height());
  StretchBlitBitmap(frame, scratch, 0, h, w, -h, 0.0f, 0.0f, sw, sh, 1.0f, BLEND_COPY);
}

void ApplyFlipHorizontally(Bitmap* frame, Bitmap* scratch) {
  if (kernels.reverse_pixels && MirrorsExactlyInPlace(frame)) return MirrorColumnsInPlace(frame);
  if (!PrepareRedraw(frame, scratch)) return;
  int w = frame->Width(), h = frame->Height();
  float sw = static_cast<float>(scratch->Width()), sh = static_cast<float>(scratch->Height());
  StretchBlitBitmap(frame, scratch, w, 0, -w, h, 0.0f, 0.0f, sw, sh, 1.0f, BLEND_COPY);
}

void ApplyRotation(Bitmap* frame, Bitmap* scratch, int degrees) {
  float angle;
  switch (degrees) {
    case 90: angle = ANGLE_90; break;
    case 180: angle = ANGLE_180; break;
    case 270: angle = ANGLE_270; break;
    default: return;
  }
  if (!PrepareRedraw(frame, scratch)) return;
  int w = frame->Width(), h = frame->Height();
  float sw = static_cast<float>(scratch->Width()), sh = static_cast<float>(scratch->Height());
  RotateBlitBitmap(frame, scratch, 0, 0, w, h, 0.0f, 0.0f, sw, sh, angle, true, 1.0f, BLEND_COPY, 0.0f, 0.0f);
}

void ApplyEffects(Bitmap* frame, Bitmap* scratch, int x, int y, int width, int height, const EffectSwitches& effects) {
  if (effects.black_and_white) ApplyBlackAndWhite(frame, x, y, width, height);
  if (effects.blur) ApplyBlur(frame);
  if (effects.flip_vertically) ApplyFlipVertically(frame, scratch);
  if (effects.flip_horizontally) ApplyFlipHorizontally(frame, scratch);
  if (effects.negative) ApplyNegative(frame, x, y, width, height);
  if (effects.log_transformation) ApplyLogTransformation(frame, x, y, width, height);
  if (effects.illinify) ApplyIllinify(frame, x, y, width, height);
  if (effects.rotation != 0) ApplyRotation(frame, scratch, effects.rotation);
}
