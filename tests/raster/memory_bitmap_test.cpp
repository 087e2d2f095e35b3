#include "raster/memory_bitmap.h"

#include <gtest/gtest.h>

#include "raster/block_memory.h"

#include <climits>
#include <cstring>
#include <vector>

TEST(MemoryBitmapTest, StartsEmptyWithoutStorage) {
  MemoryBitmap bitmap;
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.RowSpan(), 0);
  EXPECT_EQ(bitmap.AllocatedBytes(), 0);
}

TEST(MemoryBitmapTest, KeepsTheInterfaceDefaults) {
  MemoryBitmap bitmap(3, 3);
  Bitmap* base = &bitmap;
  EXPECT_FALSE(base->IsFlipped());
  EXPECT_EQ(base->DeviceContext(), nullptr);
  EXPECT_EQ(base->Extended(SCALE_GET, nullptr), 0);
  int scale = 512;
  EXPECT_EQ(base->Extended(SCALE_SET, &scale), 0);
  EXPECT_EQ(base->Extended(SCALE_GET_EFFECTIVE, nullptr), 0);
}

TEST(MemoryBitmapTest, RowSpanIsTheWidthRoundedUpToFourPixels) {
  MemoryBitmap five(5, 2);
  EXPECT_EQ(five.RowSpan(), 8);
  MemoryBitmap eight(8, 2);
  EXPECT_EQ(eight.RowSpan(), 8);
  MemoryBitmap one(1, 1);
  EXPECT_EQ(one.RowSpan(), 4);
  EXPECT_EQ(one.AllocatedBytes(), 16);
}

TEST(MemoryBitmapTest, RowsStartOn64ByteBoundaries) {
  for (int w = 1; w < 40; w += 3) {
    MemoryBitmap bitmap(w, 7);
    ASSERT_NE(bitmap.Bits(), nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bitmap.Bits()) % 64, 0u);
    // The whole span of every row is usable storage.
    std::memset(bitmap.Bits(), 0xAB, static_cast<size_t>(bitmap.RowSpan()) * bitmap.Height() * 4);
  }
}

TEST(MemoryBitmapTest, ResizeToTheSameSizeReturnsFalse) {
  MemoryBitmap bitmap(10, 10);
  uint32_t* bits = bitmap.Bits();
  EXPECT_FALSE(bitmap.Resize(10, 10));
  EXPECT_EQ(bitmap.Bits(), bits);
  MemoryBitmap empty;
  EXPECT_FALSE(empty.Resize(0, 0));
}

TEST(MemoryBitmapTest, ResizeToAnEmptySideFreesTheStorage) {
  MemoryBitmap bitmap(10, 10);
  EXPECT_TRUE(bitmap.Resize(0, 10));
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.AllocatedBytes(), 0);
  EXPECT_TRUE(bitmap.Resize(10, 10));
  EXPECT_TRUE(bitmap.Resize(10, 0));
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
}

TEST(MemoryBitmapTest, NegativeSizesGiveAnEmptyBitmap) {
  MemoryBitmap bitmap(-5, 10);
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_TRUE(bitmap.Resize(5, 5));
  EXPECT_TRUE(bitmap.Resize(5, -5));
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Height(), 0);
}

TEST(MemoryBitmapTest, GrowsByAQuarterAndReusesTheBlock) {
  MemoryBitmap bitmap(100, 100);
  EXPECT_EQ(bitmap.AllocatedBytes(), 40000);
  EXPECT_TRUE(bitmap.Resize(101, 100));
  EXPECT_EQ(bitmap.RowSpan(), 104);
  EXPECT_EQ(bitmap.AllocatedBytes(), 52000);  // 41,600 needed plus a quarter
  uint32_t* bits = bitmap.Bits();
  EXPECT_TRUE(bitmap.Resize(102, 100));
  EXPECT_EQ(bitmap.AllocatedBytes(), 52000);
  EXPECT_EQ(bitmap.Bits(), bits);
  std::memset(bitmap.Bits(), 0, 52000);
}

TEST(MemoryBitmapTest, NeverShrinksItsStorage) {
  MemoryBitmap bitmap(200, 200);
  uint32_t* bits = bitmap.Bits();
  EXPECT_TRUE(bitmap.Resize(20, 20));
  EXPECT_EQ(bitmap.AllocatedBytes(), 160000);
  EXPECT_EQ(bitmap.Bits(), bits);
  EXPECT_EQ(bitmap.Width(), 20);
  EXPECT_EQ(bitmap.RowSpan(), 20);
}

TEST(MemoryBitmapTest, ByteCountIsComputedWithoutOverflow) {
  EXPECT_EQ(BitmapByteCount(100, 100), 40000);
  EXPECT_EQ(BitmapByteCount(5, 3), 96);
  EXPECT_EQ(BitmapByteCount(0, 3), -1);
  EXPECT_EQ(BitmapByteCount(3, -1), -1);
  EXPECT_EQ(BitmapByteCount(INT_MAX, 1), -1);
  EXPECT_EQ(BitmapByteCount(INT_MAX, INT_MAX), -1);
  EXPECT_EQ(BitmapByteCount(65536, 65536), -1);
  EXPECT_EQ(BitmapByteCount(16384, 32767), 16384LL * 32767 * 4);
  EXPECT_EQ(BitmapByteCount(16384, 32768), -1);  // exactly 2^31 bytes
  EXPECT_EQ(BitmapByteCount(1, 134217727), 2147483632LL);
}

TEST(MemoryBitmapTest, ASizeBeyondTheByteCountFailsCleanly) {
  MemoryBitmap bitmap(10, 10);
  EXPECT_TRUE(bitmap.Resize(65536, 65536));
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.AllocatedBytes(), 0);

  MemoryBitmap huge(INT_MAX, INT_MAX);
  EXPECT_EQ(huge.Bits(), nullptr);
  EXPECT_EQ(huge.Width(), 0);
  MemoryBitmap wide(INT_MAX, 1);
  EXPECT_EQ(wide.Bits(), nullptr);
  EXPECT_EQ(wide.RowSpan(), 0);
  MemoryBitmap tall(1, INT_MAX);
  EXPECT_EQ(tall.Bits(), nullptr);
  EXPECT_EQ(tall.Height(), 0);
  // Usable again afterwards.
  EXPECT_TRUE(tall.Resize(4, 4));
  EXPECT_NE(tall.Bits(), nullptr);
}

TEST(MemoryBitmapTest, DeletesThroughTheInterface) {
  Bitmap* bitmap = new MemoryBitmap(16, 16);
  bitmap->Bits()[255] = 1;
  delete bitmap;  // the sanitizer reports a leak otherwise
}

// Large blocks freed while release is deferred wait in the queue, oldest
// first, and go back RELEASE_PIECE_BYTES at a time from their end, counted
// in whole pages; small ones and those freed without deferral go at once.
TEST(BlockMemoryTest, QueuesLargeBlocksAndGivesThemBackInPieces) {
  const int64_t MB = 1 << 20;
  ReleaseQueuedBlocks();
  DeferBlockRelease(true);
  FreeBlock(AllocateBlock(1000), 1000);
  FreeBlock(nullptr, 64 * MB);
  EXPECT_EQ(QueuedBlockBytes(), 0);

  // 24,000,000 pixel bytes and the alignment slack: 5860 pages. Growing
  // frees the old block before taking the larger one.
  MemoryBitmap* picture = new MemoryBitmap(3000, 2000);
  ASSERT_NE(picture->Bits(), nullptr);
  picture->Bits()[3000 * 2000 - 1] = 1;
  EXPECT_TRUE(picture->Resize(3000, 3000));
  EXPECT_EQ(picture->AllocatedBytes(), 45000000);
  EXPECT_EQ(QueuedBlockBytes(), 5860 * 4096);
  delete picture;  // 45,000,063 bytes: 10987 pages
  EXPECT_EQ(QueuedBlockBytes(), (5860 + 10987) * 4096);
  void* block = AllocateBlock(static_cast<size_t>(70 * MB + 1));
  ASSERT_NE(block, nullptr);
  FreeBlock(block, static_cast<size_t>(70 * MB + 1));
  int64_t queued = (5860 + 10987) * 4096 + 70 * MB + 4096;
  EXPECT_EQ(QueuedBlockBytes(), queued);

  // Per block: full pieces while more than one is held, then the rest.
  const int64_t piece = static_cast<int64_t>(RELEASE_PIECE_BYTES);
  std::vector<int64_t> expected;
  for (int64_t held : {int64_t(5860) * 4096, int64_t(10987) * 4096, 70 * MB + 4096}) {
    for (; held > piece; held -= piece) expected.push_back(piece);
    expected.push_back(held);
  }
  for (int64_t bytes : expected) {
    ASSERT_TRUE(ReleaseQueuedPiece());
    queued -= bytes;
    EXPECT_EQ(QueuedBlockBytes(), queued);
  }
  EXPECT_EQ(queued, 0);
  EXPECT_FALSE(ReleaseQueuedPiece());

  // Given back at once without deferral, and all of the queue at once.
  DeferBlockRelease(false);
  delete new MemoryBitmap(4000, 4000);
  EXPECT_EQ(QueuedBlockBytes(), 0);
  DeferBlockRelease(true);
  delete new MemoryBitmap(4000, 4000);
  delete new MemoryBitmap(5000, 4000);
  EXPECT_EQ(QueuedBlockBytes(), (15626 + 19532) * 4096);
  ReleaseQueuedBlocks();
  EXPECT_EQ(QueuedBlockBytes(), 0);
  EXPECT_FALSE(ReleaseQueuedPiece());
  DeferBlockRelease(false);
}
