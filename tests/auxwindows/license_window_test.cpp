// The License window for real: placement, the text as the file has it,
// empty, missing and oversized files, Escape, the single instance, and the
// main window closing it first.
#include "auxwindows/license_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/main_window.h"
#include "auxwindows/about_window.h"
#include "base/app_state.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/win_test_support.h"

namespace {

RECT WindowRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

class LicenseWindowTest : public MainWindowFixture {
protected:
  void TearDown() override {
    CloseLicenseWindow();
    MainWindowFixture::TearDown();
  }

  LicenseWindow* Open() {
    OpenLicenseWindow(nullptr);
    PumpMessages(50);
    return g_app.license_window;
  }

  std::string LicensePath() { return folder_ + "license.txt"; }

  std::wstring BoxText() {
    HWND box = GetDlgItem(g_app.license_window->window, IDC_LICENSE_TEXT);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(box, &text[0], static_cast<int>(text.size()))));
    return text;
  }
};

}  // namespace

TEST_F(LicenseWindowTest, ShowsTheFileAsItIsInAReadOnlyBoxAt0x50) {
  // UTF-8 Greek with line feeds only: shown as Unicode, line ends unchanged.
  std::string text = "\xCE\x86\xCE\xB4\xCE\xB5\xCE\xB9\xCE\xB1 \xC3\xA9t\xC3\xA9\nline two\n\n";
  while (text.size() < 30000) text += "more text, over several blocks of the reader\n";
  ASSERT_TRUE(WriteFileBytes(LicensePath(), text));
  LicenseWindow* license = Open();
  ASSERT_NE(license, nullptr);
  EXPECT_EQ(BoxText(), Wide(text));
  RECT r = WindowRect(license->window);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 400);
  char title[64] = {};
  GetWindowTextA(license->window, title, sizeof title);
  EXPECT_STREQ(title, "Vistrel license");
  HWND box = GetDlgItem(license->window, IDC_LICENSE_TEXT);
  EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(GetFocus(), box);
  RECT client, child = WindowRect(box);
  GetClientRect(license->window, &client);
  MapWindowPoints(HWND_DESKTOP, license->window, reinterpret_cast<POINT*>(&child), 2);
  EXPECT_GE(child.right, client.right - 2);        // a dialog unit narrower than the template
  EXPECT_EQ(child.bottom, client.bottom);
  DWORD start = 1, end = 2;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, end);                           // nothing selected
  HDC dc = CreateCompatibleDC(nullptr);            // black on white
  INT_PTR brush = SendMessageW(license->window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(box));
  EXPECT_EQ(brush, reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  DeleteDC(dc);
}

// The dialog and its text box are wide-character windows: an ANSI text box
// would keep its text in the system code page, and Greek, Cyrillic or CJK
// would come back as "?" on Windows.
TEST_F(LicenseWindowTest, TheBoxIsAUnicodeWindowAndKeepsEveryScript) {
  const std::string text =
      "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC\n"   // Ελληνικά
      "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9\n"           // Русский
      "\xE4\xB8\xAD\xE6\x96\x87 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E "
      "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\n"                                   // 中文 日本語 한국어
      "\xF0\x9F\x98\x80 \xE2\x82\xAC\n";                                        // outside the BMP, €
  ASSERT_TRUE(WriteFileBytes(LicensePath(), text));
  LicenseWindow* license = Open();
  ASSERT_NE(license, nullptr);
  HWND box = GetDlgItem(license->window, IDC_LICENSE_TEXT);
  EXPECT_TRUE(IsWindowUnicode(license->window));
  EXPECT_TRUE(IsWindowUnicode(box));
  EXPECT_EQ(BoxText(), Wide(text));
  wchar_t title[64] = {};
  GetWindowTextW(license->window, title, 64);
  EXPECT_STREQ(title, L"Vistrel license");
}

TEST_F(LicenseWindowTest, EmptyMissingOrOversizedFileGivesAnEmptyBox) {
  ASSERT_NE(Open(), nullptr);                      // no license.txt at all
  EXPECT_EQ(BoxText(), L"");
  CloseLicenseWindow();
  ASSERT_TRUE(WriteFileBytes(LicensePath(), ""));
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(BoxText(), L"");
  CloseLicenseWindow();
  // A sparse file of 3 GB: its size does not fit an int.
  HANDLE file = CreateFileW(LongForm(LicensePath()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = int64_t{3} << 30;
  bool sized = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  if (!sized) GTEST_SKIP() << "the file system cannot hold a sparse 3 GB file";
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(BoxText(), L"");
  CloseLicenseWindow();
  DeleteFileW(LongForm(LicensePath()).c_str());
}

TEST_F(LicenseWindowTest, EscapeClosesAndTheNextOpeningIsWhereItWasLeft) {
  ASSERT_TRUE(WriteFileBytes(LicensePath(), "first"));
  LicenseWindow* license = Open();
  ASSERT_NE(license, nullptr);
  HWND window = license->window;
  SetWindowPos(window, nullptr, -40, 333, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetForegroundWindow(window);
  SetFocus(GetDlgItem(window, IDC_LICENSE_TEXT));
  PumpMessages(50);
  PressKeys({VK_ESCAPE}, 30);
  PumpUntil([] { return g_app.license_window == nullptr; }, 2000);
  EXPECT_EQ(g_app.license_window, nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(IniValue(g_app.settings_path, "license_wnd_x"), "-40");
  EXPECT_EQ(IniValue(g_app.settings_path, "license_wnd_y"), "333");
  ASSERT_TRUE(WriteFileBytes(LicensePath(), "second"));
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(BoxText(), L"second");                 // read again
  RECT r = WindowRect(g_app.license_window->window);
  EXPECT_EQ(r.left, -40);
  EXPECT_EQ(r.top, 333);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 400);
}

TEST_F(LicenseWindowTest, SecondCommandFocusesAndShortcutsStayInTheMainWindow) {
  HWND main = OpenMainWindow();
  HandleCommand(g_app.main_window, CMD_LICENSE);
  PumpMessages(50);
  LicenseWindow* license = g_app.license_window;
  ASSERT_NE(license, nullptr);
  EXPECT_EQ(GetWindow(license->window, GW_OWNER), main);
  SetForegroundWindow(main);
  SetFocus(main);
  PumpMessages(50);
  HandleCommand(g_app.main_window, CMD_LICENSE);
  PumpMessages(50);
  EXPECT_EQ(g_app.license_window, license);
  EXPECT_EQ(GetActiveWindow(), license->window);
  MSG m = {GetDlgItem(license->window, IDC_LICENSE_TEXT), WM_KEYDOWN, 'Q', 1, 0, {0, 0}};
  EXPECT_EQ(TranslateShortcutKey(&m), 0);          // Ctrl+Q or not, no shortcut here
}

TEST_F(LicenseWindowTest, ClosingTheMainWindowClosesBothHelpWindowsFirst) {
  HWND main = OpenMainWindow();
  HandleCommand(g_app.main_window, CMD_LICENSE);
  HandleCommand(g_app.main_window, CMD_ABOUT);
  PumpMessages(50);
  ASSERT_NE(g_app.license_window, nullptr);
  ASSERT_NE(g_app.about_window, nullptr);
  SetWindowPos(g_app.license_window->window, nullptr, 70, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetWindowPos(g_app.about_window->window, nullptr, 90, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(DrainQuit(), 0);
  EXPECT_EQ(g_app.license_window, nullptr);
  EXPECT_EQ(g_app.about_window, nullptr);
  EXPECT_EQ(IniValue(g_app.settings_path, "license_wnd_x"), "70");
  EXPECT_EQ(IniValue(g_app.settings_path, "license_wnd_y"), "80");
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_x"), "90");
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_y"), "100");
  delete g_app.main_window;
  g_app.main_window = nullptr;
  // A main window destroyed directly takes them down too, and frees them.
  OpenMainWindow();
  HandleCommand(g_app.main_window, CMD_LICENSE);
  HandleCommand(g_app.main_window, CMD_ABOUT);
  PumpMessages(50);
  CloseMainWindow();
  EXPECT_EQ(g_app.license_window, nullptr);
  EXPECT_EQ(g_app.about_window, nullptr);
}
