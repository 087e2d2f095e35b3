#include "view/image_effects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "raster/blitting.h"
#include "raster/cpu_features.h"
#include "raster/memory_bitmap.h"

namespace {

const uint32_t BLACK = 0xFF000000;

uint32_t Rgb(int r, int g, int b) { return 0xFF000000u | r << 16 | g << 8 | b; }

uint32_t Apply(PixelFunction function, uint32_t pixel) {
  function(&pixel, nullptr);
  return pixel;
}

uint32_t At(Bitmap* bitmap, int x, int y) { return bitmap->Bits()[y * bitmap->RowSpan() + x]; }
void Put(Bitmap* bitmap, int x, int y, uint32_t value) { bitmap->Bits()[y * bitmap->RowSpan() + x] = value; }

uint32_t Marker(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(y) << 12 | static_cast<uint32_t>(x); }

void FillMarkers(Bitmap* bitmap) {
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x) Put(bitmap, x, y, Marker(x, y));
}

bool SamePixels(Bitmap* a, Bitmap* b) {
  if (a->Width() != b->Width() || a->Height() != b->Height()) return false;
  for (int y = 0; y < a->Height(); ++y)
    if (std::memcmp(a->Bits() + y * a->RowSpan(), b->Bits() + y * b->RowSpan(), a->Width() * 4u) != 0) return false;
  return true;
}

class ImageEffectsTest : public ::testing::Test {
protected:
  void TearDown() override { SetSimdLevel(DetectedSimdLevel()); }
};

}  // namespace

TEST_F(ImageEffectsTest, BlackAndWhiteAveragesTheColours) {
  EXPECT_EQ(Apply(BlackAndWhitePixel, Rgb(200, 100, 51)), Rgb(117, 117, 117));
  EXPECT_EQ(Apply(BlackAndWhitePixel, Rgb(255, 255, 254)), Rgb(254, 254, 254));
  EXPECT_EQ(Apply(BlackAndWhitePixel, 0x12FF0000u), 0x12555555u);  // alpha stays
}

TEST_F(ImageEffectsTest, NegativeInvertsTheColours) {
  EXPECT_EQ(Apply(NegativePixel, Rgb(0, 128, 255)), Rgb(255, 127, 0));
  EXPECT_EQ(Apply(NegativePixel, 0x7F000000u), 0x7FFFFFFFu);
}

TEST_F(ImageEffectsTest, LogTransformationLiftsDarkTones) {
  const int in[] = {0, 1, 2, 3, 127, 128, 254, 255};
  const int out[] = {0, 31, 50, 63, 223, 223, 254, 255};
  for (int i = 0; i < 8; ++i) {
    int c = in[i], e = out[i];
    EXPECT_EQ(Apply(LogTransformationPixel, Rgb(c, c, c)), Rgb(e, e, e)) << c;
  }
  EXPECT_EQ(Apply(LogTransformationPixel, 0x00000000u), 0x00000000u);
  EXPECT_EQ(Apply(LogTransformationPixel, 0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST_F(ImageEffectsTest, LogTransformationTableIsTheSameOnEveryPlatform) {
  // trunc(ln(c + 1) * 255 / ln(256)) for c = 0..255, computed once with a
  // correctly rounded logarithm (the exact values agree); this run's maths
  // library must give the same.
  static const uint8_t expected[256] = {
        0,  31,  50,  63,  74,  82,  89,  95, 101, 105, 110, 114, 117, 121, 124, 127,
      130, 132, 135, 137, 140, 142, 144, 146, 148, 149, 151, 153, 154, 156, 157, 159,
      160, 162, 163, 164, 166, 167, 168, 169, 170, 171, 172, 174, 175, 176, 177, 178,
      178, 179, 180, 181, 182, 183, 184, 185, 185, 186, 187, 188, 189, 189, 190, 191,
      191, 192, 193, 194, 194, 195, 196, 196, 197, 197, 198, 199, 199, 200, 200, 201,
      202, 202, 203, 203, 204, 204, 205, 205, 206, 206, 207, 207, 208, 208, 209, 209,
      210, 210, 211, 211, 212, 212, 213, 213, 214, 214, 214, 215, 215, 216, 216, 216,
      217, 217, 218, 218, 218, 219, 219, 220, 220, 220, 221, 221, 222, 222, 222, 223,
      223, 223, 224, 224, 224, 225, 225, 225, 226, 226, 226, 227, 227, 227, 228, 228,
      228, 229, 229, 229, 230, 230, 230, 231, 231, 231, 231, 232, 232, 232, 233, 233,
      233, 233, 234, 234, 234, 235, 235, 235, 235, 236, 236, 236, 236, 237, 237, 237,
      238, 238, 238, 238, 239, 239, 239, 239, 240, 240, 240, 240, 241, 241, 241, 241,
      242, 242, 242, 242, 242, 243, 243, 243, 243, 244, 244, 244, 244, 245, 245, 245,
      245, 245, 246, 246, 246, 246, 246, 247, 247, 247, 247, 248, 248, 248, 248, 248,
      249, 249, 249, 249, 249, 250, 250, 250, 250, 250, 251, 251, 251, 251, 251, 252,
      252, 252, 252, 252, 252, 253, 253, 253, 253, 253, 254, 254, 254, 254, 254, 255,
  };
  for (int c = 0; c < 256; ++c) EXPECT_EQ(Apply(LogTransformationPixel, static_cast<uint32_t>(c)), expected[c]) << c;
}

TEST_F(ImageEffectsTest, IllinifyTurnsHuesIntoTwoTones) {
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(255, 0, 0)), Rgb(255, 44, 0));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(255, 255, 0)), Rgb(255, 44, 0));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(255, 0, 255)), Rgb(255, 44, 0));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(0, 255, 0)), Rgb(0, 159, 255));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(0, 255, 255)), Rgb(0, 159, 255));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(0, 0, 255)), Rgb(0, 159, 255));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(200, 100, 50)), Rgb(200, 76, 50));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(50, 100, 200)), Rgb(50, 144, 200));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(255, 255, 255)), Rgb(255, 255, 255));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(0, 0, 0)), Rgb(0, 0, 0));
  EXPECT_EQ(Apply(IllinifyPixel, Rgb(128, 128, 128)), Rgb(128, 128, 128));
  EXPECT_EQ(Apply(IllinifyPixel, 0x34FF0000u), 0x34FF2C00u);
}

// Every colour, with varying alpha, through every level against the pixel
// functions; the rectangle starts at an odd column so the spans have odd
// lengths and unaligned starts.
TEST_F(ImageEffectsTest, FastPathsMatchThePixelFunctionsForEveryColour) {
  const int size = 4096;  // 4096 x 4096 = every 24-bit colour
  MemoryBitmap original(size + 3, size), expected, actual;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size + 3; ++x) {
      uint32_t colour = static_cast<uint32_t>(y * size + (x < size ? x : 0)) & 0xFFFFFF;
      Put(&original, x, y, colour | (colour * 2654435761u & 0xFF000000u));
    }
  struct Effect {
    const char* name;
    PixelFunction pixel;
    void (*apply)(Bitmap*, int, int, int, int);
  } effects[] = {{"black and white", BlackAndWhitePixel, ApplyBlackAndWhite},
                 {"negative", NegativePixel, ApplyNegative},
                 {"log", LogTransformationPixel, ApplyLogTransformation},
                 {"illinify", IllinifyPixel, ApplyIllinify}};
  for (const Effect& effect : effects) {
    CopyBitmap(&expected, &original);
    // The pixels outside the rectangle are left alone.
    ApplyToRect(&expected, 1, 0, size + 1, size, effect.pixel);
    for (int level = SIMD_SCALAR; level <= DetectedSimdLevel(); ++level) {
      SetSimdLevel(static_cast<SimdLevel>(level));
      CopyBitmap(&actual, &original);
      effect.apply(&actual, 1, 0, size + 1, size);
      ASSERT_TRUE(SamePixels(&actual, &expected)) << effect.name << " at level " << level;
    }
  }
}

TEST_F(ImageEffectsTest, PixelEffectsStayInTheRectangle) {
  MemoryBitmap frame(9, 7);
  ClearBitmap(&frame, Rgb(10, 20, 30));
  ApplyNegative(&frame, -2, 5, 4, 100);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(At(&frame, x, y), (x < 2 && y >= 5) ? Rgb(245, 235, 225) : Rgb(10, 20, 30)) << x << "," << y;
  ApplyIllinify(nullptr, 0, 0, 1, 1);
  ApplyBlackAndWhite(&frame, 9, 0, 5, 5);
  ApplyLogTransformation(&frame, 0, 0, 0, 7);
  EXPECT_EQ(At(&frame, 0, 0), Rgb(10, 20, 30));
}

TEST_F(ImageEffectsTest, BlurDarkensTheBarsNextToThePictureOnly) {
  MemoryBitmap frame(10, 6);
  ClearBitmap(&frame, BLACK);
  FillBitmapRect(&frame, 3, 0, 4, 6, 0xFFFFFFFF, 1.0f, BLEND_COPY);
  ApplyBlur(&frame);
  // Alpha is blurred too: opaque black inside the frame becomes alpha 251.
  EXPECT_EQ(At(&frame, 2, 3), 0xFB1F1F1Fu);  // an eighth of white beside the picture
  EXPECT_EQ(At(&frame, 7, 3), 0xFB1F1F1Fu);
  EXPECT_EQ(At(&frame, 1, 3), 0xFB000000u);
  EXPECT_EQ(At(&frame, 8, 3), 0xFB000000u);
  EXPECT_EQ(At(&frame, 3, 3), 0xFBDCDCDCu);  // 127 + 3 * 31 from itself and its white neighbours
  EXPECT_EQ(At(&frame, 0, 0), 0xFD000000u);
}

TEST_F(ImageEffectsTest, FlipsMirrorTheWholeFrameAndLeaveTheFirstLineBlack) {
  MemoryBitmap frame(8, 5), scratch(1, 1);
  FillMarkers(&frame);
  ApplyFlipHorizontally(&frame, &scratch);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(At(&frame, 0, y), BLACK);
    for (int x = 1; x < 8; ++x) EXPECT_EQ(At(&frame, x, y), Marker(8 - x, y));
  }
  FillMarkers(&frame);
  ApplyFlipVertically(&frame, &scratch);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(At(&frame, x, 0), BLACK);
    for (int y = 1; y < 5; ++y) EXPECT_EQ(At(&frame, x, y), Marker(x, 5 - y));
  }
}

TEST_F(ImageEffectsTest, RotationTurnsAboutTheCentre) {
  MemoryBitmap frame(10, 6), scratch;
  FillMarkers(&frame);
  ApplyRotation(&frame, &scratch, 90);
  // A quarter turn clockwise: destination (x, y) from source (2 + y, 8 - x).
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) {
      int column = 2 + y, row = 8 - x;
      EXPECT_EQ(At(&frame, x, y), row >= 0 && row < 6 ? Marker(column, row) : BLACK) << x << "," << y;
    }
  // A half turn: in single precision the columns land one to the right and
  // the rows do not move, destination (x, y) from source (10 - x, 5 - y).
  FillMarkers(&frame);
  ApplyRotation(&frame, &scratch, 180);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(At(&frame, x, y), x > 0 ? Marker(10 - x, 5 - y) : BLACK) << x << "," << y;
  // A quarter turn counter-clockwise: destination (x, y) from source (8 - y, x - 2).
  FillMarkers(&frame);
  ApplyRotation(&frame, &scratch, 270);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) {
      int column = 8 - y, row = x - 2;
      EXPECT_EQ(At(&frame, x, y), row >= 0 && row < 6 ? Marker(column, row) : BLACK) << x << "," << y;
    }
  FillMarkers(&frame);
  MemoryBitmap before;
  CopyBitmap(&before, &frame);
  ApplyRotation(&frame, &scratch, 0);
  ApplyRotation(&frame, &scratch, 45);
  EXPECT_TRUE(SamePixels(&frame, &before));
}

TEST_F(ImageEffectsTest, EffectsRunInTheirFixedOrder) {
  MemoryBitmap frame(6, 4), scratch, expected;
  ClearBitmap(&frame, BLACK);
  FillBitmapRect(&frame, 1, 1, 4, 2, Rgb(200, 100, 51), 1.0f, BLEND_COPY);
  CopyBitmap(&expected, &frame);
  EffectSwitches effects;
  effects.black_and_white = true;
  effects.negative = true;
  ApplyEffects(&frame, &scratch, 1, 1, 4, 2, effects);
  // Negative of the gray picture; the bars stay black.
  EXPECT_EQ(At(&frame, 2, 2), Rgb(138, 138, 138));
  EXPECT_EQ(At(&frame, 0, 0), BLACK);

  // Everything on matches the effects called one by one in that order.
  FillMarkers(&frame);
  CopyBitmap(&expected, &frame);
  effects = EffectSwitches();
  effects.black_and_white = effects.blur = effects.flip_vertically = effects.flip_horizontally = true;
  effects.negative = effects.log_transformation = effects.illinify = true;
  effects.rotation = 270;
  ApplyEffects(&frame, &scratch, 1, 1, 4, 2, effects);
  ApplyBlackAndWhite(&expected, 1, 1, 4, 2);
  ApplyBlur(&expected);
  ApplyFlipVertically(&expected, &scratch);
  ApplyFlipHorizontally(&expected, &scratch);
  ApplyNegative(&expected, 1, 1, 4, 2);
  ApplyLogTransformation(&expected, 1, 1, 4, 2);
  ApplyIllinify(&expected, 1, 1, 4, 2);
  ApplyRotation(&expected, &scratch, 270);
  EXPECT_TRUE(SamePixels(&frame, &expected));
}

TEST_F(ImageEffectsTest, WholeFrameEffectsMatchAtEveryLevel) {
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    int w = std::uniform_int_distribution<int>(1, 260)(rng), h = std::uniform_int_distribution<int>(1, 140)(rng);
    MemoryBitmap original(w, h), expected, actual, scratch;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Put(&original, x, y, rng());
    EffectSwitches effects;
    effects.blur = rng() & 1;
    effects.flip_vertically = rng() & 1;
    effects.flip_horizontally = rng() & 1;
    effects.illinify = rng() & 1;
    effects.rotation = 90 * static_cast<int>(rng() % 4);
    int x0 = static_cast<int>(rng() % w), y0 = static_cast<int>(rng() % h);
    SetSimdLevel(SIMD_SCALAR);
    CopyBitmap(&expected, &original);
    ApplyEffects(&expected, &scratch, x0, y0, w - x0, h - y0, effects);
    for (int level = SIMD_SSE2; level <= DetectedSimdLevel(); ++level) {
      SetSimdLevel(static_cast<SimdLevel>(level));
      CopyBitmap(&actual, &original);
      ApplyEffects(&actual, &scratch, x0, y0, w - x0, h - y0, effects);
      ASSERT_TRUE(SamePixels(&actual, &expected)) << "level " << level << " round " << round;
    }
  }
}

// The flips swap in place; at the scalar level they copy, clear and draw the
// mirrored copy. Both must give the same frame for every small size.
TEST_F(ImageEffectsTest, FlipsInPlaceMatchTheMirroredCopy) {
  for (int w = 1; w <= 11; ++w)
    for (int h = 1; h <= 11; ++h)
      for (int vertical = 0; vertical < 2; ++vertical) {
        MemoryBitmap original(w, h), expected, actual, scratch;
        FillMarkers(&original);
        SetSimdLevel(SIMD_SCALAR);
        CopyBitmap(&expected, &original);
        vertical ? ApplyFlipVertically(&expected, &scratch) : ApplyFlipHorizontally(&expected, &scratch);
        SetSimdLevel(DetectedSimdLevel());
        CopyBitmap(&actual, &original);
        vertical ? ApplyFlipVertically(&actual, &scratch) : ApplyFlipHorizontally(&actual, &scratch);
        ASSERT_TRUE(SamePixels(&actual, &expected)) << w << "x" << h << (vertical ? " vertical" : " horizontal");
      }
}
