#include "raster/dib_bitmap.h"

#include <gtest/gtest.h>

#include "raster/blitting.h"

TEST(DibBitmapTest, HasATopDownSectionInItsOwnDeviceContext) {
  DibBitmap bitmap(5, 3);
  ASSERT_NE(bitmap.Bits(), nullptr);
  ASSERT_NE(bitmap.DeviceContext(), nullptr);
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(bitmap.RowSpan(), 8);
  EXPECT_FALSE(bitmap.IsFlipped());
  // What the raster operations write, GDI reads: row 0 is the top row.
  ClearBitmap(&bitmap, 0xFF000000);
  bitmap.Bits()[0 * 8 + 1] = 0x00112233;
  bitmap.Bits()[2 * 8 + 4] = 0x00445566;
  GdiFlush();
  EXPECT_EQ(GetPixel(bitmap.DeviceContext(), 1, 0), RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(GetPixel(bitmap.DeviceContext(), 4, 2), RGB(0x44, 0x55, 0x66));
  // And what GDI draws, the raster operations see.
  RECT rect = {2, 1, 4, 2};
  HBRUSH brush = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
  FillRect(bitmap.DeviceContext(), &rect, brush);
  DeleteObject(brush);
  GdiFlush();
  EXPECT_EQ(bitmap.Bits()[1 * 8 + 2] & 0xFFFFFF, 0x102030u);
  EXPECT_EQ(bitmap.Bits()[1 * 8 + 3] & 0xFFFFFF, 0x102030u);
  EXPECT_EQ(bitmap.Bits()[1 * 8 + 4] & 0xFFFFFF, 0u);
}

TEST(DibBitmapTest, CopiesToAnotherDeviceContext) {
  DibBitmap src(7, 4), dest(7, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) src.Bits()[y * src.RowSpan() + x] = static_cast<uint32_t>(y * 16 + x);
  ClearBitmap(&dest, 0);
  GdiFlush();
  EXPECT_TRUE(BitBlt(dest.DeviceContext(), 0, 0, 7, 4, src.DeviceContext(), 0, 0, SRCCOPY));
  GdiFlush();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(dest.Bits()[y * dest.RowSpan() + x] & 0xFFFFFF, static_cast<uint32_t>(y * 16 + x));
}

TEST(DibBitmapTest, ShrinkingKeepsTheSection) {
  DibBitmap bitmap(800, 600);
  uint32_t* bits = bitmap.Bits();
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bitmap.RowSpan(), 800);
  EXPECT_TRUE(bitmap.Resize(640, 480));
  EXPECT_EQ(bitmap.Bits(), bits);
  EXPECT_EQ(bitmap.RowSpan(), 800);
  EXPECT_EQ(bitmap.Width(), 640);
  EXPECT_EQ(bitmap.Height(), 480);
  EXPECT_TRUE(bitmap.Resize(800, 600));
  EXPECT_EQ(bitmap.Bits(), bits);
  EXPECT_EQ(bitmap.RowSpan(), 800);
  EXPECT_TRUE(bitmap.Resize(801, 600));
  EXPECT_NE(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.RowSpan(), 804);
  EXPECT_EQ(bitmap.Width(), 801);
  ClearBitmap(&bitmap, 0xFF000000);  // the new section holds the whole size
  EXPECT_FALSE(bitmap.Resize(801, 600));
}

TEST(DibBitmapTest, ResizingToNothingReleasesTheSection) {
  DibBitmap bitmap(800, 600);
  EXPECT_FALSE(bitmap.Resize(0, 0));
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.RowSpan(), 0);
  EXPECT_NE(bitmap.DeviceContext(), nullptr);
  EXPECT_TRUE(bitmap.Resize(3, 3));
  EXPECT_NE(bitmap.Bits(), nullptr);
  EXPECT_FALSE(bitmap.Resize(-4, 3));
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  DibBitmap empty(0, 0);
  EXPECT_EQ(empty.Bits(), nullptr);
  ClearBitmap(&empty, 0);  // nothing to draw on, nothing happens
}

TEST(DibBitmapTest, ASizeBeyondTheByteCountFailsCleanly) {
  DibBitmap bitmap(10, 10);
  EXPECT_TRUE(bitmap.Resize(65536, 65536));
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  bitmap.Resize(INT_MAX, 1);
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_TRUE(bitmap.Resize(4, 4));
  EXPECT_NE(bitmap.Bits(), nullptr);
}

TEST(DibBitmapTest, AnswersTheScaleCodes) {
  DibBitmap bitmap(10, 10);
  EXPECT_EQ(bitmap.Extended(SCALE_GET, nullptr), 0);
  EXPECT_EQ(bitmap.Extended(SCALE_GET_ADVISORY, nullptr), 0);
  EXPECT_EQ(bitmap.Extended(SCALE_GET_EFFECTIVE, nullptr), 0);
  EXPECT_EQ(bitmap.Extended(0x1234, nullptr), 0);
  int none = 256;
  EXPECT_EQ(bitmap.Extended(SCALE_SET, &none), 1);
  EXPECT_EQ(bitmap.Extended(SCALE_GET, nullptr), 0);
  EXPECT_EQ(bitmap.Width(), 10);
  int advisory = 384;
  EXPECT_EQ(bitmap.Extended(SCALE_SET_ADVISORY, &advisory), 1);
  EXPECT_EQ(bitmap.Extended(SCALE_GET_ADVISORY, nullptr), 384);
  EXPECT_EQ(bitmap.Extended(SCALE_GET_EFFECTIVE, nullptr), 384);
  int negative = -5;
  EXPECT_EQ(bitmap.Extended(SCALE_SET_ADVISORY, &negative), 1);
  EXPECT_EQ(bitmap.Extended(SCALE_GET_ADVISORY, nullptr), 0);
  // A real scale re-allocates for the current size times the scale.
  int double_size = 512;
  advisory = 384;
  bitmap.Extended(SCALE_SET_ADVISORY, &advisory);
  EXPECT_EQ(bitmap.Extended(SCALE_SET, &double_size), 1);
  EXPECT_EQ(bitmap.Extended(SCALE_GET, nullptr), 512);
  EXPECT_EQ(bitmap.Extended(SCALE_GET_EFFECTIVE, nullptr), 768);
  EXPECT_EQ(bitmap.Width(), 20);
  EXPECT_NE(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Extended(SCALE_SET, nullptr), 1);
  EXPECT_EQ(bitmap.Extended(SCALE_GET, nullptr), 0);
}

TEST(DibBitmapTest, DeletesThroughTheInterface) {
  Bitmap* bitmap = new DibBitmap(16, 16);
  ClearBitmap(bitmap, 0xFF000000);
  delete bitmap;
}
