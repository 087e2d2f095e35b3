#include "base/growable_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(GrowableBuffer, AllocationRuleForLargeSteps) {
  // extra = max(n / 2, step), rounded down to whole pages and kept within
  // 4096 and 4 MiB; the allocation fills whole pages less 96 bytes.
  EXPECT_EQ(GrowableBufferAllocationFor(1, 4096), 4000u);
  EXPECT_EQ(GrowableBufferAllocationFor(10000, 4096), 12192u);
  EXPECT_EQ(GrowableBufferAllocationFor(100000, 65536), 163744u);
  EXPECT_EQ(GrowableBufferAllocationFor(20000000, 4096), 24190880u);  // extra capped at 4 MiB
  EXPECT_EQ(GrowableBufferAllocationFor(8192 + 100, 4096 + 100), 12192u);  // step rounded down
}

TEST(GrowableBuffer, AllocationRuleForSmallSteps) {
  EXPECT_EQ(GrowableBufferAllocationFor(100, 16), 150u);
  EXPECT_EQ(GrowableBufferAllocationFor(10, 16), 26u);
  EXPECT_EQ(GrowableBufferAllocationFor(1, 0), 1u);
}

TEST(GrowableBuffer, GrowsOnlyBeyondTheAllocation) {
  GrowableBuffer b = MakeGrowableBuffer(16);
  ASSERT_TRUE(SetBufferSize(&b, 100, false));
  EXPECT_EQ(b.allocated, 150u);
  EXPECT_EQ(b.used, 100u);
  memset(b.data, 0xAB, 100);
  unsigned char* before = b.data;
  ASSERT_TRUE(SetBufferSize(&b, 150, false));
  EXPECT_EQ(b.data, before);
  EXPECT_EQ(b.allocated, 150u);
  ASSERT_TRUE(SetBufferSize(&b, 151, false));
  EXPECT_EQ(b.allocated, 151u + 75u);
  EXPECT_EQ(b.data[99], 0xAB);   // contents kept across the reallocation
  // Without permission it never shrinks.
  ASSERT_TRUE(SetBufferSize(&b, 1, false));
  EXPECT_EQ(b.allocated, 226u);
  EXPECT_EQ(b.used, 1u);
  FreeBuffer(&b);
  EXPECT_EQ(b.data, nullptr);
  EXPECT_EQ(b.allocated, 0u);
}

TEST(GrowableBuffer, ShrinksBelowTheThreshold) {
  // threshold = max(min(allocation / 2, allocation - 4 * step), 1)
  GrowableBuffer b = MakeGrowableBuffer(16);
  ASSERT_TRUE(SetBufferSize(&b, 100, false));   // allocation 150, threshold min(75, 86) = 75
  ASSERT_TRUE(SetBufferSize(&b, 75, true));
  EXPECT_EQ(b.allocated, 150u);
  ASSERT_TRUE(SetBufferSize(&b, 74, true));
  EXPECT_EQ(b.allocated, 74u + 37u);
  EXPECT_EQ(b.used, 74u);

  // With a large step, allocation - 4 * step is negative: only 0 shrinks,
  // and a size of 0 frees the memory.
  GrowableBuffer big = MakeGrowableBuffer(4096);
  ASSERT_TRUE(SetBufferSize(&big, 10000, false));
  EXPECT_EQ(big.allocated, 12192u);
  ASSERT_TRUE(SetBufferSize(&big, 1, true));
  EXPECT_EQ(big.allocated, 12192u);
  ASSERT_TRUE(SetBufferSize(&big, 0, true));
  EXPECT_EQ(big.data, nullptr);
  EXPECT_EQ(big.allocated, 0u);
  EXPECT_EQ(big.used, 0u);

  // Where allocation - 4 * step is the smaller bound.
  GrowableBuffer mid = MakeGrowableBuffer(4);
  ASSERT_TRUE(SetBufferSize(&mid, 20, false));   // allocation 30, threshold min(15, 14) = 14
  ASSERT_TRUE(SetBufferSize(&mid, 14, true));
  EXPECT_EQ(mid.allocated, 30u);
  ASSERT_TRUE(SetBufferSize(&mid, 13, true));
  EXPECT_EQ(mid.allocated, 13u + 6u);
  FreeBuffer(&b);
  FreeBuffer(&mid);
}

TEST(GrowableBuffer, OverflowingSizesFailAndLeaveTheBufferAlone) {
  GrowableBuffer b = MakeGrowableBuffer(4096);
  ASSERT_TRUE(SetBufferSize(&b, 10, false));
  b.data[0] = 7;
  EXPECT_FALSE(SetBufferSize(&b, SIZE_MAX, false));
  EXPECT_FALSE(SetBufferSize(&b, SIZE_MAX - 100, false));
  EXPECT_EQ(GrowableBufferAllocationFor(SIZE_MAX - 10, 16), 0u);
  EXPECT_EQ(GrowableBufferAllocationFor(SIZE_MAX / 3 * 2 + 10, 16), 0u);
  // Representable but far beyond any memory: the allocation fails cleanly.
  EXPECT_FALSE(SetBufferSize(&b, SIZE_MAX / 4, false));
  EXPECT_EQ(b.used, 10u);
  EXPECT_EQ(b.data[0], 7);
  EXPECT_FALSE(AppendToBuffer(&b, "x", SIZE_MAX));
  EXPECT_EQ(b.used, 10u);
  FreeBuffer(&b);
}

TEST(GrowableBuffer, AppendsOneItemAtATime) {
  GrowableBuffer b = MakeGrowableBuffer(64);
  size_t reallocations = 0;
  unsigned char* last = nullptr;
  for (int i = 0; i < 10000; ++i) {
    unsigned char byte = static_cast<unsigned char>(i);
    ASSERT_TRUE(AppendToBuffer(&b, &byte, 1));
    if (b.data != last) ++reallocations;
    last = b.data;
  }
  EXPECT_EQ(b.used, 10000u);
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(b.data[i], static_cast<unsigned char>(i));
  EXPECT_LT(reallocations, 40u);   // growth by half keeps appends cheap
  FreeBuffer(&b);
}
