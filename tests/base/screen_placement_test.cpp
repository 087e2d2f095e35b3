#include "base/screen_placement.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

const int32_t MAX = std::numeric_limits<int32_t>::max();
const int32_t MIN = std::numeric_limits<int32_t>::min();

// The main monitor with a taskbar along its bottom, and one left of it.
const ScreenRect MAIN = {0, 0, 1280, 1024};
const ScreenRect MAIN_WORK = {0, 0, 1280, 984};
const ScreenRect LEFT = {-1920, -200, 0, 880};

struct Case {
  const char* what;
  int32_t x, y, width, height;
  ScreenRect monitor, work_area;
  ScreenPoint placed;
};

const Case CASES[] = {
    {"wholly on the monitor", 50, 50, 1024, 768, MAIN, MAIN_WORK, {50, 50}},
    {"partly left of it", -200, 30, 800, 600, MAIN, MAIN_WORK, {-200, 30}},
    {"over the taskbar", 100, 900, 400, 400, MAIN, MAIN_WORK, {100, 900}},
    {"one pixel on its right edge", 1279, 10, 400, 300, MAIN, MAIN_WORK, {1279, 10}},
    {"one pixel on its top edge", 10, -299, 400, 300, MAIN, MAIN_WORK, {10, -299}},
    {"touching its right edge from outside", 1280, 10, 400, 300, MAIN, MAIN_WORK, {880, 10}},
    {"far left of it", -3000, 100, 630, 210, MAIN, MAIN_WORK, {0, 100}},
    {"above it", 100, -500, 400, 400, MAIN, MAIN_WORK, {100, 0}},
    {"below it: above the taskbar", 100, 2000, 400, 400, MAIN, MAIN_WORK, {100, 584}},
    {"beyond a corner", 5000, 5000, 620, 505, MAIN, MAIN_WORK, {660, 479}},
    {"larger than the work area", -5000, -5000, 2000, 1500, MAIN, MAIN_WORK, {0, 0}},
    {"on the left monitor", -1500, -100, 800, 600, LEFT, LEFT, {-1500, -100}},
    {"left of the left monitor", -5000, 200, 800, 600, LEFT, LEFT, {-1920, 200}},
    {"a minimized window's place", -32000, -32000, 160, 28, MAIN, MAIN_WORK, {0, 0}},
    {"no size, on the monitor", 100, 100, 0, 0, MAIN, MAIN_WORK, {100, 100}},
    {"no size, just beside it", 1280, -7, 0, -5, MAIN, MAIN_WORK, {1279, 0}},
    {"far edges past the 32-bit limit", MAX - 10, 5, 1000, MAX, MAIN, MAIN_WORK, {280, 0}},
    {"the most negative corner", MIN, MIN, MAX, MAX, MAIN, MAIN_WORK, {0, 0}},
};

}  // namespace

TEST(ScreenPlacement, ARememberedPlaceStaysOnAMonitorOrComesOntoTheNearest) {
  for (const Case& c : CASES) {
    ScreenPoint p = PlaceOnMonitor(c.x, c.y, c.width, c.height, c.monitor, c.work_area);
    EXPECT_EQ(p.x, c.placed.x) << c.what;
    EXPECT_EQ(p.y, c.placed.y) << c.what;
  }
}

TEST(ScreenPlacement, TheRectangleOfAWindow) {
  ScreenRect r = WindowRectAt(-200, 30, 800, 600);
  EXPECT_EQ(r.left, -200);
  EXPECT_EQ(r.top, 30);
  EXPECT_EQ(r.right, 600);
  EXPECT_EQ(r.bottom, 630);
  r = WindowRectAt(10, 20, 0, -5);   // at least one pixel
  EXPECT_EQ(r.right, 11);
  EXPECT_EQ(r.bottom, 21);
  r = WindowRectAt(MAX - 1, MIN, 100, MAX);
  EXPECT_EQ(r.right, MAX);
  EXPECT_EQ(r.bottom, -1);
}
