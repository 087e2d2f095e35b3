// The file list in this process: selections as the Open files dialog returns
// them, decoding by extension, next and previous, animation.
#include "imagefiles/file_list.h"
#include "view/picture_navigation.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "imagefiles/picture_decoding.h"
#include "raster/bitmap.h"
#include "raster/dib_bitmap.h"
#include "resources/resource_ids.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/picture_test_support.h"
#include "tests/support/win_test_support.h"
#include "view/picture_control.h"

namespace {

// A selection in the dialog's form: strings each ended by a zero, the list
// by an empty string.
std::string Selection(const std::vector<std::string>& parts) {
  std::string selection;
  for (const std::string& part : parts) selection += part + '\0';
  selection += '\0';
  return selection;
}

class FileListTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ASSERT_NE(OpenMainWindow(), nullptr);
    control_ = g_app.picture_control;
    ASSERT_NE(control_, nullptr);
    pictures_ = TestPictureFolder();
  }

  // Copies a test picture into the test's folder under another name.
  std::string Copy(const std::string& picture, const std::string& name) {
    std::string target = folder_ + name;
    EXPECT_TRUE(CopyFileW(Wide(pictures_ + picture).c_str(), Wide(target).c_str(), FALSE)) << target;
    return target;
  }

  void Open(const std::vector<std::string>& parts) {
    std::string selection = Selection(parts);
    OpenSelectedFiles(selection.data());
    FinishShowing();
  }

  int PictureWidth() const { return control_->picture ? control_->picture->Width() : -1; }
  uint32_t PicturePixel(int x, int y) const {
    return control_->picture->Bits()[y * control_->picture->RowSpan() + x];
  }
  void Tick() { SendMessageA(control_->window, WM_TIMER, TIMER_ANIMATION, 0); }

  std::string pictures_;
  PictureControl* control_ = nullptr;
};

}  // namespace

TEST(PathExtension, LastDotBeforeAnySeparator) {
  EXPECT_STREQ(PathExtension("C:\\pictures\\photo.jpg"), ".jpg");
  EXPECT_STREQ(PathExtension("C:\\pictures\\archive.tar.png"), ".png");
  EXPECT_STREQ(PathExtension("C:\\my.pictures\\photo"), "");
  EXPECT_STREQ(PathExtension("C:/my.pictures/photo"), "");
  EXPECT_STREQ(PathExtension("photo."), ".");
  EXPECT_STREQ(PathExtension(""), "");
  EXPECT_STREQ(PathExtension("C:\\PHOTO.JPG"), ".JPG");
}

TEST_F(FileListTest, OneFileIsShownAndNavigationDoesNothing) {
  Open({pictures_ + "landscape.png"});
  ASSERT_EQ(FileCount(&control_->files), 1);
  EXPECT_EQ(FilePath(&control_->files, 0), pictures_ + "landscape.png");
  EXPECT_EQ(PictureWidth(), 400);
  Bitmap* shown = control_->picture;
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(control_->picture, shown);
  ShowPreviousPicture();
  FinishShowing();
  EXPECT_EQ(control_->picture, shown);
  EXPECT_EQ(control_->files.current_index, 0);
}

TEST_F(FileListTest, ThreeFilesInTheDialogsOrderWithoutWrapping) {
  std::string folder = pictures_.substr(0, pictures_.size() - 1);
  Open({folder, "portrait.png", "landscape.png", "small.bmp"});
  ASSERT_EQ(FileCount(&control_->files), 3);
  EXPECT_EQ(FilePath(&control_->files, 0), pictures_ + "portrait.png");
  EXPECT_EQ(FilePath(&control_->files, 2), pictures_ + "small.bmp");
  EXPECT_EQ(PictureWidth(), 90);
  ShowPreviousPicture();   // at the first file: nothing
  FinishShowing();
  EXPECT_EQ(control_->files.current_index, 0);
  EXPECT_EQ(PictureWidth(), 90);
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(control_->files.current_index, 1);
  EXPECT_EQ(PictureWidth(), 400);
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(control_->files.current_index, 2);
  EXPECT_EQ(PictureWidth(), 48);
  Bitmap* last = control_->picture;
  ShowNextPicture();   // at the last file: nothing, not decoded again
  FinishShowing();
  EXPECT_EQ(control_->files.current_index, 2);
  EXPECT_EQ(control_->picture, last);
  ShowPreviousPicture();
  FinishShowing();
  EXPECT_EQ(PictureWidth(), 400);
}

TEST_F(FileListTest, AFileThatFailsInTheMiddle) {
  std::string folder = pictures_.substr(0, pictures_.size() - 1);
  Open({folder, "landscape.png", "corrupt.png", "portrait.png"});
  EXPECT_EQ(PictureWidth(), 400);
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(control_->files.current_index, 1);
  EXPECT_EQ(control_->picture, nullptr);
  // The black frame.
  ComposeFrame(control_, 100, 80);
  for (uint32_t p : ImageOf(control_->frame).pixels) ASSERT_EQ(p, 0xFF000000u);
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(PictureWidth(), 90);
  ShowPreviousPicture();
  FinishShowing();
  EXPECT_EQ(control_->picture, nullptr);
  ShowPreviousPicture();
  FinishShowing();
  EXPECT_EQ(PictureWidth(), 400);
}

// The extension picks the decoder in any ASCII case (cameras write
// DSC_0001.JPG); only the last dot after the last separator counts, and a
// letter folded outside ASCII (a Turkish dotted capital I) does not match.
TEST_F(FileListTest, ExtensionsInAnyAsciiCase) {
  ASSERT_TRUE(CreateFolder(folder_ + "my.pictures"));
  struct {
    const char* picture;
    const char* name;
    PictureKind kind;
    int width;   // -1: black
  } cases[] = {
      {"landscape.png", "photo.png", PICTURE_KIND_PNG, 400},
      {"landscape.png", "PHOTO.PNG", PICTURE_KIND_PNG, 400},
      {"gradient.jpg", "DSC_0001.JPG", PICTURE_KIND_JPEG, 320},
      {"gradient.jpg", "IMG_0002.Jpeg", PICTURE_KIND_JPEG, 320},
      {"still.gif", "Still.GIF", PICTURE_KIND_GIF, 40},
      {"small.bmp", "SCAN.bMp", PICTURE_KIND_BMP, 48},
      {"icon.ico", "FAVICON.ICO", PICTURE_KIND_ICO, 16},
      {"portrait.png", "archive.TAR.Png", PICTURE_KIND_PNG, 90},
      {"gradient.jpg", "photo.jfif", PICTURE_KIND_OTHER, -1},
      {"small.bmp", "photo.PCX", PICTURE_KIND_OTHER, -1},
      {"gradient.jpg", "photo.JPGX", PICTURE_KIND_OTHER, -1},
      {"icon.ico", "photo.\xC4\xB0" "CO", PICTURE_KIND_OTHER, -1},
      {"landscape.png", "my.pictures\\PNG", PICTURE_KIND_OTHER, -1},
  };
  for (const auto& c : cases) {
    std::string path = Copy(c.picture, c.name);
    EXPECT_EQ(PictureKindOf(path.c_str()), c.kind) << c.name;
    Open({path});
    ASSERT_EQ(FileCount(&control_->files), 1);
    EXPECT_EQ(PictureWidth(), c.width) << c.name;
  }
}

// Files dropped on the main window, as Explorer hands them over: a block of
// wide names after a DROPFILES header, sent as WM_DROPFILES. A file comes
// as it is, a picture or not; a folder as the pictures directly inside it,
// in Explorer's order (digits as numbers, case ignored).
TEST_F(FileListTest, FilesDroppedOnTheWindowBecomeTheList) {
  std::string album = folder_ + "\xC3\xA1lbum";
  ASSERT_TRUE(CreateFolder(album));
  ASSERT_TRUE(CreateFolder(album + "\\sub"));
  std::string unicode = Copy("gradient.jpg", "\xC3\x9Cn\xC3\xAF.JPEG");
  std::string notes = folder_ + "notes.txt";
  ASSERT_TRUE(WriteFileBytes(notes, "not a picture"));
  Copy("still.gif", "\xC3\xA1lbum\\Img1.Gif");
  Copy("portrait.png", "\xC3\xA1lbum\\IMG9.png");
  Copy("small.bmp", "\xC3\xA1lbum\\img10.BMP");
  Copy("landscape.png", "\xC3\xA1lbum\\sub\\inner.png");
  ASSERT_TRUE(WriteFileBytes(album + "\\readme.txt", "not a picture either"));

  std::wstring names;
  for (const std::string& path : {unicode, album, notes}) names += Wide(path) + L'\0';
  names += L'\0';
  HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  ASSERT_NE(drop, nullptr);
  DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(drop));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(drop);
  // The window frees the block (DragFinish), as it does Explorer's.
  SendMessageW(g_app.main_window->window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  FinishShowing();

  const std::string expected[] = {unicode, album + "\\Img1.Gif", album + "\\IMG9.png", album + "\\img10.BMP", notes};
  ASSERT_EQ(FileCount(&control_->files), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(FilePath(&control_->files, i), expected[i]) << i;
  EXPECT_EQ(control_->files.current_index, 0);
  // The first is on the screen.
  RefImage picture = ImageOf(control_->picture);
  ASSERT_EQ(picture.width, 320);
  RECT client;
  GetClientRect(control_->window, &client);
  RefImage frame = RefComposeFrame(&picture, client.right, client.bottom, RefEffects());
  std::string first;
  EXPECT_TRUE(PumpUntil([&] { return RefCountDifferences(frame, CaptureClient(control_->window), &first) == 0; }, 3000))
      << first;
  const int widths[] = {40, 90, 48, -1};
  for (int width : widths) {
    ShowNextPicture();
    FinishShowing();
    EXPECT_EQ(PictureWidth(), width);
  }
}

TEST_F(FileListTest, EveryKindDecodes) {
  std::string folder = pictures_.substr(0, pictures_.size() - 1);
  Open({folder, "gradient.jpg", "landscape.png", "still.gif", "small.bmp", "icon.ico"});
  const int widths[] = {320, 400, 40, 48, 16};   // icons are read at 16 x 16
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(PictureWidth(), widths[i]) << i;
    ShowNextPicture();
    FinishShowing();
  }
}

TEST_F(FileListTest, DriveRootKeepsTheDoubledBackslash) {
  Open({"C:\\", "missing-a.jpg", "missing-b.png"});
  ASSERT_EQ(FileCount(&control_->files), 2);
  EXPECT_STREQ(FilePath(&control_->files, 0), "C:\\\\missing-a.jpg");
  EXPECT_STREQ(FilePath(&control_->files, 1), "C:\\\\missing-b.png");
  EXPECT_EQ(control_->picture, nullptr);
}

TEST_F(FileListTest, ANewSetWhileOnTheThirdFile) {
  std::string folder = pictures_.substr(0, pictures_.size() - 1);
  Open({folder, "landscape.png", "portrait.png", "small.bmp"});
  ShowNextPicture();
  FinishShowing();
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(control_->files.current_index, 2);
  Open({folder, "gradient.jpg", "icon.ico"});
  ASSERT_EQ(FileCount(&control_->files), 2);
  EXPECT_EQ(control_->files.current_index, 0);
  EXPECT_EQ(PictureWidth(), 320);
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(PictureWidth(), 16);
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(control_->files.current_index, 1);
}

TEST_F(FileListTest, AnimationTicksAndRewinds) {
  Open({pictures_ + "animation.gif"});
  ASSERT_NE(control_->animation, nullptr);
  ASSERT_EQ(PictureWidth(), 64);
  const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;
  EXPECT_EQ(PicturePixel(10, 10), red);
  Tick();
  EXPECT_EQ(PicturePixel(10, 10), green);
  Tick();
  EXPECT_EQ(PicturePixel(10, 10), blue);
  Tick();   // no further frame: rewound, the last frame stays one more period
  EXPECT_EQ(PicturePixel(10, 10), blue);
  Tick();
  EXPECT_EQ(PicturePixel(10, 10), red);
  Tick();
  EXPECT_EQ(PicturePixel(10, 10), green);
  // The timer drives it by itself.
  EXPECT_TRUE(PumpUntil([&] { return PicturePixel(10, 10) == blue; }, 3000));
  EXPECT_TRUE(PumpUntil([&] { return PicturePixel(10, 10) == red; }, 3000));
}

TEST_F(FileListTest, AStillGifHasNoAnimation) {
  Open({pictures_ + "still.gif"});
  EXPECT_EQ(control_->animation, nullptr);
  EXPECT_EQ(PictureWidth(), 40);
}

TEST_F(FileListTest, MovingOnFromAnAnimationStopsIt) {
  std::string folder = pictures_.substr(0, pictures_.size() - 1);
  Open({folder, "animation.gif", "gradient.jpg"});
  ASSERT_NE(control_->animation, nullptr);
  ShowNextPicture();
  FinishShowing();
  EXPECT_EQ(control_->animation, nullptr);
  Bitmap* still = control_->picture;
  uint32_t pixel = PicturePixel(5, 5);
  Tick();
  PumpMessages(300);
  EXPECT_EQ(control_->picture, still);
  EXPECT_EQ(PicturePixel(5, 5), pixel);
}

TEST_F(FileListTest, CommandsReachTheList) {
  std::string folder = pictures_.substr(0, pictures_.size() - 1);
  Open({folder, "landscape.png", "portrait.png"});
  HWND main = g_app.main_window->window;
  SendMessageA(main, WM_COMMAND, CMD_NEXT, 0);
  EXPECT_EQ(control_->files.current_index, 1);
  SendMessageA(main, WM_COMMAND, CMD_PREVIOUS, 0);
  EXPECT_EQ(control_->files.current_index, 0);
}
