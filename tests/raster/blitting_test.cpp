#include "raster/blitting.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "raster/cpu_features.h"
#include "raster/memory_bitmap.h"

namespace {

const uint32_t BLACK = 0xFF000000;

// A distinct value for every pixel position.
uint32_t Marker(int x, int y) { return 0x80000000u | static_cast<uint32_t>(y) << 12 | static_cast<uint32_t>(x); }

// Markers in the pixels, zero in the padding after each row.
void FillMarkers(Bitmap* bitmap) {
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->RowSpan(); ++x)
      bitmap->Bits()[y * bitmap->RowSpan() + x] = x < bitmap->Width() ? Marker(x, y) : 0;
}

// Every stored pixel, the padding included, set to one value.
void Blank(Bitmap* bitmap, uint32_t value) {
  for (size_t i = 0; i < static_cast<size_t>(bitmap->RowSpan()) * bitmap->Height(); ++i) bitmap->Bits()[i] = value;
}

// Fills every stored pixel, the padding after each row included.
void FillRandom(Bitmap* bitmap, std::mt19937& rng) {
  size_t n = static_cast<size_t>(bitmap->RowSpan()) * bitmap->Height();
  for (size_t i = 0; i < n; ++i) bitmap->Bits()[i] = rng();
}

uint32_t At(Bitmap* bitmap, int x, int y) { return bitmap->Bits()[y * bitmap->RowSpan() + x]; }

// Compares all stored pixels, padding included; reports the first difference.
::testing::AssertionResult SameStorage(Bitmap* a, Bitmap* b) {
  if (a->Width() != b->Width() || a->Height() != b->Height() || a->RowSpan() != b->RowSpan())
    return ::testing::AssertionFailure() << "sizes differ";
  for (int y = 0; y < a->Height(); ++y)
    for (int x = 0; x < a->RowSpan(); ++x)
      if (At(a, x, y) != At(b, x, y))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << At(a, x, y)
                                             << " instead of " << At(b, x, y);
  return ::testing::AssertionSuccess();
}

void CopyStorage(Bitmap* dest, Bitmap* src) {
  dest->Resize(src->Width(), src->Height());
  std::memcpy(dest->Bits(), src->Bits(), static_cast<size_t>(src->RowSpan()) * src->Height() * 4);
}

std::vector<SimdLevel> AllLevels() {
  std::vector<SimdLevel> levels;
  for (int level = SIMD_SCALAR; level <= DetectedSimdLevel(); ++level) levels.push_back(static_cast<SimdLevel>(level));
  return levels;
}

// Restores the detected level after a test that lowered it.
struct LevelGuard {
  ~LevelGuard() { SetSimdLevel(DetectedSimdLevel()); }
};

// ---- References written straight from the definitions, pixel by pixel ----------------

void ReferenceBlit(Bitmap* dest, Bitmap* src, int64_t dstx, int64_t dsty, const BlitRect* rect) {
  int64_t sw = src->Width(), sh = src->Height(), sx = 0, sy = 0;
  if (rect) {
    sw = std::min<int64_t>(sw, rect->right);
    sh = std::min<int64_t>(sh, rect->bottom);
    if (rect->left < 0) dstx -= rect->left; else sx = rect->left;
    if (rect->top < 0) dsty -= rect->top; else sy = rect->top;
  }
  for (int64_t y = 0; y < dest->Height(); ++y)
    for (int64_t x = 0; x < dest->Width(); ++x) {
      int64_t u = sx + (x - dstx), v = sy + (y - dsty);
      if (x >= dstx && y >= dsty && u >= sx && v >= sy && u < sw && v < sh && u >= 0 && v >= 0)
        dest->Bits()[y * dest->RowSpan() + x] = src->Bits()[v * src->RowSpan() + u];
    }
}

// The nearest-neighbour scaled copy at full opacity, step by step: mirroring,
// clipping, skipping, window origin and the per-pixel window test.
void ReferenceStretch(Bitmap* dest, Bitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx, float srcy,
                      float srcw, float srch) {
  if (dstw == 0 || dsth == 0) return;
  if (std::fabs(srcw - static_cast<float>(dstw)) < 0.001f && std::fabs(srch - static_cast<float>(dsth)) < 0.001f) {
    BlitRect rect;
    rect.left = static_cast<int>(srcx + 0.5);
    rect.top = static_cast<int>(srcy + 0.5);
    rect.right = rect.left + static_cast<int>(srcw + 0.5);
    rect.bottom = rect.top + static_cast<int>(srch + 0.5);
    ReferenceBlit(dest, src, dstx, dsty, &rect);
    return;
  }
  int64_t x0 = dstx, y0 = dsty, w = dstw, h = dsth;
  if (w < 0) { w = -w; x0 -= w; srcx += srcw; srcw = -srcw; }
  if (h < 0) { h = -h; y0 -= h; srcy += srch; srch = -srch; }
  float xs = srcw / static_cast<float>(w), ys = srch / static_cast<float>(h);
  int64_t right = std::min<int64_t>(src->Width(), static_cast<int64_t>(std::max(srcw, 0.0f) + srcx + 0.999999));
  int64_t bottom = std::min<int64_t>(src->Height(), static_cast<int64_t>(std::max(srch, 0.0f) + srcy + 0.999999));
  if (x0 < 0) { srcx -= x0 * xs; w += x0; x0 = 0; }
  if (y0 < 0) { srcy -= y0 * ys; h += y0; y0 = 0; }
  if (w < 1 || h < 1 || x0 >= dest->Width() || y0 >= dest->Height()) return;
  w = std::min<int64_t>(w, dest->Width() - x0);
  h = std::min<int64_t>(h, dest->Height() - y0);
  int64_t dx = static_cast<int64_t>(std::floor(xs * 65536.0f)), dy = static_cast<int64_t>(std::floor(ys * 65536.0f));
  int64_t sx = static_cast<int64_t>(std::floor(srcx * 65536.0f)), sy = static_cast<int64_t>(std::floor(srcy * 65536.0f));
  if (dx > 0 && sx < 0) {
    int64_t skip = (-sx + dx - 1) / dx;
    x0 += skip; w -= skip; sx += skip * dx;
  }
  if (dy > 0 && sy < 0) {
    int64_t skip = (-sy + dy - 1) / dy;
    y0 += skip; h -= skip; sy += skip * dy;
  }
  if (w <= 0 || h <= 0) return;
  int64_t left = (sx + (dx < 0 ? w * dx : 0)) / 65536, top = (sy + (dy < 0 ? h * dy : 0)) / 65536;
  if (left < 0) { if (dx > 0) return; left = 0; }
  if (top < 0) { if (dy > 0) return; top = 0; }
  sx -= left * 65536;
  sy -= top * 65536;
  int64_t window_width = right - left, window_height = bottom - top;
  for (int64_t i = 0; i < h; ++i) {
    int64_t r = (sy + i * dy) >> 16;
    if (r < 0 || r >= window_height) continue;
    for (int64_t j = 0; j < w; ++j) {
      int64_t c = (sx + j * dx) >> 16;
      if (c < 0 || c >= window_width) continue;
      dest->Bits()[(y0 + i) * dest->RowSpan() + x0 + j] = src->Bits()[(top + r) * src->RowSpan() + left + c];
    }
  }
}

void ReferenceRotate(Bitmap* dest, Bitmap* src, int dstw, int dsth, float srcx, float srcy, float srcw, float srch,
                     float angle, float cx, float cy) {
  if (dstw == 0 || dsth == 0) return;
  int64_t left = static_cast<int64_t>(std::max(srcx, 0.0f)), top = static_cast<int64_t>(std::max(srcy, 0.0f));
  int64_t right = static_cast<int64_t>(std::min(srcx + srcw, static_cast<float>(src->Width())));
  int64_t bottom = static_cast<int64_t>(std::min(srcy + srch, static_cast<float>(src->Height())));
  float c = std::cos(angle), s = std::sin(angle);
  float dsdx = (srcw / dstw) * c, dtdx = -(srch / dsth) * s, dsdy = (srcw / dstw) * s, dtdy = (srch / dsth) * c;
  double sx0 = srcx - ((dstw * dsdx + dsth * dsdy - srcw) * 0.5 - cx);
  double sy0 = srcy - ((dsth * dtdy + dstw * dtdx - srch) * 0.5 - cy);
  int64_t w = std::min(dstw, dest->Width()), h = std::min(dsth, dest->Height());
  if (right <= left || bottom <= top) return;
  int64_t S = static_cast<int64_t>((sx0 - left) * 65536), T = static_cast<int64_t>((sy0 - top) * 65536);
  int64_t sdx = static_cast<int64_t>(dsdx * 65536.0f), tdx = static_cast<int64_t>(dtdx * 65536.0f);
  int64_t sdy = static_cast<int64_t>(dsdy * 65536.0f), tdy = static_cast<int64_t>(dtdy * 65536.0f);
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x) {
      int64_t column = (S + x * sdx + y * sdy) >> 16, row = (T + x * tdx + y * tdy) >> 16;
      if (column >= 0 && column < right - left && row >= 0 && row < bottom - top)
        dest->Bits()[y * dest->RowSpan() + x] = src->Bits()[(top + row) * src->RowSpan() + left + column];
    }
}

void ReferenceFill(Bitmap* dest, int64_t x0, int64_t y0, int64_t w, int64_t h, uint32_t colour) {
  for (int64_t y = std::max<int64_t>(y0, 0); y < std::min<int64_t>(y0 + h, dest->Height()); ++y)
    for (int64_t x = std::max<int64_t>(x0, 0); x < std::min<int64_t>(x0 + w, dest->Width()); ++x)
      dest->Bits()[y * dest->RowSpan() + x] = colour;
}

// The blur by its table of weights.
void ReferenceBlur(Bitmap* dest, Bitmap* src, int width, int height) {
  int w = std::min(std::min(width, src->Width()), dest->Width());
  int h = std::min(std::min(height, src->Height()), dest->Height());
  if (std::min(width, src->Width()) < 1 || std::min(height, src->Height()) < 1 || w < 2 || h < 2) return;
  MemoryBitmap copy;
  CopyStorage(&copy, src);
  auto p = [&](int x, int y) { return At(&copy, x, y); };
  auto part = [](uint32_t v, int shift) { return (v >> shift) & (0xFFu >> shift) * 0x01010101u; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t sum = part(p(x, y), 1);
      if (x == 0) sum += part(p(x + 1, y), 2);
      else if (x == w - 1) sum += part(p(x - 1, y), 2);
      else sum += part(p(x - 1, y), 3) + part(p(x + 1, y), 3);
      if (y == 0) sum += part(p(x, y + 1), 2);
      else if (y == h - 1) sum += part(p(x, y - 1), 2);
      else sum += part(p(x, y - 1), 3) + part(p(x, y + 1), 3);
      dest->Bits()[y * dest->RowSpan() + x] = sum;
    }
}

}  // namespace

// ---- Clear, fill and single pixels --------------------------------------------------

TEST(BlittingTest, ClearLeavesTheRowPadding) {
  MemoryBitmap bitmap(5, 3);
  std::memset(bitmap.Bits(), 0x11, 8 * 3 * 4);
  ClearBitmap(&bitmap, BLACK);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(At(&bitmap, x, y), x < 5 ? BLACK : 0x11111111u);
}

TEST(BlittingTest, ClearFillsLargeBitmapsAtEveryLevel) {
  LevelGuard guard;
  for (SimdLevel level : AllLevels()) {
    SetSimdLevel(level);
    for (int w : {1, 3, 4, 7, 33, 64, 301}) {
      MemoryBitmap bitmap(w, 5);
      std::memset(bitmap.Bits(), 0, static_cast<size_t>(bitmap.RowSpan()) * 5 * 4);
      ClearBitmap(&bitmap, 0x12345678);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < bitmap.RowSpan(); ++x) ASSERT_EQ(At(&bitmap, x, y), x < w ? 0x12345678u : 0u);
    }
  }
}

TEST(BlittingTest, NullAndEmptyBitmapsAreIgnored) {
  MemoryBitmap empty;
  MemoryBitmap bitmap(4, 4);
  ClearBitmap(nullptr, 0);
  ClearBitmap(&empty, 0);
  FillBitmapRect(nullptr, 0, 0, 4, 4, 0, 1.0f, BLEND_COPY);
  EXPECT_EQ(GetBitmapPixel(nullptr, 0, 0), 0u);
  EXPECT_EQ(GetBitmapPixel(&empty, 0, 0), 0u);
  PutBitmapPixel(&empty, 0, 0, 1, 1.0f);
  BlitBitmap(&bitmap, &empty, 0, 0, nullptr, 1.0f, BLEND_COPY, true);
  BlitBitmap(&empty, &bitmap, 0, 0, nullptr, 1.0f, BLEND_COPY, true);
  BlitBitmap(nullptr, &bitmap, 0, 0, nullptr, 1.0f, BLEND_COPY, true);
  StretchBlitBitmap(&bitmap, nullptr, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, BLEND_COPY);
  StretchBlitBitmap(&empty, &bitmap, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, BLEND_COPY);
  RotateBlitBitmap(&empty, &bitmap, 0, 0, 4, 4, 0, 0, 4, 4, 1.0f, true, 1.0f, BLEND_COPY, 0, 0);
  RotateBlitBitmap(&bitmap, &empty, 0, 0, 4, 4, 0, 0, 4, 4, 1.0f, true, 1.0f, BLEND_COPY, 0, 0);
  BlurBitmap(&empty, &bitmap, 4, 4);
  BlurBitmap(&bitmap, nullptr, 4, 4);
  ApplyToRect(&empty, 0, 0, 4, 4, [](uint32_t* p, void*) { *p = 0; });
  CopyBitmap(&bitmap, &empty);
  EXPECT_EQ(bitmap.Width(), 4);  // a source without pixels changes nothing
}

TEST(BlittingTest, FillClipsToTheBitmap) {
  MemoryBitmap bitmap(6, 4);
  ClearBitmap(&bitmap, 0);
  FillBitmapRect(&bitmap, -2, -1, 4, 3, 7, 1.0f, BLEND_COPY);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At(&bitmap, x, y), (x < 2 && y < 2) ? 7u : 0u) << x << "," << y;
  FillBitmapRect(&bitmap, 4, 2, INT_MAX, INT_MAX, 9, 1.0f, BLEND_COPY);
  EXPECT_EQ(At(&bitmap, 5, 3), 9u);
  EXPECT_EQ(At(&bitmap, 3, 3), 0u);
  FillBitmapRect(&bitmap, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 5, 1.0f, BLEND_COPY);
  FillBitmapRect(&bitmap, INT_MAX, 0, INT_MAX, 4, 5, 1.0f, BLEND_COPY);
  FillBitmapRect(&bitmap, 0, 0, -3, 4, 5, 1.0f, BLEND_COPY);
  FillBitmapRect(&bitmap, 0, 0, 6, 4, 5, 0.0f, BLEND_COPY);
  FillBitmapRect(&bitmap, 0, 0, 6, 4, 5, 1.0f, BLEND_DODGE);  // not provided: nothing
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_NE(At(&bitmap, x, y), 5u);
}

TEST(BlittingTest, FillWithAddSetsOnlyTheAlpha) {
  LevelGuard guard;
  for (SimdLevel level : AllLevels()) {
    SetSimdLevel(level);
    MemoryBitmap bitmap(7, 3);
    std::mt19937 rng(1);
    FillRandom(&bitmap, rng);
    MemoryBitmap before;
    CopyStorage(&before, &bitmap);
    FillBitmapRect(&bitmap, 0, 0, 7, 3, 0xFF000000, 1.0f, BLEND_ADD);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(At(&bitmap, x, y), At(&before, x, y) | 0xFF000000u);
  }
}

TEST(BlittingTest, FillBlendsAtEveryOpacityRule) {
  const uint32_t d = 0x10203040, c = 0xF0E0D0C0;
  auto fill = [&](float opacity, int mode) {
    MemoryBitmap bitmap(1, 1);
    bitmap.Bits()[0] = d;
    FillBitmapRect(&bitmap, 0, 0, 1, 1, c, opacity, mode);
    return bitmap.Bits()[0];
  };
  EXPECT_EQ(fill(1.0f, BLEND_COPY), c);
  EXPECT_EQ(fill(0.5f, BLEND_COPY), 0x80808080u);  // (c >> 1) + (d >> 1) per byte
  EXPECT_EQ(fill(0.25f, BLEND_COPY), ((d >> 1) & 0x7F7F7F7F) + ((d >> 2) & 0x3F3F3F3F) + ((c >> 2) & 0x3F3F3F3F));
  EXPECT_EQ(fill(0.75f, BLEND_COPY), ((c >> 2) & 0x3F3F3F3F) + ((d >> 2) & 0x3F3F3F3F) + ((c >> 1) & 0x7F7F7F7F));
  // a = 76: s + (d - s) * 180 / 256 per byte, truncating toward zero (-112.5 gives -112).
  EXPECT_EQ(fill(0.3f, BLEND_COPY), 0x53596066u);
  EXPECT_EQ(fill(0.001f, BLEND_COPY), d);  // a = 0
  EXPECT_EQ(fill(-1.0f, BLEND_COPY), d);
  // Add: s * a / 256 + d, clamped.
  EXPECT_EQ(fill(1.0f, BLEND_ADD), 0xFFFFFFFFu);
  EXPECT_EQ(fill(0.25f, BLEND_ADD), 0x4C586470u);
  // Source alpha scales the opacity: alpha 0 draws nothing.
  MemoryBitmap bitmap(1, 1);
  bitmap.Bits()[0] = d;
  FillBitmapRect(&bitmap, 0, 0, 1, 1, 0x00FFFFFF, 1.0f, BLEND_COPY | USE_SOURCE_ALPHA);
  EXPECT_EQ(bitmap.Bits()[0], d);
  FillBitmapRect(&bitmap, 0, 0, 1, 1, c, 1.0f, BLEND_COPY | USE_SOURCE_ALPHA);  // alpha 0xF0: a = 240
  EXPECT_EQ(bitmap.Bits()[0], 0xE2D4C6B8u);
}

TEST(BlittingTest, SinglePixelsAreBoundsChecked) {
  MemoryBitmap bitmap(3, 2);
  ClearBitmap(&bitmap, 0x10101010);
  PutBitmapPixel(&bitmap, 2, 1, 0x30303030, 1.0f);
  EXPECT_EQ(GetBitmapPixel(&bitmap, 2, 1), 0x30303030u);
  PutBitmapPixel(&bitmap, 0, 0, 0x30303030, 0.5f);
  EXPECT_EQ(GetBitmapPixel(&bitmap, 0, 0), 0x20202020u);
  PutBitmapPixel(&bitmap, 3, 0, 1, 1.0f);
  PutBitmapPixel(&bitmap, -1, 0, 1, 1.0f);
  PutBitmapPixel(&bitmap, 0, 2, 1, 1.0f);
  EXPECT_EQ(GetBitmapPixel(&bitmap, 3, 0), 0u);
  EXPECT_EQ(GetBitmapPixel(&bitmap, -1, 0), 0u);
  EXPECT_EQ(GetBitmapPixel(&bitmap, 0, INT_MIN), 0u);
  EXPECT_EQ(GetBitmapPixel(&bitmap, 1, 1), 0x10101010u);
}

// ---- Copies ----------------------------------------------------------------------------

TEST(BlittingTest, CopyResizesAndCopiesEveryPixel) {
  MemoryBitmap src(13, 9), dest(2, 2);
  FillMarkers(&src);
  CopyBitmap(&dest, &src);
  ASSERT_EQ(dest.Width(), 13);
  ASSERT_EQ(dest.Height(), 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_EQ(At(&dest, x, y), Marker(x, y));
}

TEST(BlittingTest, BlitWithANegativeCornerStartsInsideTheSource) {
  MemoryBitmap src(30, 30), dest(30, 30);
  FillMarkers(&src);
  ClearBitmap(&dest, BLACK);
  BlitBitmap(&dest, &src, -10, -10, nullptr, 1.0f, BLEND_COPY, true);
  EXPECT_EQ(At(&dest, 0, 0), Marker(10, 10));
  EXPECT_EQ(At(&dest, 19, 19), Marker(29, 29));
  EXPECT_EQ(At(&dest, 20, 0), BLACK);
  EXPECT_EQ(At(&dest, 0, 20), BLACK);
}

TEST(BlittingTest, BlitTakesASourceRectangle) {
  MemoryBitmap src(20, 20), dest(20, 20);
  FillMarkers(&src);
  ClearBitmap(&dest, BLACK);
  BlitRect rect = {4, 5, 8, 7};
  BlitBitmap(&dest, &src, 1, 2, &rect, 1.0f, BLEND_COPY, false);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      bool inside = x >= 1 && x < 5 && y >= 2 && y < 4;
      EXPECT_EQ(At(&dest, x, y), inside ? Marker(x + 3, y + 3) : BLACK);
    }
  // A negative left moves the destination instead.
  ClearBitmap(&dest, BLACK);
  BlitRect moved = {-3, 0, 2, 1};
  BlitBitmap(&dest, &src, 0, 0, &moved, 1.0f, BLEND_COPY, false);
  EXPECT_EQ(At(&dest, 3, 0), Marker(0, 0));
  EXPECT_EQ(At(&dest, 4, 0), Marker(1, 0));
  EXPECT_EQ(At(&dest, 2, 0), BLACK);
  EXPECT_EQ(At(&dest, 5, 0), BLACK);
}

TEST(BlittingTest, BlitBlendsAtOtherOpacities) {
  MemoryBitmap src(2, 1), dest(2, 1);
  src.Bits()[0] = src.Bits()[1] = 0xF0E0D0C0;
  dest.Bits()[0] = dest.Bits()[1] = 0x10203040;
  BlitBitmap(&dest, &src, 0, 0, nullptr, 0.5f, BLEND_COPY, true);
  EXPECT_EQ(dest.Bits()[0], 0x80808080u);
  dest.Bits()[0] = 0x10203040;
  BlitBitmap(&dest, &src, 0, 0, nullptr, 0.3f, BLEND_COPY, true);
  EXPECT_EQ(dest.Bits()[0], 0x53596066u);
  BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BLEND_ADD, true);
  EXPECT_EQ(dest.Bits()[1], 0xFFFFFFFFu);
  dest.Bits()[0] = 0;
  BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BLEND_CHANNEL_COPY, true);  // not provided
  EXPECT_EQ(dest.Bits()[0], 0u);
}

TEST(BlittingTest, BlitWithinOneBitmapReadsTheOriginalPixels) {
  for (int dy : {-3, 0, 3})
    for (int dx : {-2, 0, 2}) {
      MemoryBitmap bitmap(10, 10), expected(10, 10), original(10, 10);
      FillMarkers(&bitmap);
      FillMarkers(&original);
      FillMarkers(&expected);
      ReferenceBlit(&expected, &original, dx, dy, nullptr);
      BlitBitmap(&bitmap, &bitmap, dx, dy, nullptr, 1.0f, BLEND_COPY, true);
      EXPECT_TRUE(SameStorage(&bitmap, &expected)) << dx << "," << dy;
      StretchBlitBitmap(&bitmap, &bitmap, 0, 0, 10, 10, 0, 0, 5, 5, 1.0f, BLEND_COPY);
      EXPECT_EQ(At(&bitmap, 9, 9), At(&expected, 4, 4));
    }
}

TEST(BlittingTest, HugeCoordinatesNeverWriteOutside) {
  MemoryBitmap src(17, 11), dest(9, 7), before(9, 7);
  FillMarkers(&src);
  const int values[] = {INT_MIN, INT_MIN + 1, -100000, -9, -1, 0, 1, 8, 100000, INT_MAX - 1, INT_MAX};
  for (int a : values)
    for (int b : values) {
      ClearBitmap(&dest, BLACK);
      BlitBitmap(&dest, &src, a, b, nullptr, 1.0f, BLEND_COPY, true);
      BlitRect rect = {a, b, b, a};
      BlitBitmap(&dest, &src, b, a, &rect, 1.0f, BLEND_COPY, true);
      BlitBitmap(&dest, &src, 0, 0, &rect, 0.7f, BLEND_COPY, true);
      FillBitmapRect(&dest, a, b, b, a, 1, 1.0f, BLEND_COPY);
      FillBitmapRect(&dest, a, b, b, a, 1, 0.4f, BLEND_ADD);
      ApplyToRect(&dest, a, b, b, a, [](uint32_t* p, void*) { *p ^= 1; });
      StretchBlitBitmap(&dest, &src, a, b, b, a, 0, 0, 17, 11, 1.0f, BLEND_COPY);
      StretchBlitBitmap(&dest, &src, 0, 0, 9, 7, static_cast<float>(a), static_cast<float>(b), 3.0f, -5.0f, 1.0f,
                        BLEND_COPY);
      StretchBlitBitmap(&dest, &src, 0, 0, 9, 7, 1.0f, 2.0f, static_cast<float>(a), static_cast<float>(b), 1.0f,
                        BLEND_COPY);
      StretchBlitBitmap(&dest, &src, 0, 0, 9, 7, 1.0f, 2.0f, static_cast<float>(a) * 1e30f, 1e-30f, 0.5f,
                        BLEND_COPY);
      RotateBlitBitmap(&dest, &src, a, b, 9, 7, 0, 0, 17, 11, 0.3f, true, 1.0f, BLEND_COPY, 0, 0);
      RotateBlitBitmap(&dest, &src, 0, 0, b, a, 0, 0, 17, 11, 1.5707964f, true, 1.0f, BLEND_COPY, 0, 0);
      RotateBlitBitmap(&dest, &src, 0, 0, 9, 7, static_cast<float>(a), static_cast<float>(b), 1e20f, 3.0f, 2.0f,
                       false, 0.6f, BLEND_COPY, static_cast<float>(b), 1e30f);
      BlurBitmap(&dest, &src, a, b);
      BlurBitmap(&dest, &dest, a, b);
    }
  // Nothing but NaN or infinity in the floats: nothing drawn, nothing crashed.
  ClearBitmap(&dest, BLACK);
  CopyStorage(&before, &dest);
  StretchBlitBitmap(&dest, &src, 0, 0, 9, 7, NAN, 0, 3, 3, 1.0f, BLEND_COPY);
  StretchBlitBitmap(&dest, &src, 0, 0, 9, 7, 0, 0, INFINITY, 3, 1.0f, BLEND_COPY);
  RotateBlitBitmap(&dest, &src, 0, 0, 9, 7, 0, 0, 17, 11, NAN, true, 1.0f, BLEND_COPY, 0, 0);
  StretchBlitBitmap(&dest, &src, 0, 0, 9, 7, 0, 0, 3, 3, NAN, BLEND_COPY);
  EXPECT_TRUE(SameStorage(&dest, &before));
}

// ---- Scaled copies ----------------------------------------------------------------------

TEST(BlittingTest, StretchOf400x300To666x500SamplesInFixedPoint) {
  MemoryBitmap src(400, 300), dest(666, 500);
  FillMarkers(&src);
  ClearBitmap(&dest, BLACK);
  StretchBlitBitmap(&dest, &src, 0, 0, 666, 500, 0, 0, 400, 300, 1.0f, BLEND_COPY);
  EXPECT_EQ(400.0f / 666, 0.6006006f);
  const int64_t dx = 39360, dy = 39321;  // floor(0.6006006 * 65536), floor(0.6 * 65536)
  bool one_more_differs = false;
  for (int j = 0; j < 666; ++j) {
    EXPECT_EQ(At(&dest, j, 0), Marker(static_cast<int>(j * dx >> 16), 0)) << j;
    one_more_differs |= (j * dx >> 16) != (j * (dx + 1) >> 16);
  }
  EXPECT_TRUE(one_more_differs);  // so the columns pin the step down exactly
  for (int i = 0; i < 500; ++i) EXPECT_EQ(At(&dest, 10, i), Marker(10 * dx >> 16, static_cast<int>(i * dy >> 16)));
  EXPECT_EQ(At(&dest, 665, 499), Marker(399, 299));
}

TEST(BlittingTest, StretchToTheSameSizeCopiesLikeBlit) {
  MemoryBitmap src(37, 23), dest(40, 30), expected(40, 30);
  FillMarkers(&src);
  Blank(&dest, BLACK);
  Blank(&expected, BLACK);
  StretchBlitBitmap(&dest, &src, 3, -2, 20, 15, 5.2f, 4.4f, 20.0004f, 14.9995f, 1.0f, BLEND_COPY);
  BlitRect rect = {5, 4, 25, 19};
  BlitBitmap(&expected, &src, 3, -2, &rect, 1.0f, BLEND_COPY, false);
  EXPECT_TRUE(SameStorage(&dest, &expected));
}

TEST(BlittingTest, HorizontalMirrorLeavesColumnZero) {
  MemoryBitmap src(100, 4), dest(100, 4);
  FillMarkers(&src);
  ClearBitmap(&dest, BLACK);
  StretchBlitBitmap(&dest, &src, 100, 0, -100, 4, 0, 0, 100, 4, 1.0f, BLEND_COPY);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(At(&dest, 0, y), BLACK);
    EXPECT_EQ(At(&dest, 1, y), Marker(99, y));
    EXPECT_EQ(At(&dest, 99, y), Marker(1, y));
    for (int x = 1; x < 100; ++x) ASSERT_EQ(At(&dest, x, y), Marker(100 - x, y));
  }
}

TEST(BlittingTest, VerticalMirrorLeavesRowZero) {
  MemoryBitmap src(5, 50), dest(5, 50);
  FillMarkers(&src);
  ClearBitmap(&dest, BLACK);
  StretchBlitBitmap(&dest, &src, 0, 50, 5, -50, 0, 0, 5, 50, 1.0f, BLEND_COPY);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(At(&dest, x, 0), BLACK);
    for (int y = 1; y < 50; ++y) ASSERT_EQ(At(&dest, x, y), Marker(x, 50 - y));
  }
}

TEST(BlittingTest, StretchAtHalfOpacityAverages) {
  MemoryBitmap src(2, 2), dest(4, 4);
  ClearBitmap(&src, 0xF0E0D0C0);
  ClearBitmap(&dest, 0x10203040);
  StretchBlitBitmap(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, 0.5f, BLEND_COPY);
  EXPECT_EQ(At(&dest, 3, 3), 0x80808080u);
  StretchBlitBitmap(&dest, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, BLEND_ADD);
  EXPECT_EQ(At(&dest, 0, 0), 0xFFFFFFFFu);
}

// ---- Rotation -------------------------------------------------------------------------------

TEST(BlittingTest, QuarterTurnMapsColumnsToRows) {
  for (int w : {10, 9, 6}) {
    const int h = 6;
    MemoryBitmap src(w, h), dest(w, h);
    FillMarkers(&src);
    ClearBitmap(&dest, BLACK);
    RotateBlitBitmap(&dest, &src, 0, 0, w, h, 0, 0, static_cast<float>(w), static_cast<float>(h), 1.5707964f, true,
                     1.0f, BLEND_COPY, 0, 0);
    // Source column (W - H) / 2 + y, row (W + H) / 2 - x, before truncation.
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int column = static_cast<int>(std::floor((w - h) / 2.0 + y));
        int row = static_cast<int>(std::floor((w + h) / 2.0 - x));
        bool inside = column >= 0 && column < w && row >= 0 && row < h;
        EXPECT_EQ(At(&dest, x, y), inside ? Marker(column, row) : BLACK) << w << ": " << x << "," << y;
      }
  }
}

TEST(BlittingTest, HalfTurnReversesRowsAndColumns) {
  MemoryBitmap src(7, 5), dest(7, 5);
  FillMarkers(&src);
  Blank(&dest, BLACK);
  RotateBlitBitmap(&dest, &src, 0, 0, 7, 5, 0, 0, 7, 5, 3.1415927f, true, 1.0f, BLEND_COPY, 0, 0);
  MemoryBitmap expected(7, 5);
  Blank(&expected, BLACK);
  ReferenceRotate(&expected, &src, 7, 5, 0, 0, 7, 5, 3.1415927f, 0, 0);
  EXPECT_TRUE(SameStorage(&dest, &expected));
  // Every pixel but the first row and column takes the opposite one.
  EXPECT_EQ(At(&dest, 1, 1), Marker(6, 4));
  EXPECT_EQ(At(&dest, 6, 4), Marker(1, 1));
}

// ---- Blur -------------------------------------------------------------------------------

TEST(BlittingTest, BlurOfWhiteLosesUpToFourToTruncation) {
  MemoryBitmap bitmap(6, 5);
  ClearBitmap(&bitmap, 0xFFFFFFFF);
  BlurBitmap(&bitmap, &bitmap, 6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      int edges = (x == 0 || x == 5) + (y == 0 || y == 4);
      uint32_t expected = edges == 0 ? 0xFBFBFBFB : edges == 1 ? 0xFCFCFCFC : 0xFDFDFDFD;
      EXPECT_EQ(At(&bitmap, x, y), expected) << x << "," << y;
    }
}

TEST(BlittingTest, BlurOfOnePixelWideOrHighChangesNothing) {
  std::mt19937 rng(3);
  for (int w : {1, 7}) {
    MemoryBitmap bitmap(w, 8 - w), before;
    FillRandom(&bitmap, rng);
    CopyStorage(&before, &bitmap);
    BlurBitmap(&bitmap, &bitmap, w, 8 - w);
    EXPECT_TRUE(SameStorage(&bitmap, &before));
  }
  MemoryBitmap wide(5, 5), before;
  FillRandom(&wide, rng);
  CopyStorage(&before, &wide);
  BlurBitmap(&wide, &wide, 1, 5);
  BlurBitmap(&wide, &wide, 5, 1);
  BlurBitmap(&wide, &wide, 0, 0);
  EXPECT_TRUE(SameStorage(&wide, &before));
}

TEST(BlittingTest, BlurWeighsTheCrossByTheTable) {
  MemoryBitmap src(3, 3), dest(3, 3);
  ClearBitmap(&src, 0);
  src.Bits()[1 * 4 + 1] = 0x00808080;  // centre, 128
  BlurBitmap(&dest, &src, 3, 3);
  EXPECT_EQ(At(&dest, 1, 1), 0x00404040u);  // half
  EXPECT_EQ(At(&dest, 0, 1), 0x00202020u);  // the left column's right neighbour weighs a quarter
  EXPECT_EQ(At(&dest, 1, 0), 0x00202020u);
  EXPECT_EQ(At(&dest, 0, 0), 0u);
}

TEST(BlittingTest, ApplyToRectVisitsTheClippedRectangleInOrder) {
  MemoryBitmap bitmap(5, 4);
  ClearBitmap(&bitmap, 0);
  static uint32_t counter;
  counter = 0;
  ApplyToRect(&bitmap, -1, 2, 4, 10, [](uint32_t* p, void* context) { *p = ++counter + (context ? 100 : 0); });
  EXPECT_EQ(counter, 6u);
  EXPECT_EQ(At(&bitmap, 0, 2), 1u);
  EXPECT_EQ(At(&bitmap, 2, 2), 3u);
  EXPECT_EQ(At(&bitmap, 0, 3), 4u);
  EXPECT_EQ(At(&bitmap, 3, 2), 0u);
  ApplyToRect(&bitmap, 0, 0, 5, 4, nullptr);
}

// ---- Fast paths against the references ------------------------------------------------------

class RandomizedTest : public ::testing::Test {
protected:
  void TearDown() override { SetSimdLevel(DetectedSimdLevel()); }
  std::mt19937 rng{20240607};
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
  // Mostly small sizes, sometimes a few hundred pixels.
  int Size() { return Between(0, 3) == 0 ? Between(100, 300) : Between(1, 40); }
};

TEST_F(RandomizedTest, StretchMatchesTheReference) {
  for (int round = 0; round < 600; ++round) {
    MemoryBitmap src(Size(), Size()), dest(Size(), Size()), initial, expected;
    FillRandom(&src, rng);
    FillRandom(&dest, rng);
    CopyStorage(&initial, &dest);
    CopyStorage(&expected, &dest);
    int dw = Between(-2, 1) < 0 ? -Between(1, 2 * dest.Width() + 3) : Between(1, 2 * dest.Width() + 3);
    int dh = Between(-2, 1) < 0 ? -Between(1, 2 * dest.Height() + 3) : Between(1, 2 * dest.Height() + 3);
    int dx = Between(-dest.Width(), 2 * dest.Width()), dy = Between(-dest.Height(), 2 * dest.Height());
    float sx = Between(-src.Width(), src.Width()) / static_cast<float>(Between(1, 4));
    float sy = Between(-src.Height(), src.Height()) / static_cast<float>(Between(1, 4));
    float sw = (Between(0, 5) == 0 ? -1.0f : 1.0f) * Between(1, 2 * src.Width()) / static_cast<float>(Between(1, 3));
    float sh = (Between(0, 5) == 0 ? -1.0f : 1.0f) * Between(1, 2 * src.Height()) / static_cast<float>(Between(1, 3));
    if (Between(0, 4) == 0) {  // a mirror like the flips
      dx = dw = dest.Width();
      dw = -dw;
      dy = 0;
      dh = dest.Height();
      sx = sy = 0;
      sw = static_cast<float>(src.Width());
      sh = static_cast<float>(src.Height());
    }
    ReferenceStretch(&expected, &src, dx, dy, dw, dh, sx, sy, sw, sh);
    for (SimdLevel level : AllLevels()) {
      SetSimdLevel(level);
      CopyStorage(&dest, &initial);
      StretchBlitBitmap(&dest, &src, dx, dy, dw, dh, sx, sy, sw, sh, 1.0f, BLEND_COPY);
      ASSERT_TRUE(SameStorage(&dest, &expected))
          << "level " << level << " round " << round << ": " << dx << "," << dy << " " << dw << "x" << dh << " from "
          << sx << "," << sy << " " << sw << "x" << sh << " src " << src.Width() << "x" << src.Height();
    }
  }
}

TEST_F(RandomizedTest, RotationMatchesTheReference) {
  const float angles[] = {0.0f, 1.5707964f, 3.1415927f, 4.712389f, 0.5f, -2.0f, 6.2831855f};
  for (int round = 0; round < 400; ++round) {
    MemoryBitmap src(Size(), Size()), dest(Size(), Size()), initial, expected;
    FillRandom(&src, rng);
    FillRandom(&dest, rng);
    CopyStorage(&initial, &dest);
    CopyStorage(&expected, &dest);
    float angle = angles[Between(0, 6)];
    int dw = dest.Width() + Between(-3, 3), dh = dest.Height() + Between(-3, 3);
    float sx = 0, sy = 0, sw = static_cast<float>(src.Width()), sh = static_cast<float>(src.Height()), cx = 0, cy = 0;
    if (Between(0, 1)) {
      sx = Between(-5, 5) / 2.0f;
      sy = Between(-5, 5) / 2.0f;
      sw = Between(1, 2 * src.Width()) / 1.5f;
      sh = Between(1, 2 * src.Height()) / 1.5f;
      cx = Between(-8, 8) / 4.0f;
      cy = Between(-8, 8) / 4.0f;
    }
    if (dw < 1) dw = 1;
    if (dh < 1) dh = 1;
    ReferenceRotate(&expected, &src, dw, dh, sx, sy, sw, sh, angle, cx, cy);
    for (SimdLevel level : AllLevels()) {
      SetSimdLevel(level);
      CopyStorage(&dest, &initial);
      RotateBlitBitmap(&dest, &src, 0, 0, dw, dh, sx, sy, sw, sh, angle, true, 1.0f, BLEND_COPY, cx, cy);
      ASSERT_TRUE(SameStorage(&dest, &expected))
          << "level " << level << " round " << round << " angle " << angle << " " << dw << "x" << dh << " src "
          << src.Width() << "x" << src.Height() << " rect " << sx << "," << sy << " " << sw << "x" << sh;
    }
  }
}

TEST_F(RandomizedTest, BlurMatchesTheReference) {
  for (int round = 0; round < 300; ++round) {
    MemoryBitmap src(Size(), Size()), dest(Size(), Size()), initial, expected;
    if (Between(0, 1)) dest.Resize(src.Width(), src.Height());
    FillRandom(&src, rng);
    FillRandom(&dest, rng);
    CopyStorage(&initial, &dest);
    int w = Between(-1, 310), h = Between(-1, 310);
    bool in_place = Between(0, 1) == 1;
    CopyStorage(&expected, in_place ? static_cast<Bitmap*>(&src) : &dest);
    ReferenceBlur(&expected, in_place ? static_cast<Bitmap*>(&src) : &src, w, h);
    for (SimdLevel level : AllLevels()) {
      SetSimdLevel(level);
      MemoryBitmap target;
      CopyStorage(&target, in_place ? static_cast<Bitmap*>(&src) : &initial);
      BlurBitmap(&target, in_place ? static_cast<Bitmap*>(&target) : &src, w, h);
      ASSERT_TRUE(SameStorage(&target, &expected)) << "level " << level << " round " << round << " " << w << "x" << h;
    }
  }
}

TEST_F(RandomizedTest, BlitAndFillMatchTheReference) {
  for (int round = 0; round < 300; ++round) {
    MemoryBitmap src(Size(), Size()), dest(Size(), Size()), initial, expected;
    FillRandom(&src, rng);
    FillRandom(&dest, rng);
    CopyStorage(&initial, &dest);
    CopyStorage(&expected, &dest);
    int dx = Between(-350, 350), dy = Between(-350, 350);
    BlitRect rect = {Between(-20, 300), Between(-20, 300), Between(-20, 320), Between(-20, 320)};
    bool with_rect = Between(0, 1) == 1;
    ReferenceBlit(&expected, &src, dx, dy, with_rect ? &rect : nullptr);
    uint32_t colour = rng();
    ReferenceFill(&expected, dy, dx, rect.right, rect.bottom, colour);
    for (SimdLevel level : AllLevels()) {
      SetSimdLevel(level);
      CopyStorage(&dest, &initial);
      BlitBitmap(&dest, &src, dx, dy, with_rect ? &rect : nullptr, 1.0f, BLEND_COPY, true);
      FillBitmapRect(&dest, dy, dx, rect.right, rect.bottom, colour, 1.0f, BLEND_COPY);
      ASSERT_TRUE(SameStorage(&dest, &expected)) << "level " << level << " round " << round;
    }
  }
}
