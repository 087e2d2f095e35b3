#include "base/utf8_platform.h"

#include <gtest/gtest.h>

#include <string>

#include "app/startup.h"
#include "base/app_state.h"
#include "base/window_dpi.h"
#include "tests/support/win_test_support.h"

namespace {

const char UNICODE_NAME[] = "Bilder \xC3\xA4\xC3\xB6\xC3\xBC \xE5\x86\x99\xE7\x9C\x9F \xE2\x9C\x93";

class Utf8Platform : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("utf8");
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override { DeleteTree(folder_); }
  std::string folder_;
};

std::string LongFolderUnder(const std::string& base) {
  // Several components, each well under the file system's name limit.
  std::string path = base;
  if (!path.empty() && path.back() == '\\') path.pop_back();
  while (path.size() < 300) {
    path += "\\" + std::string(60, 'L');
  }
  return path;
}

HWND CreateAnsiTopLevelWindow() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "utf8_platform_test_window";
  RegisterClassA(&window_class);
  return CreateWindowExA(0, "utf8_platform_test_window", "start", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                         100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

TEST_F(Utf8Platform, TitlesOfAnsiWindowsKeepTheirUnicodeCharacters) {
  HWND window = CreateAnsiTopLevelWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_FALSE(IsWindowUnicode(window));
  LONG_PTR procedure = GetWindowLongPtrA(window, GWLP_WNDPROC);
  EXPECT_TRUE(Utf8SetWindowText(window, UNICODE_NAME));
  wchar_t title[128];
  GetWindowTextW(window, title, 128);
  EXPECT_EQ(Utf8(title), UNICODE_NAME);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), procedure);   // restored afterwards

  // Mostly UTF-8 with a stray byte: shown as Unicode without it.
  EXPECT_TRUE(Utf8SetWindowText(window, "\xC3\xA4\xC3\xA4\xC3\xA4\xFF"));
  GetWindowTextW(window, title, 128);
  EXPECT_EQ(Utf8(title), "\xC3\xA4\xC3\xA4\xC3\xA4");

  EXPECT_TRUE(Utf8SetWindowText(window, "Vistrel"));
  GetWindowTextW(window, title, 128);
  EXPECT_EQ(Utf8(title), "Vistrel");
  char back[128];
  Utf8GetWindowText(window, back, sizeof back);
  EXPECT_STREQ(back, "Vistrel");
  DestroyWindow(window);
}

TEST_F(Utf8Platform, DialogItemTexts) {
  HWND parent = CreateAnsiTopLevelWindow();
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(42)),
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(Utf8SetDlgItemText(parent, 42, UNICODE_NAME));
  wchar_t text[128];
  GetWindowTextW(edit, text, 128);
  EXPECT_EQ(Utf8(text), UNICODE_NAME);
  EXPECT_EQ(Utf8SetDlgItemText(parent, 43, "no such control"), 0);
  DestroyWindow(parent);
}

TEST_F(Utf8Platform, FoldersFilesAndStatusWithUnicodeNames) {
  std::string folder = folder_ + UNICODE_NAME;
  EXPECT_TRUE(Utf8CreateDirectory(folder.c_str()));
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_FALSE(Utf8CreateDirectory(folder.c_str()));   // already there

  std::string file = folder + "\\notes \xE2\x9C\x93.txt";
  FILE* out = Utf8OpenFile(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  fputs("twelve bytes", out);
  fclose(out);
  struct _stat status;
  ASSERT_EQ(Utf8Stat(file.c_str(), &status), 0);
  EXPECT_EQ(status.st_size, 12);
  FILE* in = Utf8OpenFile(file.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  char text[32] = {0};
  EXPECT_EQ(fread(text, 1, sizeof text, in), 12u);
  fclose(in);
  EXPECT_STREQ(text, "twelve bytes");

  // A failed open for writing is not retried through the ANSI function.
  std::string missing = folder + "\\no folder \xE2\x9C\x93\\x.txt";
  EXPECT_EQ(Utf8OpenFile(missing.c_str(), "wb"), nullptr);
  EXPECT_EQ(Utf8OpenFile(missing.c_str(), "rb"), nullptr);
  EXPECT_NE(Utf8Stat(missing.c_str(), &status), 0);
}

TEST_F(Utf8Platform, LongPathsTakeTheLongForm) {
  std::string path = LongFolderUnder(folder_);
  ASSERT_GE(path.size(), 256u);
  // Create every component through the wrapper: the deeper ones are long.
  std::string partial;
  size_t start = folder_.size();
  for (size_t i = start; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      partial = path.substr(0, i);
      Utf8CreateDirectory(partial.c_str());
    }
  }
  EXPECT_TRUE(IsFolder(path));
  std::string plain_file = path + "\\file.txt";
  FILE* out = Utf8OpenFile(plain_file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  fputs("x", out);
  fclose(out);
  struct _stat status;
  EXPECT_EQ(Utf8Stat(plain_file.c_str(), &status), 0);
  // Forward slashes become backslashes in the long form.
  std::string slashed = path + "/file.txt";
  EXPECT_EQ(Utf8Stat(slashed.c_str(), &status), 0);
}

TEST_F(Utf8Platform, CurrentFolderRoundTrip) {
  char saved[UTF8_PATH_BUFFER];
  ASSERT_TRUE(Utf8GetCurrentDirectory(saved));
  std::string folder = folder_ + UNICODE_NAME;
  ASSERT_TRUE(CreateFolder(folder));
  ASSERT_TRUE(Utf8SetCurrentDirectory(folder.c_str()));
  char now[UTF8_PATH_BUFFER];
  ASSERT_TRUE(Utf8GetCurrentDirectory(now));
  std::string expected = folder;
  EXPECT_EQ(std::string(now), expected);
  ASSERT_TRUE(Utf8SetCurrentDirectory(saved));
}

TEST_F(Utf8Platform, ModuleFileAndRoamingFolder) {
  char module[UTF8_PATH_BUFFER];
  ASSERT_TRUE(Utf8GetModuleFileName(nullptr, module));
  std::string path = module;
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  char roaming[UTF8_PATH_BUFFER];
  ASSERT_TRUE(Utf8GetRoamingFolder(roaming));
  std::string folder = roaming;
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(IsFolder(folder));
}

TEST_F(Utf8Platform, LoadsSystemLibraries) {
  EXPECT_NE(Utf8LoadLibrary("shell32.dll"), nullptr);
  EXPECT_EQ(Utf8LoadLibrary("no_such_library_\xE2\x9C\x93.dll"), nullptr);
}

TEST_F(Utf8Platform, PortableModeNeedsAFolderNamedExactlyPortable) {
  std::string exe_folder = folder_ + "app\\";
  ASSERT_TRUE(CreateFolder(exe_folder));
  EXPECT_FALSE(IsPortableMode(exe_folder.c_str()));
  ASSERT_TRUE(WriteFileBytes(exe_folder + "portable", "a file"));
  EXPECT_FALSE(IsPortableMode(exe_folder.c_str()));
  ASSERT_TRUE(CreateFolder(exe_folder + "Portable2"));
  ASSERT_TRUE(CreateFolder(exe_folder + "portables"));
  EXPECT_FALSE(IsPortableMode(exe_folder.c_str()));

  std::string other = folder_ + "other\\";
  ASSERT_TRUE(CreateFolder(other));
  ASSERT_TRUE(CreateFolder(other + "Portable"));
  EXPECT_FALSE(IsPortableMode(other.c_str()));   // letter case counts

  std::string real = folder_ + "real\\";
  ASSERT_TRUE(CreateFolder(real));
  ASSERT_TRUE(CreateFolder(real + "zzz"));
  ASSERT_TRUE(CreateFolder(real + "portable"));
  EXPECT_TRUE(IsPortableMode(real.c_str()));

  std::string unicode = folder_ + UNICODE_NAME + "\\";
  ASSERT_TRUE(CreateFolder(unicode));
  ASSERT_TRUE(CreateFolder(unicode + "portable"));
  EXPECT_TRUE(IsPortableMode(unicode.c_str()));

  EXPECT_FALSE(IsPortableMode((folder_ + "missing\\").c_str()));
}

TEST_F(Utf8Platform, PortableModeInALongFolder) {
  std::string path = LongFolderUnder(folder_);
  for (size_t i = folder_.size(); i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') CreateFolder(path.substr(0, i));
  }
  ASSERT_TRUE(IsFolder(path));
  EXPECT_FALSE(IsPortableMode((path + "\\").c_str()));
  ASSERT_TRUE(CreateFolder(path + "\\portable"));
  EXPECT_TRUE(IsPortableMode((path + "\\").c_str()));
}

TEST_F(Utf8Platform, SettingsLocation) {
  std::string exe_folder = folder_ + "exe\\";
  ASSERT_TRUE(CreateFolder(exe_folder));
  g_app.exe_folder = exe_folder;
  ASSERT_TRUE(FindSettingsLocation());
  char roaming[UTF8_PATH_BUFFER];
  ASSERT_TRUE(Utf8GetRoamingFolder(roaming));
  EXPECT_EQ(g_app.settings_folder, std::string(roaming) + "\\Vistrel\\");
  EXPECT_EQ(g_app.settings_path, std::string(roaming) + "\\Vistrel\\vistrel.ini");
  EXPECT_TRUE(IsFolder(g_app.settings_folder));   // created when missing

  ASSERT_TRUE(CreateFolder(exe_folder + "portable"));
  ASSERT_TRUE(FindSettingsLocation());
  EXPECT_EQ(g_app.settings_folder, exe_folder + "portable\\");
  EXPECT_EQ(g_app.settings_path, exe_folder + "portable\\vistrel.ini");
}

TEST(WindowDpi, NoRescalingWithoutPerMonitorAwareness) {
  EXPECT_EQ(WindowDpiScale(nullptr), 0);
  EXPECT_EQ(WindowDpiScale(GetDesktopWindow()), 0);
}
