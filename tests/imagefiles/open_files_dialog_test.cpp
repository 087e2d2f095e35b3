// The Open files dialog and the UTF-8 open-file wrapper, answered by a
// helper thread that fills in the real platform dialog.
#include "imagefiles/open_files_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <dlgs.h>

#include "app/main_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "base/utf8_platform.h"
#include "imagefiles/file_list.h"
#include "raster/bitmap.h"
#include "resources/resource_ids.h"
#include "tests/support/picture_test_support.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/win_test_support.h"
#include "view/picture_control.h"
#include "view/picture_navigation.h"

namespace {

HWND WaitForDialog(const wchar_t* title) {
  for (int i = 0; i < 400; ++i) {
    HWND dialog = FindWindowW(L"#32770", title);
    if (dialog && IsWindowVisible(dialog)) return dialog;
    Sleep(25);
  }
  return nullptr;
}

HWND FileNameBox(HWND dialog) {
  HWND box = GetDlgItem(dialog, cmb13);
  return box ? box : GetDlgItem(dialog, edt1);
}

// Types text into the file name box and confirms, from another thread.
void Confirm(HWND dialog, const std::string& text) {
  SendMessageW(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

// Runs answer(dialog) on a helper thread once a dialog with the title shows.
class DialogAnswer {
 public:
  DialogAnswer(const wchar_t* title, std::function<void(HWND)> answer)
      : thread_([this, title, answer] {
          HWND dialog = WaitForDialog(title);
          found_ = dialog != nullptr;
          if (dialog) answer(dialog);
        }) {}
  ~DialogAnswer() { thread_.join(); }
  bool found() const { return found_; }

 private:
  std::atomic<bool> found_{false};
  std::thread thread_;
};

std::vector<std::string> Strings(const char* buffer) {
  std::vector<std::string> strings;
  for (const char* s = buffer; *s; s += strlen(s) + 1) strings.push_back(s);
  return strings;
}

std::string CurrentFolder() {
  wchar_t folder[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, folder);
  return Utf8(folder);
}

class OpenFilesDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("dialog");
    ASSERT_FALSE(folder_.empty());
    saved_folder_ = CurrentFolder();
    for (const char* name : {"one.png", "two.png", "three.png", "photo.jpg", "scan.pcx"})
      ASSERT_TRUE(WriteFileBytes(folder_ + name, "x"));
    ASSERT_TRUE(CreateFolder(folder_ + "elsewhere"));
    ASSERT_TRUE(WriteFileBytes(folder_ + "elsewhere\\far.png", "x"));
  }
  void TearDown() override {
    SetCurrentDirectoryW(Wide(saved_folder_).c_str());
    DeleteTree(folder_);
  }
  std::string Folder() const { return folder_.substr(0, folder_.size() - 1); }

  std::string folder_;
  std::string saved_folder_;
};

}  // namespace

TEST(OpenFilesFilter, TheSevenPairsToTheCharacter) {
  std::vector<std::string> items = Strings(OPEN_FILES_FILTER);
  std::vector<std::string> expected = {
      "All supported files", "*.jpg;*.jpeg;*.png;*.gif;*.bmp;*.ico",
      "JPEG files (*.JPEG)", "*.jpg;*.jpeg",
      "PNG files (*.PNG)",   "*.png",
      "GIF files (*.GIF)",   "*.gif",
      "BMP files (*.BMP)",   "*.bmp",
      "ICO files (*.ICO)",   "*.ico",
      "All files (*.*)",     "*.*"};
  EXPECT_EQ(items, expected);
  // Ended by an empty string.
  EXPECT_EQ(OPEN_FILES_FILTER[OPEN_FILES_FILTER_SIZE - 1], 0);
  EXPECT_EQ(OPEN_FILES_FILTER[OPEN_FILES_FILTER_SIZE - 2], 0);
}

TEST_F(OpenFilesDialogTest, OpensInTheCurrentFolderOnTheFirstFilter) {
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
  std::wstring title;
  LRESULT filter = -1;
  LRESULT filters = -1;
  char* result = nullptr;
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      wchar_t text[64] = {0};
      GetWindowTextW(dialog, text, 64);
      title = text;
      HWND combo = GetDlgItem(dialog, cmb1);
      filter = SendMessageW(combo, CB_GETCURSEL, 0, 0);
      filters = SendMessageW(combo, CB_GETCOUNT, 0, 0);
      Confirm(dialog, "photo.jpg");   // a bare name: found in the current folder
    });
    result = ShowOpenFilesDialog(nullptr);
    EXPECT_TRUE(answer.found());
  }
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(title, L"Open files");
  EXPECT_EQ(filter, 0);
  EXPECT_EQ(filters, 7);
  EXPECT_EQ(Strings(result), std::vector<std::string>{folder_ + "photo.jpg"});
  // Zero bytes after the selection.
  EXPECT_EQ(result[OPEN_FILES_BUFFER_SIZE - 1], 0);
  free(result);
}

TEST_F(OpenFilesDialogTest, SeveralFilesGiveTheFolderAndTheNames) {
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
  char* result = nullptr;
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      Confirm(dialog, "\"two.png\" \"one.png\" \"three.png\"");
    });
    result = ShowOpenFilesDialog(nullptr);
  }
  ASSERT_NE(result, nullptr);
  std::vector<std::string> strings = Strings(result);
  ASSERT_EQ(strings.size(), 4u);
  EXPECT_EQ(strings[0], Folder());
  EXPECT_EQ(strings[1], "two.png");
  EXPECT_EQ(strings[2], "one.png");
  EXPECT_EQ(strings[3], "three.png");
  free(result);
}

TEST_F(OpenFilesDialogTest, BrowsingLeavesTheCurrentFolderAlone) {
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
  char* result = nullptr;
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      Confirm(dialog, folder_ + "elsewhere");   // a folder: the dialog goes there
      Sleep(300);
      Confirm(dialog, "far.png");
    });
    result = ShowOpenFilesDialog(nullptr);
  }
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(Strings(result), std::vector<std::string>{folder_ + "elsewhere\\far.png"});
  EXPECT_EQ(CurrentFolder() + "\\", folder_);
  free(result);
}

TEST_F(OpenFilesDialogTest, ATypedNameGetsTheDefaultExtension) {
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
  char* result = nullptr;
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      Confirm(dialog, "photo");
      Sleep(800);
      if (!IsWindow(dialog)) return;
      // Some platform dialogs look for the bare name first and complain:
      // close their message box and cancel.
      static HWND open_dialog;
      open_dialog = dialog;
      EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), [](HWND window, LPARAM) -> BOOL {
        if (window != open_dialog && IsWindowVisible(window)) PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
      }, 0);
      Sleep(300);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    result = ShowOpenFilesDialog(nullptr);
  }
  if (!result) {
    printf("note: this platform's dialog does not add the default extension to a typed name\n");
    return;
  }
  EXPECT_EQ(Strings(result), std::vector<std::string>{folder_ + "photo.jpg"});
  free(result);
}

TEST_F(OpenFilesDialogTest, AnyFileWithAllFiles) {
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
  char* result = nullptr;
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      HWND combo = GetDlgItem(dialog, cmb1);
      SendMessageW(combo, CB_SETCURSEL, 6, 0);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
      Confirm(dialog, "scan.pcx");
    });
    result = ShowOpenFilesDialog(nullptr);
  }
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(Strings(result), std::vector<std::string>{folder_ + "scan.pcx"});
  free(result);
}

TEST_F(OpenFilesDialogTest, CancelGivesNothing) {
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
  char* result = reinterpret_cast<char*>(1);
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    result = ShowOpenFilesDialog(nullptr);
  }
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(CurrentFolder() + "\\", folder_);
}

TEST_F(OpenFilesDialogTest, NonAsciiNamesComeBackAsUtf8) {
  std::string sub = folder_ + "Bilder \xC3\xA4\xC3\xB6\xC3\xBC\\";
  ASSERT_TRUE(CreateFolder(sub));
  std::string a = "\xE5\x86\x99\xE7\x9C\x9F.png", b = "\xC3\x9C" "ber.png";
  ASSERT_TRUE(WriteFileBytes(sub + a, "x"));
  ASSERT_TRUE(WriteFileBytes(sub + b, "x"));
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(sub).c_str()));
  char* result = nullptr;
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      Confirm(dialog, "\"" + a + "\" \"" + b + "\"");
    });
    result = ShowOpenFilesDialog(nullptr);
  }
  ASSERT_NE(result, nullptr);
  std::vector<std::string> strings = Strings(result);
  ASSERT_EQ(strings.size(), 3u);
  EXPECT_EQ(strings[0] + "\\", sub);
  EXPECT_EQ(strings[1], a);
  EXPECT_EQ(strings[2], b);
  EXPECT_EQ(CurrentFolder() + "\\", sub);
  free(result);
}

TEST_F(OpenFilesDialogTest, WrapperLeavesOutNamesThatNoLongerFit) {
  std::string folder = Folder();
  // Room for the folder, "two.png" and "one.png", not for "three.png".
  std::vector<char> buffer(folder.size() + 1 + 8 + 8 + 1 + 5, 0);
  Utf8OpenFileName record = {};
  record.struct_size = 152;
  record.filter = OPEN_FILES_FILTER;
  record.file = buffer.data();
  record.max_file = static_cast<DWORD>(buffer.size());
  record.initial_dir = folder.c_str();
  record.title = "Wrapper";
  record.flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
  BOOL chosen;
  {
    DialogAnswer answer(L"Wrapper", [&](HWND dialog) {
      Confirm(dialog, "\"two.png\" \"one.png\" \"three.png\"");
    });
    chosen = Utf8GetOpenFileName(&record);
  }
  ASSERT_TRUE(chosen);
  EXPECT_EQ(Strings(buffer.data()), (std::vector<std::string>{folder, "two.png", "one.png"}));
  size_t end = folder.size() + 1 + 8 + 8;
  EXPECT_EQ(buffer[end], 0);   // the list's extra zero
  EXPECT_EQ(record.file_offset, folder.size() + 1);   // offsets of the platform's result
}

TEST_F(OpenFilesDialogTest, WrapperCutsASingleLongResult) {
  std::string folder = Folder();
  std::vector<char> buffer(20, 0);
  Utf8OpenFileName record = {};
  record.struct_size = 152;
  record.file = buffer.data();
  record.max_file = static_cast<DWORD>(buffer.size());
  record.initial_dir = folder.c_str();
  record.title = "Wrapper";
  record.flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT;
  BOOL chosen = FALSE;
  {
    DialogAnswer answer(L"Wrapper", [&](HWND dialog) { Confirm(dialog, folder_ + "photo.jpg"); });
    chosen = Utf8GetOpenFileName(&record);
  }
  // The platform itself may refuse a buffer too small for the path; when
  // it hands one over anyway, the wrapper cuts it to the buffer less two.
  if (chosen) {
    EXPECT_EQ(std::string(buffer.data()), (folder_ + "photo.jpg").substr(0, 18));
    EXPECT_EQ(buffer[18], 0);
    EXPECT_EQ(buffer[19], 0);
  } else {
    EXPECT_EQ(buffer[0], 0);
  }
}

TEST_F(OpenFilesDialogTest, OpenPictureFilesKeepsEverythingOnCancel) {
  g_app.instance = GetModuleHandleA(nullptr);
  RegisterWindowClasses(g_app.instance);
  g_app.settings_path = folder_ + "vistrel.ini";
  g_app.main_window = new MainWindow();
  ASSERT_NE(CreateMainWindow(g_app.main_window), nullptr);
  PumpMessages(100);
  PictureControl* control = g_app.picture_control;
  ASSERT_NE(control, nullptr);
  std::string pictures = TestPictureFolder();
  std::string selection = pictures.substr(0, pictures.size() - 1) + '\0' + "landscape.png" + '\0' +
                          "portrait.png" + '\0' + '\0';
  OpenSelectedFiles(selection.data());
  FinishShowing();
  ShowNextPicture();
  FinishShowing();
  Bitmap* shown = control->picture;
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      EXPECT_EQ(GetWindow(dialog, GW_OWNER), g_app.main_window->window);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    SendMessageA(g_app.main_window->window, WM_COMMAND, CMD_OPEN_FILES, 0);
  }
  EXPECT_EQ(control->picture, shown);
  EXPECT_EQ(FileCount(&control->files), 2);
  EXPECT_EQ(control->files.current_index, 1);
  // Then a real choice replaces the list.
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(pictures).c_str()));
  {
    DialogAnswer answer(L"Open files", [&](HWND dialog) {
      Confirm(dialog, "\"small.bmp\" \"icon.ico\" \"gradient.jpg\"");
    });
    SendMessageA(g_app.main_window->window, WM_COMMAND, CMD_OPEN_FILES, 0);
  }
  ASSERT_EQ(FileCount(&control->files), 3);
  EXPECT_EQ(FilePath(&control->files, 0), pictures + "small.bmp");
  EXPECT_EQ(FilePath(&control->files, 2), pictures + "gradient.jpg");
  EXPECT_EQ(control->files.current_index, 0);
  DestroyWindow(g_app.main_window->window);
  PumpMessages(50);
  delete g_app.main_window;
  g_app.main_window = nullptr;
}
