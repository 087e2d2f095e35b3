// Starts the real vistrel.exe and opens its About and License windows as a
// person would: Ctrl+F1, and Help > License from the menu.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/picture_test_support.h"
#include "tests/support/vistrel_process.h"
#include "tests/support/win_test_support.h"

namespace {

// A window of the process with the given class, once it is visible.
HWND WaitForProcessWindow(DWORD process_id, const char* class_name) {
  for (int i = 0; i < 200; ++i) {
    HWND window = FindProcessWindow(process_id, class_name);
    if (window && IsWindowVisible(window)) return window;
    Sleep(25);
  }
  return nullptr;
}

bool WaitForWindowGone(HWND window) {
  for (int i = 0; i < 200 && IsWindow(window); ++i) Sleep(25);
  return !IsWindow(window);
}

// The colours of the window's client area on the screen (alpha cleared).
std::vector<uint32_t> ClientColours(HWND window) {
  std::vector<uint32_t> pixels = CaptureClient(window).pixels;
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

int CountLit(const std::vector<uint32_t>& pixels) {
  int n = 0;
  for (uint32_t p : pixels) n += p != 0;
  return n;
}

RECT WindowRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

}  // namespace

TEST(HelpWindowsE2E, AboutRollsAndLicenseReopensWhereItWasMoved) {
  std::string folder = MakeTempFolder("help");
  ASSERT_FALSE(folder.empty());
  std::string app = folder + "app\\";
  ASSERT_TRUE(CreateFolder(app));
  ASSERT_TRUE(CreateFolder(app + "portable"));
  ASSERT_TRUE(WriteFileBytes(app + "license.txt", "Vistrel license text\r\nsecond line\r\n"));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  DWORD process = v.process.dwProcessId;

  // Ctrl+F1 in the main window opens About at (0, 50), 630 x 210.
  SetForegroundWindow(v.window);
  Sleep(200);
  PressKeys({VK_CONTROL, VK_F1}, 200);
  HWND about = WaitForProcessWindow(process, "about_superhost");
  ASSERT_NE(about, nullptr);
  RECT r = WindowRect(about);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 630);
  EXPECT_EQ(r.bottom - r.top, 210);
  // The credits roll: what the screen shows changes from one moment to the next.
  Sleep(1500);
  std::vector<uint32_t> first = ClientColours(about);
  Sleep(700);
  std::vector<uint32_t> second = ClientColours(about);
  EXPECT_GT(CountLit(first), 50);
  EXPECT_GT(CountLit(second), 50);
  EXPECT_NE(first, second);
  PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitForWindowGone(about));

  // Help > License, from the menu with the keyboard.
  SetForegroundWindow(v.window);
  Sleep(200);
  PressKeys({VK_MENU, 'H'}, 150);
  Sleep(300);
  PressKeys({'L'}, 50);
  HWND license = WaitForProcessWindow(process, "license_superhost");
  ASSERT_NE(license, nullptr);
  r = WindowRect(license);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 400);
  wchar_t text[128] = {};
  // GetWindowText does not ask a window of another process; the message does.
  SendMessageW(GetDlgItem(license, IDC_LICENSE_TEXT), WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::wstring(text), L"Vistrel license text\r\nsecond line\r\n");
  // Moved, closed with Escape, opened again: at the new place.
  SetWindowPos(license, nullptr, 160, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Sleep(100);
  SetForegroundWindow(license);
  Sleep(200);
  PressKeys({VK_ESCAPE}, 50);
  EXPECT_TRUE(WaitForWindowGone(license));
  PostMessageW(v.window, WM_COMMAND, CMD_LICENSE, 0);
  license = WaitForProcessWindow(process, "license_superhost");
  ASSERT_NE(license, nullptr);
  r = WindowRect(license);
  EXPECT_EQ(r.left, 160);
  EXPECT_EQ(r.top, 90);
  EXPECT_EQ(r.right - r.left, 400);

  EXPECT_EQ(CloseVistrel(&v), 0);
  std::string ini = app + "portable\\vistrel.ini";
  EXPECT_EQ(IniValue(ini, "license_wnd_x"), "160");
  EXPECT_EQ(IniValue(ini, "license_wnd_y"), "90");
  EXPECT_EQ(IniValue(ini, "about_wnd_x"), "0");
  EXPECT_EQ(IniValue(ini, "about_wnd_y"), "50");
  DeleteTree(folder);
}

// Characters typed into the Changelog's find prompt, outside the ANSI code
// page (Greek), in it ("€"), and beyond U+FFFF (an emoji, two surrogates),
// each as Unicode key events: every one is found, and the match it selects
// is what Ctrl+C then puts on the clipboard.
TEST(HelpWindowsE2E, TextTypedIntoTheChangelogsFindPromptArrivesWhole) {
  std::string folder = MakeTempFolder("typing");
  ASSERT_FALSE(folder.empty());
  std::string app = folder + "app\\";
  ASSERT_TRUE(CreateFolder(app));
  ASSERT_TRUE(CreateFolder(app + "portable"));
  const std::wstring needles[] = {L"plain", L"\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1",
                                  L"\u20AC", L"\U0001F600"};
  std::string changelog = "Vistrel changelog\r\n\r\n";
  for (const std::wstring& needle : needles) changelog += "1.11 finds " + Utf8(needle) + " here\r\n";
  ASSERT_TRUE(WriteFileBytes(app + "changelog.txt", changelog));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));

  SetForegroundWindow(v.window);
  Sleep(200);
  PressKeys({VK_CONTROL, VK_F2}, 200);
  HWND window = WaitForProcessWindow(v.process.dwProcessId, "changelog_superhost");
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  Sleep(300);
  for (const std::wstring& needle : needles) {
    ASSERT_TRUE(PutOnClipboard(L"nothing copied"));
    PressKeys({VK_ESCAPE}, 100);   // the last match is no longer selected
    PressKeys({VK_CONTROL, 'F'}, 200);
    Sleep(100);
    TypeUnicodeInput(needle);
    Sleep(200);
    PressKeys({VK_RETURN}, 100);
    Sleep(200);
    PressKeys({VK_CONTROL, 'C'}, 200);
    Sleep(300);
    EXPECT_EQ(ClipboardText(), Utf8(needle)) << "typed " << Utf8(needle);
  }
  EXPECT_EQ(CloseVistrel(&v), 0);
  DeleteTree(folder);
}
