// The schedule of decoding in the real picture control, in this process:
// the picture shown after Next or Previous is the same whether it was
// prepared, half prepared or decoded afresh into the memory of the picture
// it replaces; a file changed or deleted after its preparation is never
// shown stale; the direction of the last move decides the neighbour; the
// budget and the animation of a shown GIF are respected; while a large
// picture decodes, the window answers and the latest key wins.
#include "view/picture_schedule.h"

#include <gtest/gtest.h>

#include <gif_lib.h>
#include <jpeglib.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "base/app_state.h"
#include "imagefiles/file_list.h"
#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/gif_frame_reader.h"
#include "raster/dib_bitmap.h"
#include "raster/memory_bitmap.h"
#include "resources/resource_ids.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/picture_test_support.h"
#include "tests/support/win_test_support.h"
#include "view/picture_control.h"
#include "view/picture_navigation.h"

namespace {

// The dialog's form for several files of one folder: the folder, then the
// names, each ended by a zero, the list by an empty string.
std::string Selection(const std::string& folder, const std::vector<std::string>& names) {
  std::string selection = folder + '\0';
  for (const std::string& name : names) selection += name + '\0';
  selection += '\0';
  return selection;
}

// A sequential JPEG of a smooth pattern, big enough to take many slices.
bool WriteJpeg(const std::string& path, int width, int height, int seed) {
  FILE* file = _wfopen(Wide(path).c_str(), L"wb");
  if (!file) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 85, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      row[x * 3] = static_cast<unsigned char>((x * 7 + seed) ^ y);
      row[x * 3 + 1] = static_cast<unsigned char>(y * 3 + seed);
      row[x * 3 + 2] = static_cast<unsigned char>((x + y) / 5 + seed * 11);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  fclose(file);
  return true;
}

class PicturePreparationTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ASSERT_NE(OpenMainWindow(), nullptr);
    control_ = g_app.picture_control;
    ASSERT_NE(control_, nullptr);
    pictures_ = TestPictureFolder();
    for (const char* name : {"gradient.jpg", "landscape.png", "portrait.png", "corrupt.png", "animation.gif",
                             "still.gif", "small.bmp", "icon.ico"}) {
      Copy(name, name);
    }
  }

  // Copies a test picture into the test's folder; returns the copy's path.
  std::string Copy(const std::string& picture, const std::string& name) {
    std::string target = folder_ + name;
    EXPECT_TRUE(CopyFileW(Wide(pictures_ + picture).c_str(), Wide(target).c_str(), FALSE)) << target;
    return target;
  }

  // Opens files of the test's folder, given by their paths.
  void Open(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& path : paths) names.push_back(path.substr(folder_.size()));
    std::string selection = Selection(folder_.substr(0, folder_.size() - 1), names);
    OpenSelectedFiles(selection.data());
    FinishShowing();
  }

  // Runs the decoding timer until nothing remains to be done.
  void PrepareFully() { FinishPictureWork(); }
  void Next() {
    ShowNextPicture();
    FinishShowing();
  }
  void Previous() {
    ShowPreviousPicture();
    FinishShowing();
  }
  PictureSchedule* Schedule() { return &control_->schedule; }

  // The picture of a plain decode into a new bitmap, as the shown one is
  // made (a GIF's first frame drawn by its frame reader).
  RefImage Plain(const std::string& path) {
    Bitmap* bitmap = LoadPictureFile(path.c_str(), nullptr);
    if (!bitmap) return RefImage();
    if (IsGifPath(path.c_str())) {
      GifFrameReader* reader = OpenGifFrameReader(path.c_str());
      ReadNextGifFrame(reader, bitmap);
      CloseGifFrameReader(reader);
    }
    RefImage image = ImageOf(bitmap);
    delete bitmap;
    return image;
  }

  void ExpectShown(const std::string& path) {
    ASSERT_NE(control_->picture, nullptr) << path;
    RefImage expected = Plain(path);
    RefImage shown = ImageOf(control_->picture);
    ASSERT_EQ(shown.width, expected.width) << path;
    ASSERT_EQ(shown.height, expected.height) << path;
    std::string first;
    EXPECT_EQ(RefCountDifferences(expected, shown, &first), 0) << path << ": " << first;
  }

  void ExpectBlackFrame() {
    EXPECT_EQ(control_->picture, nullptr);
    ComposeFrame(control_, 64, 48);
    for (uint32_t p : ImageOf(control_->frame).pixels) ASSERT_EQ(p, 0xFF000000u);
  }

  std::string pictures_;
  PictureControl* control_ = nullptr;
};

}  // namespace

TEST_F(PicturePreparationTest, PreparedAndUnpreparedGiveTheSamePixelsForEveryKind) {
  std::string big = folder_ + "big.jpg";
  std::string other_big = folder_ + "other_big.jpg";
  ASSERT_TRUE(WriteJpeg(big, 1200, 900, 3));
  ASSERT_TRUE(WriteJpeg(other_big, 1100, 800, 4));
  const std::string kinds[] = {folder_ + "gradient.jpg", folder_ + "landscape.png",
                               folder_ + "animation.gif", folder_ + "still.gif",
                               folder_ + "small.bmp",     folder_ + "icon.ico", other_big};
  for (const std::string& path : kinds) {
    // Prepared: the neighbour is decoded while the first picture is shown,
    // and Next swaps it in; the picture it replaces is kept for a step back,
    // and since it is also the next file, nothing else is prepared.
    Open({big, path, big});
    PrepareFully();
    ASSERT_EQ(Schedule()->prepared.path, path);
    Bitmap* prepared = Schedule()->prepared.bitmap;
    ASSERT_NE(prepared, nullptr) << path;
    Bitmap* replaced = control_->picture;
    Next();
    EXPECT_EQ(control_->picture, prepared) << path;
    EXPECT_EQ(Schedule()->kept.bitmap, replaced) << path;
    EXPECT_EQ(Schedule()->decoding, nullptr) << path;
    ExpectShown(path);
    // Back and forth between the two: the bitmaps are swapped each time.
    for (int i = 0; i < 2; ++i) {
      Previous();
      EXPECT_EQ(control_->picture, replaced) << path;
      EXPECT_EQ(Schedule()->kept.bitmap, prepared) << path;
      ExpectShown(big);
      Next();
      EXPECT_EQ(control_->picture, prepared) << path;
      ExpectShown(path);
    }
    Next();
    ExpectShown(big);

    // Unprepared: Next decodes at once, and the picture left is kept.
    Open({big, path});
    replaced = control_->picture;
    Next();
    EXPECT_EQ(Schedule()->kept.bitmap, replaced) << path;
    ExpectShown(path);

    // And back onto the kept picture; at the first file going back the only
    // neighbour is the one just left: nothing is prepared.
    PrepareFully();
    Previous();
    EXPECT_EQ(control_->picture, replaced) << path;
    ExpectShown(big);
    PrepareFully();
    EXPECT_EQ(Schedule()->decoding, nullptr) << path;
    EXPECT_EQ(Schedule()->prepared.bitmap, nullptr) << path;
  }
}

TEST_F(PicturePreparationTest, AFailingPictureLeavesNothingOfTheOldOne) {
  Open({folder_ + "landscape.png", folder_ + "corrupt.png", folder_ + "portrait.png"});
  Next();   // unprepared
  ExpectBlackFrame();
  Previous();
  PrepareFully();      // the corrupt picture fails while being prepared
  EXPECT_EQ(Schedule()->prepared.bitmap, nullptr);
  Next();
  ExpectBlackFrame();
  Next();
  ExpectShown(folder_ + "portrait.png");
}

TEST_F(PicturePreparationTest, AFileReplacedAfterItsPreparationShowsTheNewContent) {
  std::string first = Copy("landscape.png", "first.png");
  std::string second = folder_ + "second.jpg";
  ASSERT_TRUE(WriteJpeg(second, 640, 480, 1));
  Open({first, second});
  PrepareFully();
  ASSERT_NE(Schedule()->prepared.bitmap, nullptr);
  // Another picture under the same name; then one of the same picture size
  // whose last-write time is set well after the preparation.
  ASSERT_TRUE(WriteJpeg(second, 300, 200, 2));
  Next();
  ExpectShown(second);
  EXPECT_EQ(control_->picture->Width(), 300);

  Previous();
  ASSERT_TRUE(WriteJpeg(second, 300, 200, 2));
  Open({first, second});
  PrepareFully();
  ASSERT_NE(Schedule()->prepared.bitmap, nullptr);
  ASSERT_TRUE(WriteJpeg(second, 300, 200, 9));
  HANDLE file = CreateFileW(Wide(second).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER time;
  time.LowPart = now.dwLowDateTime;
  time.HighPart = now.dwHighDateTime;
  time.QuadPart += 50000000;   // five seconds on
  FILETIME later = {time.LowPart, time.HighPart};
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &later));
  CloseHandle(file);
  Next();
  ExpectShown(second);
}

namespace {

// The last-write time of a file, and setting it back.
bool LastWriteTime(const std::string& path, FILETIME* time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return false;
  *time = data.ftLastWriteTime;
  return true;
}

bool SetLastWriteTime(const std::string& path, const FILETIME& time) {
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool done = SetFileTime(file, nullptr, nullptr, &time) != 0;
  CloseHandle(file);
  return done;
}

// Rewrites a BMP with its pixel bytes inverted: the same size, another
// picture; then its old last-write time is put back.
bool RewriteKeepingSizeAndTime(const std::string& path) {
  std::string bytes;
  FILETIME time;
  if (!ReadFileBytes(path, &bytes) || !LastWriteTime(path, &time) || bytes.size() <= 54) return false;
  for (size_t i = 54; i < bytes.size(); ++i) bytes[i] = static_cast<char>(~bytes[i]);
  Sleep(20);
  return WriteFileBytes(path, bytes) && SetLastWriteTime(path, time);
}

}  // namespace

// On this machine's file system the change time tells the rewrite; on FAT
// and exFAT (taken for one here) there is none, and the content checksum
// must tell it.
TEST_F(PicturePreparationTest, APictureWhoseFileWasRewrittenUnderItsOldSizeAndTimeIsDecodedAfresh) {
  struct AsFat {
    explicit AsFat(bool on) { TreatVolumesAsFat(on); }
    ~AsFat() { TreatVolumesAsFat(false); }
  };
  for (bool fat : {false, true}) {
    SCOPED_TRACE(fat ? "as on FAT" : "this file system");
    AsFat as_fat(fat);
    std::string first = Copy("small.bmp", "first.bmp");
    std::string second = Copy("small.bmp", "second.bmp");
    std::string third = Copy("landscape.png", "third.png");
    // Prepared ahead, then rewritten.
    Open({first, second, third});
    PrepareFully();
    ASSERT_NE(Schedule()->prepared.bitmap, nullptr);
    RefImage before = ImageOf(Schedule()->prepared.bitmap);
    ASSERT_TRUE(RewriteKeepingSizeAndTime(second));
    Next();
    ExpectShown(second);
    EXPECT_NE(RefCountDifferences(before, ImageOf(control_->picture), nullptr), 0);
    // Kept for a step back, then rewritten.
    ASSERT_NE(Schedule()->kept.bitmap, nullptr);
    ASSERT_TRUE(RewriteKeepingSizeAndTime(first));
    Previous();
    ExpectShown(first);
    // Kept, then deleted: black.
    ASSERT_NE(Schedule()->kept.bitmap, nullptr);
    ASSERT_EQ(Schedule()->kept.path, second);
    ASSERT_TRUE(DeleteFileW(Wide(second).c_str()));
    Next();
    ExpectBlackFrame();
    // Kept and replaced by another picture under the same name.
    Next();
    ExpectShown(third);
    Previous();
    ASSERT_EQ(Schedule()->kept.path, third);
    ASSERT_TRUE(CopyFileW(Wide(pictures_ + "portrait.png").c_str(), Wide(third).c_str(), FALSE));
    Next();
    ExpectShown(third);
    EXPECT_EQ(control_->picture->Width(), 90);
  }
}

TEST_F(PicturePreparationTest, AFileDeletedAfterItsPreparationShowsBlack) {
  std::string first = Copy("gradient.jpg", "first.jpg");
  std::string second = Copy("landscape.png", "second.png");
  Open({first, second});
  PrepareFully();
  ASSERT_NE(Schedule()->prepared.bitmap, nullptr);
  ASSERT_TRUE(DeleteFileW(Wide(second).c_str()));
  Next();
  ExpectBlackFrame();
}

// Picture files are never locked: another program deletes one while it is
// decoded, whether as the neighbour or, once the key has reached it, as the
// picture asked for. The decoding's picture is not shown: the file shows
// what it gives now, black. An animated GIF's open frame reader does not
// stop the delete either.
TEST_F(PicturePreparationTest, AFileDeletedWhileItIsDecodedShowsBlack) {
  std::string first = folder_ + "landscape.png";
  std::string big = folder_ + "big.jpg";
  for (bool key_during_the_decoding : {false, true}) {
    SCOPED_TRACE(key_during_the_decoding ? "asked for" : "prepared");
    ASSERT_TRUE(WriteJpeg(big, 2400, 1600, 5));
    Open({first, big});
    for (int i = 0; i < 3; ++i) ASSERT_EQ(DoScheduledWork(Schedule()), SCHEDULE_BUSY);
    ASSERT_EQ(Schedule()->decoding_path, big);
    ASSERT_TRUE(DeleteFileW(Wide(big).c_str())) << GetLastError();
    if (!key_during_the_decoding) {
      PrepareFully();
      EXPECT_EQ(Schedule()->prepared.bitmap, nullptr);
    }
    Next();
    ExpectBlackFrame();
  }
  Open({folder_ + "animation.gif"});
  ASSERT_NE(control_->animation, nullptr);
  EXPECT_TRUE(DeleteFileW(Wide(folder_ + "animation.gif").c_str())) << GetLastError();
}

TEST_F(PicturePreparationTest, AKeyDuringThePreparation) {
  std::string big = folder_ + "big.jpg";
  ASSERT_TRUE(WriteJpeg(big, 2400, 1600, 5));
  std::string first = folder_ + "gradient.jpg";
  std::string last = folder_ + "portrait.png";
  // The steps of the big picture decoded on its own.
  int64_t start = Schedule()->steps;
  Open({big});
  int64_t alone = Schedule()->steps - start;
  // Onto the picture being prepared: its decoding goes on, now asked for,
  // and takes no more steps than on its own.
  Open({first, big, last});
  start = Schedule()->steps;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(DoScheduledWork(Schedule()), SCHEDULE_BUSY);
  ASSERT_EQ(Schedule()->decoding_path, big);
  Next();
  ExpectShown(big);
  EXPECT_EQ(Schedule()->steps - start, alone);
  PrepareFully();
  EXPECT_EQ(Schedule()->prepared.path, last);

  // Away from it: the preparation is abandoned, the other picture shown.
  Open({first, last, big});
  Next();
  for (int i = 0; i < 3; ++i) DoScheduledWork(Schedule());
  ASSERT_EQ(Schedule()->decoding_path, big);
  Previous();
  ExpectShown(first);
  // Previous from the first file: nothing left to prepare.
  PrepareFully();
  EXPECT_EQ(Schedule()->decoding, nullptr);

  // A real key through the window's own message handling, in the middle.
  Open({first, big, last});
  DoScheduledWork(Schedule());
  DoScheduledWork(Schedule());
  SendMessageA(g_app.main_window->window, WM_COMMAND, CMD_NEXT, 0);
  FinishShowing();
  ExpectShown(big);
}

TEST_F(PicturePreparationTest, TheBudgetRefusesAPreparationWithoutTakingMemory) {
  // A JPEG whose frame header says 12000 x 12000 (576 MB decoded).
  std::string huge = folder_ + "huge.jpg";
  std::string header("\xFF\xD8\xFF\xC0\x00\x11\x08\x2E\xE0\x2E\xE0\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9", 23);
  ASSERT_TRUE(WriteFileBytes(huge, header));
  std::string first = folder_ + "landscape.png";
  Open({first, huge});
  PrepareFully();
  EXPECT_EQ(Schedule()->prepared.bitmap, nullptr);
  EXPECT_LT(Schedule()->peak_bytes, 4 * 1000 * 1000);
  Next();
  EXPECT_EQ(control_->picture, nullptr);
}

namespace {

int64_t PixelBytes(Bitmap* bitmap) { return bitmap ? BitmapByteCount(bitmap->Width(), bitmap->Height()) : 0; }

}  // namespace

TEST_F(PicturePreparationTest, WhatIsHeldBeyondTheShownPictureStaysWithinTheBudget) {
  // 1200 x 900 pixels take 4,320,000 bytes: above a budget of 4,000,000.
  std::string huge = folder_ + "huge.jpg";
  ASSERT_TRUE(WriteJpeg(huge, 1200, 900, 7));
  std::string landscape = folder_ + "landscape.png", portrait = folder_ + "portrait.png";
  std::string gradient = folder_ + "gradient.jpg", small = folder_ + "small.bmp";
  // Every block held is the size of its picture (within 1.5x), and what is
  // held beyond the shown picture fits in the budget.
  auto expect_fitting = [&](const char* when) {
    for (Bitmap* held : {control_->picture, Schedule()->kept.bitmap, Schedule()->prepared.bitmap}) {
      if (held) {
        EXPECT_LE(BlockBytes(held), PixelBytes(held) * 3 / 2) << when;
      }
    }
    // Counted here from what is held, not by the schedule's own ledger.
    const PictureSchedule* held = Schedule();
    int64_t bytes = held->reserved_bytes + BlockBytes(held->kept.bitmap) + BlockBytes(held->prepared.bitmap) +
                    BlockBytes(held->spare);
    if (held->decoding && held->decoding_path != held->wanted) bytes += held->decoding->Held();
    EXPECT_LE(bytes, held->budget_bytes) << when;
  };
  Schedule()->budget_bytes = 4000000;
  Open({huge, landscape, gradient, portrait});
  PrepareFully();
  Next();
  // The huge picture is not kept, and Previous decodes it afresh.
  EXPECT_EQ(Schedule()->kept.bitmap, nullptr);
  expect_fitting("after the huge picture");
  Previous();
  ExpectShown(huge);
  EXPECT_EQ(Schedule()->kept.path, landscape);
  // Onward to the end, prepared and not.
  Next();
  expect_fitting("back on the small picture");
  PrepareFully();
  Next();
  Next();
  ExpectShown(portrait);
  expect_fitting("at the end");
  // At the end nothing is prepared: only the picture just left is held.
  PrepareFully();
  EXPECT_EQ(Schedule()->prepared.bitmap, nullptr);
  EXPECT_EQ(Schedule()->kept.path, gradient);

  // With the whole budget, in any order of keys and opens.
  Schedule()->budget_bytes = PICTURE_BUDGET_BYTES;
  Open({landscape, huge, gradient, small, portrait});
  for (int i = 0; i < 4; ++i) {
    Next();
    expect_fitting(("step " + std::to_string(i)).c_str());
    if (i == 1) {
      PrepareFully();
      expect_fitting("prepared after the second step");
    }
  }
  ExpectShown(portrait);
  EXPECT_EQ(control_->picture->Width(), 90);
  // A new list gives up every picture of the old one.
  Open({gradient, small});
  EXPECT_EQ(Schedule()->kept.bitmap, nullptr);
  EXPECT_EQ(Schedule()->prepared.bitmap, nullptr);
  expect_fitting("a new list");
  EXPECT_LE(Schedule()->peak_bytes - PixelBytes(control_->picture), PICTURE_BUDGET_BYTES);
}

TEST_F(PicturePreparationTest, TheDirectionOfTheLastMoveDecides) {
  std::vector<std::string> paths;
  for (int i = 0; i < 4; ++i) paths.push_back(Copy("gradient.jpg", "p" + std::to_string(i) + ".jpg"));
  Open(paths);
  EXPECT_EQ(Schedule()->neighbour, paths[1]);   // Next at first
  Next();
  EXPECT_EQ(Schedule()->neighbour, paths[2]);
  PrepareFully();
  Next();
  EXPECT_EQ(control_->files.current_index, 2);
  EXPECT_EQ(Schedule()->neighbour, paths[3]);
  Previous();
  EXPECT_EQ(control_->files.current_index, 1);
  EXPECT_EQ(Schedule()->neighbour, paths[0]);
  PrepareFully();
  ASSERT_EQ(Schedule()->prepared.path, paths[0]);
  Bitmap* prepared = Schedule()->prepared.bitmap;
  Previous();
  EXPECT_EQ(control_->picture, prepared);
  // At the first file, going back: the only neighbour is kept; the timer stops.
  PrepareFully();
  EXPECT_EQ(Schedule()->decoding, nullptr);
  EXPECT_FALSE(KillTimer(control_->window, TIMER_DECODING));
  // A new set starts with Next again.
  Open(paths);
  EXPECT_EQ(Schedule()->neighbour, paths[1]);
}

TEST_F(PicturePreparationTest, AnimationIsUnaffected) {
  std::string animation = folder_ + "animation.gif";
  std::string still = folder_ + "gradient.jpg";
  // Preparing a GIF opens no frame reader and starts no timer.
  Open({still, animation});
  PrepareFully();
  EXPECT_NE(Schedule()->prepared.bitmap, nullptr);
  EXPECT_EQ(control_->animation, nullptr);
  EXPECT_FALSE(KillTimer(control_->window, TIMER_ANIMATION));
  Next();
  ASSERT_NE(control_->animation, nullptr);
  RefImage first = ImageOf(control_->picture);
  SendMessageA(control_->window, WM_TIMER, TIMER_ANIMATION, 0);
  EXPECT_NE(RefCountDifferences(first, ImageOf(control_->picture), nullptr), 0);

  // A shown animation goes on while its neighbour is prepared, with room
  // for its frames set aside in the budget.
  Open({animation, still});
  ASSERT_NE(control_->animation, nullptr);
  EXPECT_GT(Schedule()->reserved_bytes, 0);
  GifFrameReader* reader = control_->animation;
  RefImage frame1 = ImageOf(control_->picture);
  PrepareFully();
  EXPECT_NE(Schedule()->prepared.bitmap, nullptr);
  EXPECT_EQ(control_->animation, reader);
  SendMessageA(control_->window, WM_TIMER, TIMER_ANIMATION, 0);
  EXPECT_NE(RefCountDifferences(frame1, ImageOf(control_->picture), nullptr), 0);
  // Left on its first frame, the animation is kept and starts again from
  // it; left later, it is decoded afresh: its first frame either way.
  for (int ticks : {0, 1, 2}) {
    Open({animation, still});
    Bitmap* first_frame = control_->picture;
    for (int i = 0; i < ticks; ++i) SendMessageA(control_->window, WM_TIMER, TIMER_ANIMATION, 0);
    Next();
    EXPECT_EQ(Schedule()->kept.bitmap, ticks == 0 ? first_frame : nullptr) << ticks;
    Previous();
    ExpectShown(animation);
    ASSERT_NE(control_->animation, nullptr) << ticks;
    EXPECT_EQ(control_->animation->state, 1) << ticks;
    RefImage shown = ImageOf(control_->picture);
    SendMessageA(control_->window, WM_TIMER, TIMER_ANIMATION, 0);
    EXPECT_NE(RefCountDifferences(shown, ImageOf(control_->picture), nullptr), 0) << ticks;
  }
  // The animation really runs on its timer while the decoding timer works.
  Open({animation, still});
  RefImage start = ImageOf(control_->picture);
  EXPECT_TRUE(PumpUntil([&] { return RefCountDifferences(start, ImageOf(control_->picture), nullptr) != 0; }, 3000));
}

namespace {

// The width of the picture each time the control painted, seen through a
// window procedure put in front of the control's own.
WNDPROC g_control_procedure = nullptr;
std::vector<int> g_painted_widths;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT && g_app.picture_control) {
    Bitmap* picture = g_app.picture_control->picture;
    g_painted_widths.push_back(picture ? picture->Width() : -1);
  }
  return CallWindowProcA(g_control_procedure, window, message, wparam, lparam);
}

// Sends a window message after message from another thread, noting the
// longest wait for an answer.
struct MessageProbe {
  HWND window;
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::atomic<int> longest_ms{0};
  std::thread thread;
  explicit MessageProbe(HWND target) : window(target) {
    thread = std::thread([this] {
      while (!stop) {
        DWORD_PTR result = 0;
        ULONGLONG sent = GetTickCount64();
        if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) answered += 1;
        int waited = static_cast<int>(GetTickCount64() - sent);
        if (waited > longest_ms) longest_ms = waited;
        Sleep(1);
      }
    });
  }
  ~MessageProbe() {
    stop = true;
    thread.join();
  }
};

}  // namespace

TEST_F(PicturePreparationTest, WhatWaitsToBePaintedIsPaintedBeforeTheDecode) {
  std::string landscape = folder_ + "landscape.png";
  std::string portrait = folder_ + "portrait.png";
  Open({landscape, portrait});
  UpdateWindow(control_->window);
  g_control_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control_->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProcedure)));
  g_painted_widths.clear();
  // A part of the window uncovered (by a closed menu, say) and Next at once,
  // with no time to prepare: the part is painted with the picture still
  // shown, then the next picture is decoded and painted.
  RECT uncovered = {10, 10, 60, 40};
  InvalidateRect(control_->window, &uncovered, FALSE);
  ShowNextPicture();
  PumpUntil([&] { return !PicturePending(Schedule()); }, 5000);
  UpdateWindow(control_->window);
  ASSERT_GE(g_painted_widths.size(), 2u);
  EXPECT_EQ(g_painted_widths.front(), 400);
  EXPECT_EQ(g_painted_widths.back(), 90);
  // Nothing waiting: the decode runs to its end at once.
  g_painted_widths.clear();
  ShowPreviousPicture();
  EXPECT_FALSE(PicturePending(Schedule()));
  EXPECT_TRUE(g_painted_widths.empty());
  SetWindowLongPtrA(control_->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_control_procedure));
}

TEST_F(PicturePreparationTest, TheWindowAnswersWhileALargePictureDecodesAndKeysPassItAtOnce) {
  std::string large = folder_ + "large.jpg";
  ASSERT_TRUE(WriteJpeg(large, 20000, 15000, 6));
  std::string first = folder_ + "gradient.jpg", second = folder_ + "landscape.png";
  std::string third = folder_ + "portrait.png";
  Open({first, large, second, third});
  HWND main = g_app.main_window->window;
  RECT area;
  GetWindowRect(control_->window, &area);
  SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
  PumpMessages(100);
  // Right onto the large picture, through the window's own key handling:
  // the window answers while it decodes (the messages sent to it also let
  // this test look in), and the pointer is the busy arrow.
  auto probe = std::make_unique<MessageProbe>(main);
  PostMessageA(main, WM_KEYDOWN, VK_RIGHT, 1);
  ASSERT_TRUE(PumpUntil([&] { return control_->files.current_index == 1; }, 5000));
  ASSERT_TRUE(PicturePending(Schedule()));
  EXPECT_EQ(Schedule()->decoding_path, large);
  EXPECT_EQ(SendMessageA(control_->window, WM_SETCURSOR, reinterpret_cast<WPARAM>(control_->window),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_APPSTARTING));
  // A short while: 300 megapixels take well over a second on any machine.
  PumpMessages(300);
  ASSERT_TRUE(PicturePending(Schedule()));
  EXPECT_GT(probe->answered, 0);
  // Far below the whole decoding's seconds, with room for a busy machine.
  EXPECT_LT(probe->longest_ms, 500);
  probe.reset();
  // Left back onto the picture still shown ends the wait, and the arrow
  // with it, without the mouse moving.
  PostMessageA(main, WM_KEYDOWN, VK_LEFT, 1);
  ASSERT_TRUE(PumpUntil([&] { return control_->files.current_index == 0; }, 5000));
  EXPECT_FALSE(PicturePending(Schedule()));
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
  // Three presses pass the large picture: it is never shown, and the one
  // under the last key comes at once.
  g_control_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control_->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProcedure)));
  g_painted_widths.clear();
  bool large_shown = false;
  for (int n = 0; n < 3; ++n) PostMessageA(main, WM_KEYDOWN, VK_RIGHT, 1);
  ASSERT_TRUE(PumpUntil(
      [&] {
        large_shown = large_shown || (control_->picture && control_->picture->Width() == 20000);
        return control_->files.current_index == 3 && !PicturePending(Schedule());
      },
      20000));
  SetWindowLongPtrA(control_->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_control_procedure));
  EXPECT_FALSE(large_shown);
  for (int width : g_painted_widths) EXPECT_NE(width, 20000);
  EXPECT_EQ(Schedule()->decoding, nullptr);
  ExpectShown(third);
}

namespace {

int AppendToString(GifFileType* gif, const GifByteType* bytes, int count) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), size_t(count));
  return count;
}

// An animation of `frames` frames of 100 ms on a width x height screen: a
// first frame over all of it, then smaller images at other places, each
// with pixels of the transparent index that let the frame before show.
bool WriteAnimatedGif(const std::string& path, int width, int height, int frames) {
  std::string bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, AppendToString, &error);
  if (!gif) return false;
  EGifSetGifVersion(gif, true);
  GifColorType colours[8] = {{0, 0, 0},     {255, 255, 255}, {200, 30, 30}, {30, 200, 30},
                             {30, 30, 200}, {200, 200, 30},  {30, 200, 200}, {120, 60, 90}};
  ColorMapObject* map = GifMakeMapObject(8, colours);
  bool written = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<size_t>(width));
  for (int k = 0; k < frames && written; ++k) {
    GifByteType control[4] = {1, 10, 0, 0};   // transparent index 0, 100 ms
    int left = k == 0 ? 0 : k * 37, top = k == 0 ? 0 : k * 23;
    int w = k == 0 ? width : width / 2, h = k == 0 ? height : height / 2;
    written = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK &&
              EGifPutImageDesc(gif, left, top, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; y < h && written; ++y) {
      for (int x = 0; x < w; ++x) line[size_t(x)] = GifPixelType(((x / 8 + y / 8 + k) % 9) % 8);
      written = EGifPutLine(gif, line.data(), w) == GIF_OK;
    }
  }
  written = EGifCloseFile(gif, &error) == GIF_OK && written;
  GifFreeMapObject(map);
  return written && WriteFileBytes(path, bytes);
}

// The frames as the frame reader draws them, one whole frame a tick.
struct ReferenceAnimation {
  GifFrameReader* reader;
  MemoryBitmap frame;
  explicit ReferenceAnimation(const std::string& path) : reader(OpenGifFrameReader(path.c_str())) {
    ReadNextGifFrame(reader, &frame);
  }
  ~ReferenceAnimation() { CloseGifFrameReader(reader); }
  void Tick() {
    if (ReadNextGifFrame(reader, &frame) < 1) RewindGifFrameReader(reader);
  }
};

}  // namespace

TEST_F(PicturePreparationTest, ALargeAnimationShowsEachFrameDrawnAheadAtItsTick) {
  std::string large = folder_ + "large.gif";
  const int frames = 5;
  ASSERT_TRUE(WriteAnimatedGif(large, 640, 480, frames));
  std::string still = folder_ + "gradient.jpg";
  auto expect_frame = [&](const ReferenceAnimation& reference, const std::string& when) {
    std::string first;
    ASSERT_NE(control_->picture, nullptr) << when;
    EXPECT_EQ(RefCountDifferences(ImageOf(&reference.frame), ImageOf(control_->picture), &first), 0)
        << when << ": " << first;
  };
  // Left on its first frame (kept, the file read past that frame again) and
  // after three ticks (decoded afresh): it starts again from the first frame.
  for (int ticks_before : {-1, 0, 3}) {
    if (ticks_before < 0) {
      Open({large, still});
    } else {
      for (int i = 0; i < ticks_before; ++i) SendMessageA(control_->window, WM_TIMER, TIMER_ANIMATION, 0);
      Next();
      Previous();
    }
    std::string round = "after " + std::to_string(ticks_before) + " ticks";
    ASSERT_NE(control_->animation, nullptr) << round;
    ASSERT_NE(control_->ahead.phase, AHEAD_OFF) << round;
    ReferenceAnimation reference(large);
    expect_frame(reference, round + ", first frame");
    // Two loops and more, past the end and the rewind; some ticks come
    // before their frame is drawn, which is then shown as soon as it is.
    for (int tick = 1; tick <= 2 * frames + 3; ++tick) {
      std::string when = round + ", tick " + std::to_string(tick);
      if (tick % 3 != 0) {
        PrepareFully();
        // Drawn ahead, not yet shown, and counted in the ledger.
        EXPECT_EQ(control_->ahead.phase, AHEAD_READY) << when;
        EXPECT_GE(Schedule()->reserved_bytes, 640 * 480 * 4) << when;
        expect_frame(reference, when + ", before");
      }
      SendMessageA(control_->window, WM_TIMER, TIMER_ANIMATION, 0);
      PrepareFully();
      reference.Tick();
      expect_frame(reference, when);
    }
    // A whole loop held in memory: what is reserved is what it holds.
    EXPECT_LT(Schedule()->reserved_bytes, GIF_FRAME_CACHE_BYTES) << round;
  }
}

namespace {

// Ticks of a timer on a window of the program's own, and the decoding
// steps done when the first came.
int g_ticks = 0;
int64_t g_steps_at_first_tick = -1;

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER && g_app.picture_control) {
    if (g_ticks++ == 0) g_steps_at_first_tick = g_app.picture_control->schedule.steps;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

TEST_F(PicturePreparationTest, ATimerOfAnotherWindowIsAnsweredBetweenTheStepsOfADecode) {
  std::string big = folder_ + "big.jpg";
  ASSERT_TRUE(WriteJpeg(big, 3000, 2000, 8));
  Open({folder_ + "gradient.jpg", big});
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = CountingProcedure;
  window_class.hInstance = g_app.instance;
  window_class.lpszClassName = "picture_preparation_counting";
  RegisterClassA(&window_class);
  HWND counting = CreateWindowA("picture_preparation_counting", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                g_app.instance, nullptr);
  ASSERT_NE(counting, nullptr);
  g_ticks = 0;
  g_steps_at_first_tick = -1;
  SetTimer(counting, 1, 10, nullptr);
  Sleep(40);   // the timer is due before the decoding starts
  int64_t start = Schedule()->steps;
  // Right onto the big picture: its decoding starts at once, in this call,
  // and the timer is answered between its first steps, not after them.
  ShowNextPicture();
  EXPECT_GE(g_ticks, 1);
  FinishShowing();
  ExpectShown(big);
  EXPECT_GE(g_steps_at_first_tick, start);
  EXPECT_LT(g_steps_at_first_tick, start + (Schedule()->steps - start) / 2);
  DestroyWindow(counting);
}
