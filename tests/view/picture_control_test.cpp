// The picture control in this process: the fit, the composed frame against an
// independent model, the effect order, the paint path and the menu timer.
#include "view/picture_control.h"

#include <gtest/gtest.h>

#include <string>

#include "app/main_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "raster/dib_bitmap.h"
#include "raster/memory_bitmap.h"
#include "resources/resource_ids.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/picture_test_support.h"
#include "tests/support/reference_frame.h"
#include "tests/support/win_test_support.h"

namespace {

class PictureControlTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ASSERT_NE(OpenMainWindow(), nullptr);
    control_ = g_app.picture_control;
    ASSERT_NE(control_, nullptr);
  }

  void SetPicture(const RefImage& image) {
    delete control_->picture;
    control_->picture = BitmapOf(image);
  }

  RefEffects Effects() const {
    RefEffects e;
    e.black_and_white = control_->black_and_white;
    e.blur = control_->blur;
    e.flip_vertically = control_->flip_vertically;
    e.flip_horizontally = control_->flip_horizontally;
    e.negative = control_->negative;
    e.log_transformation = control_->log_transformation;
    e.illinify = control_->illinify;
    e.rotation = control_->rotation;
    return e;
  }

  // Composes a frame of the given size and compares it with the model.
  void ExpectFrameMatchesModel(int width, int height) {
    ComposeFrame(control_, width, height);
    ASSERT_NE(control_->frame, nullptr);
    RefImage picture = ImageOf(control_->picture);
    RefImage expected =
        RefComposeFrame(control_->picture ? &picture : nullptr, width, height, Effects());
    std::string first;
    EXPECT_EQ(RefCountDifferences(expected, ImageOf(control_->frame), &first), 0) << first;
  }

  UINT MenuState(int command) {
    return GetMenuState(GetMenu(g_app.main_window->window), command, MF_BYCOMMAND);
  }
  void MenuTick() { SendMessageA(control_->window, WM_TIMER, TIMER_MENU_SYNC, 0); }

  PictureControl* control_ = nullptr;
};

}  // namespace

TEST(PictureFit, WorkedValues) {
  PictureFit fit;
  ASSERT_TRUE(FitPicture(1000, 500, 400, 300, &fit));
  EXPECT_EQ(fit.width, 666);
  EXPECT_EQ(fit.height, 500);
  EXPECT_EQ(fit.x, 167);
  EXPECT_EQ(fit.y, 0);
  ASSERT_TRUE(FitPicture(1000, 1000, 400, 300, &fit));
  EXPECT_EQ(fit.width, 1000);
  EXPECT_EQ(fit.height, 750);
  EXPECT_EQ(fit.x, 0);
  EXPECT_EQ(fit.y, 125);
}

TEST(PictureFit, EqualRatiosFillTheFrame) {
  PictureFit fit;
  ASSERT_TRUE(FitPicture(800, 600, 400, 300, &fit));
  EXPECT_EQ(fit.x, 0);
  EXPECT_EQ(fit.y, 0);
  EXPECT_EQ(fit.width, 800);
  EXPECT_EQ(fit.height, 600);
  // Equal ratios whose doubles differ only in rounding take the second branch.
  ASSERT_TRUE(FitPicture(1920, 1080, 16, 9, &fit));
  EXPECT_EQ(fit.width, 1920);
  EXPECT_EQ(fit.height, 9 * 1920 / 16);
}

TEST(PictureFit, SmallPicturesAreEnlarged) {
  PictureFit fit;
  ASSERT_TRUE(FitPicture(640, 480, 4, 2, &fit));
  EXPECT_EQ(fit.width, 640);
  EXPECT_EQ(fit.height, 320);
  EXPECT_EQ(fit.y, 80);
}

TEST(PictureFit, ProductsDoNotOverflow) {
  PictureFit fit;
  // 1,000,000 x 4000 would overflow 32 bits.
  ASSERT_TRUE(FitPicture(4000, 4000, 1000000, 3000000, &fit));
  EXPECT_EQ(fit.height, 4000);
  EXPECT_EQ(fit.width, 1333);
  EXPECT_EQ(fit.x, 1333);
  ASSERT_TRUE(FitPicture(3840, 2160, 0x1FFFFFFF, 3, &fit));
  EXPECT_EQ(fit.width, 3840);
  EXPECT_EQ(fit.height, 0);
}

TEST(PictureFit, NothingForEmptySizes) {
  PictureFit fit;
  EXPECT_FALSE(FitPicture(1000, 500, 0, 300, &fit));
  EXPECT_FALSE(FitPicture(1000, 500, 400, 0, &fit));
  EXPECT_FALSE(FitPicture(0, 500, 400, 300, &fit));
  EXPECT_FALSE(FitPicture(1000, 0, 400, 300, &fit));
}

TEST_F(PictureControlTest, StartsEmptyAndRegistersItself) {
  EXPECT_EQ(control_->window, GetDlgItem(g_app.main_window->window, IDC_PICTURE));
  EXPECT_EQ(control_->picture, nullptr);
  EXPECT_EQ(FileCount(&control_->files), 0);
  EXPECT_EQ(control_->files.current_index, 0);
  EXPECT_EQ(control_->rotation, 0);
  ExpectFrameMatchesModel(320, 200);   // all black
  EXPECT_EQ(ImageOf(control_->frame).at(10, 10), 0xFF000000u);
}

TEST_F(PictureControlTest, FitsAndCentresOnBlack) {
  SetPicture(PatternImage(400, 300, 3));
  ExpectFrameMatchesModel(1000, 500);
  RefImage frame = ImageOf(control_->frame);
  EXPECT_EQ(frame.at(166, 250), 0xFF000000u);   // left bar
  EXPECT_EQ(frame.at(167 + 666, 250), 0xFF000000u);   // right bar
  EXPECT_EQ(frame.at(167, 0), PatternImage(400, 300, 3).at(0, 0));
  EXPECT_EQ(frame.at(167 + 665, 499), PatternImage(400, 300, 3).at(399, 299));
  ExpectFrameMatchesModel(1000, 1000);
  frame = ImageOf(control_->frame);
  EXPECT_EQ(frame.at(500, 124), 0xFF000000u);
  EXPECT_EQ(frame.at(0, 125), PatternImage(400, 300, 3).at(0, 0));
  EXPECT_EQ(frame.at(500, 875), 0xFF000000u);
  ExpectFrameMatchesModel(800, 600);
  ExpectFrameMatchesModel(97, 1003);
}

TEST_F(PictureControlTest, FrameAndScratchAreReused) {
  SetPicture(PatternImage(40, 30, 1));
  ComposeFrame(control_, 600, 400);
  DibBitmap* frame = control_->frame;
  DibBitmap* scratch = control_->scratch;
  ComposeFrame(control_, 300, 200);
  ComposeFrame(control_, 600, 400);
  EXPECT_EQ(control_->frame, frame);
  EXPECT_EQ(control_->scratch, scratch);
  EXPECT_EQ(control_->frame->Width(), 600);
  EXPECT_EQ(control_->scratch->Height(), 400);
}

TEST_F(PictureControlTest, PictureWithoutAreaDrawsNothing) {
  delete control_->picture;
  control_->picture = new MemoryBitmap(0, 0);
  ExpectFrameMatchesModel(200, 100);
  RefImage frame = ImageOf(control_->frame);
  for (uint32_t p : frame.pixels) ASSERT_EQ(p, 0xFF000000u);
}

TEST_F(PictureControlTest, EveryEffectAloneMatchesTheModel) {
  SetPicture(PatternImage(400, 300, 17));
  unsigned char* switches[] = {&control_->black_and_white, &control_->blur,
                               &control_->flip_vertically, &control_->flip_horizontally,
                               &control_->negative,        &control_->log_transformation,
                               &control_->illinify};
  for (unsigned char* effect : switches) {
    ToggleEffect(control_, effect);
    ExpectFrameMatchesModel(1000, 500);
    ExpectFrameMatchesModel(600, 700);
    ToggleEffect(control_, effect);
  }
  for (int degrees : {90, 180, 270}) {
    SetRotation(control_, degrees);
    ExpectFrameMatchesModel(1000, 500);
    ExpectFrameMatchesModel(301, 400);
  }
  SetRotation(control_, 0);
}

TEST_F(PictureControlTest, AllEffectsTogetherMatchTheModel) {
  SetPicture(PatternImage(123, 77, 40));
  control_->black_and_white = control_->blur = control_->flip_vertically = 1;
  control_->flip_horizontally = control_->negative = control_->log_transformation = 1;
  control_->illinify = 1;
  control_->rotation = 90;
  ExpectFrameMatchesModel(640, 360);
}

TEST_F(PictureControlTest, BlackAndWhiteRunsBeforeNegative) {
  SetPicture(PatternImage(400, 300, 9));
  control_->black_and_white = 1;
  control_->negative = 1;
  ExpectFrameMatchesModel(1000, 500);
  RefImage frame = ImageOf(control_->frame);
  uint32_t source = PatternImage(400, 300, 9).at(0, 0);
  int gray = (((source >> 16) & 255) + ((source >> 8) & 255) + (source & 255)) / 3;
  int negative = 255 - gray;
  EXPECT_EQ(frame.at(167, 0) & 0xFFFFFF, uint32_t(negative * 0x010101));
  EXPECT_EQ(frame.at(10, 10), 0xFF000000u);   // the bars stay black
}

TEST_F(PictureControlTest, RectangleIsKeptAfterAFlip) {
  // 400 x 300 in 1000 x 500: R = (167, 0, 666, 500). After the horizontal
  // flip the picture spans columns 168 to 833 (column x takes 1000 - x), but
  // the negative still covers 167 to 832: column 167 is a negated black bar
  // pixel (white) and column 833 keeps its unnegated picture pixel.
  RefImage picture = PatternImage(400, 300, 21);
  SetPicture(picture);
  control_->flip_horizontally = 1;
  control_->negative = 1;
  ExpectFrameMatchesModel(1000, 500);
  RefImage frame = ImageOf(control_->frame);
  EXPECT_EQ(frame.at(167, 100) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(frame.at(833, 0), picture.at(0, 0));
  EXPECT_EQ(frame.at(834, 0), 0xFF000000u);
}

TEST_F(PictureControlTest, BlurMixesTheEdgeWithTheBars) {
  RefImage white(400, 300, 0xFFFFFFFFu);
  SetPicture(white);
  control_->blur = 1;
  ExpectFrameMatchesModel(1000, 500);
  RefImage frame = ImageOf(control_->frame);
  EXPECT_NE(frame.at(166, 250) & 0xFFFFFF, 0u);   // the bar beside the picture turns gray
  EXPECT_EQ(frame.at(165, 250) & 0xFFFFFF, 0u);
  EXPECT_EQ(frame.at(500, 250) & 0xFF, 251u);     // white becomes 251
}

TEST_F(PictureControlTest, TogglingTwiceRestoresThePicture) {
  SetPicture(PatternImage(50, 40, 2));
  ComposeFrame(control_, 300, 300);
  RefImage before = ImageOf(control_->frame);
  ToggleEffect(control_, &control_->illinify);
  ComposeFrame(control_, 300, 300);
  EXPECT_NE(RefCountDifferences(before, ImageOf(control_->frame), nullptr), 0);
  ToggleEffect(control_, &control_->illinify);
  ComposeFrame(control_, 300, 300);
  EXPECT_EQ(RefCountDifferences(before, ImageOf(control_->frame), nullptr), 0);
}

TEST_F(PictureControlTest, PaintCopiesTheFrameToTheWindow) {
  HWND main = g_app.main_window->window;
  SetWindowPos(main, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
  PumpMessages(50);
  SetPicture(PatternImage(400, 300, 5));
  control_->negative = 1;
  InvalidateRect(control_->window, nullptr, FALSE);
  UpdateWindow(control_->window);
  RECT client;
  GetClientRect(control_->window, &client);
  ASSERT_GT(client.right, 0);
  ASSERT_NE(control_->frame, nullptr);
  EXPECT_EQ(control_->frame->Width(), client.right);
  EXPECT_EQ(control_->frame->Height(), client.bottom);
  // What reached the window: read back through a memory DC.
  HDC window_dc = GetDC(control_->window);
  DibBitmap capture(client.right, client.bottom);
  BitBlt(capture.DeviceContext(), 0, 0, client.right, client.bottom, window_dc, 0, 0, SRCCOPY);
  ReleaseDC(control_->window, window_dc);
  RefImage picture = ImageOf(control_->picture);
  RefImage expected = RefComposeFrame(&picture, client.right, client.bottom, Effects());
  std::string first;
  EXPECT_EQ(RefCountDifferences(expected, ImageOf(&capture), &first), 0) << first;
}

TEST_F(PictureControlTest, MenuFollowsTheListPosition) {
  MenuTick();
  EXPECT_TRUE(MenuState(CMD_NEXT) & MF_GRAYED);
  EXPECT_TRUE(MenuState(CMD_PREVIOUS) & MF_GRAYED);
  AppendFilePath(&control_->files, "C:\\a.jpg");
  MenuTick();
  EXPECT_TRUE(MenuState(CMD_NEXT) & MF_GRAYED);   // one file: both grey
  EXPECT_TRUE(MenuState(CMD_PREVIOUS) & MF_GRAYED);
  AppendFilePath(&control_->files, "C:\\b.jpg");
  AppendFilePath(&control_->files, "C:\\c.jpg");
  control_->files.current_index = 0;
  MenuTick();
  EXPECT_FALSE(MenuState(CMD_NEXT) & MF_GRAYED);
  EXPECT_TRUE(MenuState(CMD_PREVIOUS) & MF_GRAYED);
  control_->files.current_index = 1;
  MenuTick();
  EXPECT_FALSE(MenuState(CMD_NEXT) & MF_GRAYED);
  EXPECT_FALSE(MenuState(CMD_PREVIOUS) & MF_GRAYED);
  control_->files.current_index = 2;
  MenuTick();
  EXPECT_TRUE(MenuState(CMD_NEXT) & MF_GRAYED);
  EXPECT_FALSE(MenuState(CMD_PREVIOUS) & MF_GRAYED);
  ClearFileList(&control_->files);
  control_->files.current_index = 0;
  MenuTick();
  EXPECT_TRUE(MenuState(CMD_NEXT) & MF_GRAYED);
  EXPECT_TRUE(MenuState(CMD_PREVIOUS) & MF_GRAYED);
}

TEST_F(PictureControlTest, MenuChecksFollowTheSwitches) {
  const int effects[] = {CMD_BLACK_AND_WHITE, CMD_BLUR,     CMD_FLIP_VERTICALLY,
                         CMD_FLIP_HORIZONTALLY, CMD_NEGATIVE, CMD_LOG_TRANSFORMATION,
                         CMD_ILLINIFY};
  for (int command : effects) {
    SendMessageA(g_app.main_window->window, WM_COMMAND, command, 0);
    EXPECT_FALSE(MenuState(command) & MF_CHECKED);   // not before the next tick
    MenuTick();
    EXPECT_TRUE(MenuState(command) & MF_CHECKED);
    SendMessageA(g_app.main_window->window, WM_COMMAND, command, 0);
    MenuTick();
    EXPECT_FALSE(MenuState(command) & MF_CHECKED);
  }
  const int rotations[] = {CMD_ROTATE_0, CMD_ROTATE_90, CMD_ROTATE_180, CMD_ROTATE_270};
  for (int command : rotations) {
    SendMessageA(g_app.main_window->window, WM_COMMAND, command, 0);
    MenuTick();
    for (int other : rotations) {
      EXPECT_EQ((MenuState(other) & MF_CHECKED) != 0, other == command) << command << " " << other;
    }
  }
  // An unknown angle leaves the marks as they were.
  control_->rotation = 45;
  MenuTick();
  EXPECT_TRUE(MenuState(CMD_ROTATE_270) & MF_CHECKED);
}

TEST_F(PictureControlTest, MenuTimerRunsByItself) {
  AppendFilePath(&control_->files, "C:\\a.jpg");
  AppendFilePath(&control_->files, "C:\\b.jpg");
  control_->files.current_index = 1;
  control_->blur = 1;
  EXPECT_TRUE(PumpUntil([&] { return (MenuState(CMD_BLUR) & MF_CHECKED) != 0; }, 3000));
  EXPECT_FALSE(MenuState(CMD_PREVIOUS) & MF_GRAYED);
  EXPECT_TRUE(MenuState(CMD_NEXT) & MF_GRAYED);
}

TEST_F(PictureControlTest, DestroyReleasesEverything) {
  SetPicture(PatternImage(10, 10, 1));
  AppendFilePath(&control_->files, "C:\\a.jpg");
  ComposeFrame(control_, 50, 50);
  DestroyWindow(g_app.main_window->window);
  PumpMessages(50);
  EXPECT_EQ(g_app.picture_control, nullptr);
}

TEST_F(PictureControlTest, AFrameWithoutAreaPaintsNothing) {
  SetPicture(PatternImage(40, 30, 8));
  ComposeFrame(control_, 200, 100);
  ASSERT_NE(control_->frame, nullptr);
  // The main window keeps the control filling it; shrink the control itself.
  SetWindowPos(control_->window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
  InvalidateRect(control_->window, nullptr, FALSE);
  UpdateWindow(control_->window);
  EXPECT_EQ(control_->frame->Width(), 200);   // not composed again
  ShowWindow(g_app.main_window->window, SW_MINIMIZE);
  PumpMessages(100);
  ShowWindow(g_app.main_window->window, SW_RESTORE);
  PumpMessages(100);
  EXPECT_EQ(g_app.picture_control, control_);
}
