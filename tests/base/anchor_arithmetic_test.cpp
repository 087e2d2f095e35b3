#include "base/anchor_arithmetic.h"

#include <gtest/gtest.h>

#include <climits>

TEST(AnchorArithmetic, Share) {
  EXPECT_EQ(AnchorShare(100, 1.0f), 100);
  EXPECT_EQ(AnchorShare(-100, 1.0f), -100);
  EXPECT_EQ(AnchorShare(100, 2.5f), 100);   // at least 1 means all of it
  EXPECT_EQ(AnchorShare(100, 0.5f), 50);
  EXPECT_EQ(AnchorShare(7, 0.5f), 3);       // truncated toward zero
  EXPECT_EQ(AnchorShare(-7, 0.5f), -3);
  EXPECT_EQ(AnchorShare(99, 0.333f), 32);
  EXPECT_EQ(AnchorShare(100, 0.0f), 0);
  EXPECT_EQ(AnchorShare(100, -0.5f), 0);
  EXPECT_EQ(AnchorShare(INT_MAX, 0.5f), 1073741823);
  EXPECT_EQ(AnchorShare(INT_MIN, 0.99f), -2126008832);   // 0.99f is slightly above 0.99
}

TEST(AnchorArithmetic, ChildFillingTheClientFollowsBothEdges) {
  // The picture control: left and top stay, right and bottom follow fully.
  AnchorRect added = {0, 0, 463, 286};
  AnchorRect r = ArrangeAnchoredRect(added, 1008 - 463, 709 - 286, 0, 0, 1, 1);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 1008);
  EXPECT_EQ(r.bottom, 709);
}

TEST(AnchorArithmetic, ShrinkingNeverTurnsARectangleInsideOut) {
  AnchorRect added = {10, 20, 110, 70};
  // A button anchored to the bottom right moves; one stretched shrinks to nothing.
  AnchorRect moved = ArrangeAnchoredRect(added, -50, -30, 1, 1, 1, 1);
  EXPECT_EQ(moved.left, -40);
  EXPECT_EQ(moved.right, 60);
  EXPECT_EQ(moved.top, -10);
  EXPECT_EQ(moved.bottom, 40);
  AnchorRect squeezed = ArrangeAnchoredRect(added, -500, -500, 0, 0, 1, 1);
  EXPECT_EQ(squeezed.left, 10);
  EXPECT_EQ(squeezed.right, 10);
  EXPECT_EQ(squeezed.top, 20);
  EXPECT_EQ(squeezed.bottom, 20);
  AnchorRect half = ArrangeAnchoredRect(added, 101, 0, 0.5f, 0, 1, 0);
  EXPECT_EQ(half.left, 60);
  EXPECT_EQ(half.right, 211);
}

TEST(AnchorArithmetic, ScalingBetweenDpiScales) {
  AnchorRect r = {10, 20, 30, 41};
  AnchorRect up = ScaleAnchorRect(r, 384, 256);
  EXPECT_EQ(up.left, 15);
  EXPECT_EQ(up.top, 30);
  EXPECT_EQ(up.right, 45);
  EXPECT_EQ(up.bottom, 61);   // 61.5 truncated
  AnchorRect same = ScaleAnchorRect(r, 5, 0);
  EXPECT_EQ(same.bottom, 41);
  AnchorRect big = ScaleAnchorRect({INT_MAX, 0, 0, 0}, 384, 256);   // no overflow inside
  EXPECT_EQ(static_cast<int64_t>(big.left), static_cast<int32_t>(static_cast<uint32_t>(3221225470u)));
}
