#include "raster/cpu_features.h"

#include <gtest/gtest.h>

namespace {

int fill_count = 0;
SimdLevel filled_for = SIMD_SCALAR;

void RecordFill(SimdLevel level) {
  ++fill_count;
  filled_for = level;
}

}  // namespace

TEST(CpuFeaturesTest, RegisteredTablesAreRefilledForEveryForcedLevel) {
  SimdLevel detected = DetectedSimdLevel();
  ASSERT_TRUE(RegisterKernelTable(RecordFill));
  EXPECT_EQ(fill_count, 1);  // filled at once
  EXPECT_EQ(filled_for, ActiveSimdLevel());
  for (int level = SIMD_SCALAR; level <= detected; ++level) {
    SetSimdLevel(static_cast<SimdLevel>(level));
    EXPECT_EQ(ActiveSimdLevel(), level);
    EXPECT_EQ(filled_for, level);
  }
  EXPECT_EQ(fill_count, 2 + detected);
  // Never beyond what the processor has, never below scalar.
  SetSimdLevel(SIMD_AVX512);
  EXPECT_EQ(filled_for, detected);
  SetSimdLevel(static_cast<SimdLevel>(-1));
  EXPECT_EQ(filled_for, SIMD_SCALAR);
  SetSimdLevel(detected);
  EXPECT_EQ(filled_for, detected);
}

TEST(CpuFeaturesTest, NoFillerIsRefused) { EXPECT_FALSE(RegisterKernelTable(nullptr)); }

#if defined(__x86_64__) || defined(_M_X64)
TEST(CpuFeaturesTest, X86ProcessorsHaveAtLeastSse2) { EXPECT_GE(DetectedSimdLevel(), SIMD_SSE2); }
#endif
