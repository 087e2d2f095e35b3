#include "app/main_window.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/build_info.h"
#include "auxwindows/license_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "base/settings_store.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/win_test_support.h"
#include "view/picture_control.h"

namespace {

class MainWindowTest : public MainWindowFixture {
 protected:
  HWND Open() { return OpenMainWindow(); }

  HWND Main() const { return g_app.main_window->window; }

  // Closes the main window with the system close command; returns the quit code.
  int CloseWithSystemCommand() {
    SendMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    return DrainQuit();
  }

  std::string Ini(const char* key) { return IniValue(g_app.settings_path, key); }

  void SeedSettings(int x, int y, int w, int h, int maximized) {
    WriteSettingInt("main_wnd_x", x);
    WriteSettingInt("main_wnd_y", y);
    WriteSettingInt("main_wnd_w", w);
    WriteSettingInt("main_wnd_h", h);
    WriteSettingInt("main_wnd_maximized", maximized);
  }
};

RECT WindowRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

RECT WorkAreaNearest(const RECT& r) {
  MONITORINFO info;
  info.cbSize = sizeof info;
  info.rcWork = RECT();
  GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
}

// The child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child) {
  RECT r = WindowRect(child);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void ExpectRect(const RECT& r, int left, int top, int right, int bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

void ExpectPictureFillsClient(HWND main) {
  HWND picture = GetDlgItem(main, IDC_PICTURE);
  ASSERT_NE(picture, nullptr);
  RECT client;
  GetClientRect(main, &client);
  RECT child = ChildRect(picture);
  ExpectRect(child, client.left, client.top, client.right, client.bottom);
}

MSG KeyMessage(HWND window, WPARAM key, LPARAM repeat = 1, UINT message = WM_KEYDOWN) {
  MSG m = {};
  m.hwnd = window;
  m.message = message;
  m.wParam = key;
  m.lParam = repeat;
  return m;
}

std::string MenuText(HMENU menu, UINT position) {
  wchar_t text[256] = {0};
  MENUITEMINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = text;
  info.cch = 256;
  GetMenuItemInfoW(menu, position, TRUE, &info);
  return Utf8(text);
}

struct ExpectedItem {
  UINT id;          // 0 for a separator
  const char* text;
  bool grayed;
};

void ExpectMenu(HMENU menu, const std::vector<ExpectedItem>& items) {
  ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(items.size()));
  for (UINT i = 0; i < items.size(); ++i) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info));
    if (items[i].id == 0) {
      EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "position " << i;
      continue;
    }
    EXPECT_EQ(info.wID, items[i].id) << "position " << i;
    EXPECT_EQ(MenuText(menu, i), items[i].text) << "position " << i;
    EXPECT_EQ((info.fState & MFS_GRAYED) != 0, items[i].grayed) << items[i].text;
    EXPECT_FALSE(info.fState & MFS_CHECKED) << items[i].text;
  }
}

}  // namespace

TEST_F(MainWindowTest, FirstStartOpensAt50x50Sized1024x768) {
  HWND main = Open();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main, Main());
  ExpectRect(WindowRect(main), 50, 50, 1074, 818);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_FALSE(IsZoomed(main));
  char title[64];
  GetWindowTextA(main, title, sizeof title);
  EXPECT_STREQ(title, "Vistrel");
  char class_name[64];
  GetClassNameA(main, class_name, sizeof class_name);
  EXPECT_STREQ(class_name, "vistrel_superhost");
  EXPECT_NE(GetClassLongPtrA(main, GCLP_HICON), 0);

  HWND picture = GetDlgItem(main, IDC_PICTURE);
  ASSERT_NE(picture, nullptr);
  GetClassNameA(picture, class_name, sizeof class_name);
  EXPECT_STREQ(class_name, "picture_control_superhost");
  ASSERT_NE(g_app.picture_control, nullptr);
  EXPECT_EQ(g_app.picture_control->window, picture);
  ExpectPictureFillsClient(main);
  EXPECT_NE(GetMenu(main), nullptr);
  EXPECT_EQ(GetMenu(main), g_app.main_window->menu);
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_maximized"), "0");
  EXPECT_EQ(Ini("main_wnd_x"), "50");
  EXPECT_EQ(Ini("main_wnd_y"), "50");
  EXPECT_EQ(Ini("main_wnd_w"), "1024");
  EXPECT_EQ(Ini("main_wnd_h"), "768");
}

TEST_F(MainWindowTest, MenuTextsAndIdsAreExact) {
  HWND main = Open();
  HMENU menu = GetMenu(main);
  ASSERT_EQ(GetMenuItemCount(menu), 3);
  EXPECT_EQ(MenuText(menu, 0), "&FILE");
  EXPECT_EQ(MenuText(menu, 1), "&EDIT");
  EXPECT_EQ(MenuText(menu, 2), "&HELP");
  ExpectMenu(GetSubMenu(menu, 0), {
      {40047, "&Open files...\t Ctrl+A", false},
      {0, "", false},
      {40042, "&Next\t Right", false},
      {40043, "&Previous\t Left", false},
      {0, "", false},
      {40044, "E&xit\t Ctrl+Q", false},
  });
  ExpectMenu(GetSubMenu(menu, 1), {
      {40023, "Black && &White\t Ctrl+W", false},
      {40024, "&Blur\t Ctrl+B", false},
      {40029, "Flip &vertically\t Ctrl+V", false},
      {40030, "Flip &horizontally\t Ctrl+H", false},
      {40031, "&Negative\t Ctrl+N", false},
      {40032, "&Log transformation\t Ctrl+L", false},
      {40033, "&Illinify\t Ctrl+I", false},
      {0, "", false},
      {40025, "&Rotate by 0 degrees\t Ctrl+0", false},
      {40026, "&Rotate by 90 degrees\t Ctrl+9", false},
      {40027, "&Rotate by 180 degrees\t Ctrl+8", false},
      {40028, "&Rotate by 270 degrees\t Ctrl+7", false},
  });
  ExpectMenu(GetSubMenu(menu, 2), {
      {40034, "Text file:", true},
      {40037, "&Documentation", false},
      {0, "", false},
      {40038, "&About...\t Ctrl+F1", false},
      {40039, "&Changelog...\t Ctrl+F2", false},
      {40040, "&Version...\t Ctrl+F3", false},
      {0, "", false},
      {40035, "Online:", true},
      {40036, "Official &website", false},
      {0, "", false},
      {40041, "&License...", false},
  });
}

TEST_F(MainWindowTest, OpensWhereTheSettingsSayWhileThatIsOnAMonitor) {
  SeedSettings(-200, 30, 800, 600, 0);
  HWND main = Open();
  ExpectRect(WindowRect(main), -200, 30, 600, 630);
  ExpectPictureFillsClient(main);
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_x"), "-200");
  EXPECT_EQ(Ini("main_wnd_y"), "30");
  EXPECT_EQ(Ini("main_wnd_w"), "800");
  EXPECT_EQ(Ini("main_wnd_h"), "600");
  EXPECT_EQ(Ini("main_wnd_maximized"), "0");

  // Left on a monitor that is gone: onto the work area of the nearest one,
  // the main window and the auxiliary windows alike.
  CloseMainWindow();
  RECT work = WorkAreaNearest({-5000, -3000, -4200, -2400});
  RECT license_work = WorkAreaNearest({40000, 70, 40400, 470});
  SeedSettings(-5000, -3000, 800, 600, 0);
  WriteSettingInt("license_wnd_x", 40000);
  WriteSettingInt("license_wnd_y", 70);
  main = Open();
  ExpectRect(WindowRect(main), work.left, work.top, work.left + 800, work.top + 600);
  SendMessageA(main, WM_COMMAND, CMD_LICENSE, 0);
  PumpMessages(100);
  ASSERT_NE(g_app.license_window, nullptr);
  ExpectRect(WindowRect(g_app.license_window->window), license_work.right - 400, 70,
             license_work.right, 470);
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_x"), std::to_string(work.left));
  EXPECT_EQ(Ini("main_wnd_y"), std::to_string(work.top));
}

TEST_F(MainWindowTest, MaximizedKeepsTheNormalRectangle) {
  SeedSettings(100, 120, 640, 480, 1);
  HWND main = Open();
  EXPECT_TRUE(IsZoomed(main));
  ExpectPictureFillsClient(main);
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_maximized"), "1");
  EXPECT_EQ(Ini("main_wnd_x"), "100");
  EXPECT_EQ(Ini("main_wnd_w"), "640");

  // Overwrite the rectangle keys with markers: closing maximized must not touch them.
  WriteSettingInt("main_wnd_x", 101);
  CloseMainWindow();
  main = Open();
  ASSERT_TRUE(IsZoomed(main));
  ShowWindow(main, SW_RESTORE);
  PumpMessages(100);
  ExpectRect(WindowRect(main), 101, 120, 741, 600);
  ShowWindow(main, SW_MAXIMIZE);
  PumpMessages(100);
  WriteSettingInt("main_wnd_x", 7);
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_maximized"), "1");
  EXPECT_EQ(Ini("main_wnd_x"), "7");
}

TEST_F(MainWindowTest, ResizingIsRememberedButNotWhileMinimized) {
  HWND main = Open();
  SetWindowPos(main, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
  PumpMessages(50);
  ExpectPictureFillsClient(main);
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_w"), "700");
  EXPECT_EQ(Ini("main_wnd_h"), "500");
  EXPECT_EQ(Ini("main_wnd_x"), "50");

  CloseMainWindow();
  main = Open();
  ShowWindow(main, SW_MINIMIZE);
  PumpMessages(100);
  EXPECT_TRUE(IsIconic(main));
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_maximized"), "0");
  EXPECT_EQ(Ini("main_wnd_x"), "50");
  EXPECT_EQ(Ini("main_wnd_w"), "700");
  EXPECT_EQ(Ini("main_wnd_h"), "500");
}

TEST_F(MainWindowTest, OnlyMovesMadeUnderTheMouseCaptureAreRemembered) {
  HWND main = Open();
  // A move made by the program: not remembered.
  SetWindowPos(main, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PumpMessages(50);
  EXPECT_EQ(WindowRect(main).left, 300);
  EXPECT_EQ(g_app.main_window->x, 50);

  // While the window holds the capture, as during a drag: remembered.
  SetCapture(main);
  SetWindowPos(main, nullptr, 310, 210, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PumpMessages(50);
  EXPECT_EQ(g_app.main_window->x, 310);
  EXPECT_EQ(g_app.main_window->y, 210);

  // Dragged left of and above the main monitor's edges (onto a monitor
  // there): remembered too.
  SetWindowPos(main, nullptr, -600, -40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  PumpMessages(50);
  EXPECT_EQ(g_app.main_window->x, -600);
  EXPECT_EQ(g_app.main_window->y, -40);
  // Minimized, even under the capture: the minimized place is not.
  ShowWindow(main, SW_MINIMIZE);
  PumpMessages(100);
  EXPECT_TRUE(IsIconic(main));
  EXPECT_EQ(g_app.main_window->x, -600);
  EXPECT_EQ(g_app.main_window->y, -40);
  ReleaseCapture();
  EXPECT_EQ(CloseWithSystemCommand(), 0);
  EXPECT_EQ(Ini("main_wnd_x"), "-600");
  EXPECT_EQ(Ini("main_wnd_y"), "-40");
}

TEST_F(MainWindowTest, CloseCancelAndEnterDoNothing) {
  HWND main = Open();
  SendMessageA(main, WM_CLOSE, 0, 0);
  SendMessageA(main, WM_COMMAND, IDCANCEL, 0);
  SendMessageA(main, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(PumpMessages(100));
  EXPECT_TRUE(IsWindow(main));
  SetForegroundWindow(main);
  SetFocus(main);
  PressKeys({VK_ESCAPE});
  PressKeys({VK_RETURN});
  EXPECT_TRUE(PumpMessages(200));
  EXPECT_TRUE(IsWindow(main));
  EXPECT_FALSE(PathExists(g_app.settings_path));   // nothing saved yet
  // The Exit command ends it, saving the placement.
  SendMessageA(main, WM_COMMAND, CMD_EXIT, 0);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(DrainQuit(), 0);
  EXPECT_EQ(Ini("main_wnd_maximized"), "0");
}

TEST_F(MainWindowTest, EffectAndRotationCommands) {
  Open();
  PictureControl* p = g_app.picture_control;
  ASSERT_NE(p, nullptr);
  struct {
    int command;
    unsigned char* flag;
  } toggles[] = {
      {CMD_BLACK_AND_WHITE, &p->black_and_white}, {CMD_BLUR, &p->blur},
      {CMD_FLIP_VERTICALLY, &p->flip_vertically}, {CMD_FLIP_HORIZONTALLY, &p->flip_horizontally},
      {CMD_NEGATIVE, &p->negative},               {CMD_LOG_TRANSFORMATION, &p->log_transformation},
      {CMD_ILLINIFY, &p->illinify},
  };
  for (auto& t : toggles) {
    EXPECT_EQ(*t.flag, 0);
    SendMessageA(Main(), WM_COMMAND, t.command, 0);
    EXPECT_EQ(*t.flag, 1) << t.command;
  }
  for (auto& t : toggles) {
    // The notification code in the high bits is not looked at.
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(t.command, 1), 0);
    EXPECT_EQ(*t.flag, 0) << t.command;
  }
  const int rotations[][2] = {{CMD_ROTATE_90, 90}, {CMD_ROTATE_180, 180}, {CMD_ROTATE_270, 270},
                              {CMD_ROTATE_0, 0}};
  for (auto& r : rotations) {
    SendMessageA(Main(), WM_COMMAND, r[0], 0);
    EXPECT_EQ(p->rotation, r[1]);
  }
  // Ids that are not commands change nothing.
  for (int id : {CMD_LABEL_TEXT_FILE, CMD_LABEL_ONLINE, 40045, 40046, 40022, 40048, 1, 2}) {
    SendMessageA(Main(), WM_COMMAND, id, 0);
  }
  for (auto& t : toggles) EXPECT_EQ(*t.flag, 0);
  EXPECT_EQ(p->rotation, 0);
  EXPECT_TRUE(IsWindow(Main()));
}

TEST_F(MainWindowTest, ShortcutTableAndModifierRules) {
  HWND main = Open();
  HWND picture = GetDlgItem(main, IDC_PICTURE);
  PictureControl* p = g_app.picture_control;
  MSG m;

  // No modifier: the arrows are shortcuts, letters and function keys are not.
  m = KeyMessage(main, VK_RIGHT);
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  m = KeyMessage(picture, VK_LEFT);   // descendants of the main window count
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  m = KeyMessage(main, 'W');
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, VK_F1);
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, VK_RIGHT, 1, WM_KEYUP);
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, VK_RIGHT, 1, WM_CHAR);
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, VK_NUMPAD0);
  EXPECT_EQ(TranslateShortcutKey(&m), 0);

  KeyDownInput(VK_CONTROL);
  PumpMessages(30);
  m = KeyMessage(picture, 'W');
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  EXPECT_EQ(p->black_and_white, 1);
  m = KeyMessage(main, VK_RIGHT);   // Ctrl+Right is not Next
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, 'P');        // swallowed, nothing sent
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  m = KeyMessage(main, '9');
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  EXPECT_EQ(p->rotation, 90);
  m = KeyMessage(main, VK_NUMPAD9);  // the keypad's digits do not count
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, VK_F1, 2);   // function keys only on a fresh press
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, 'B', 2);     // other rows also on repeats
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  EXPECT_EQ(p->blur, 1);
  m = KeyMessage(main, 'N', 1, WM_SYSKEYDOWN);
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  EXPECT_EQ(p->negative, 1);

  // Ctrl with Shift or Alt is not "Ctrl only".
  KeyDownInput(VK_SHIFT);
  PumpMessages(30);
  m = KeyMessage(main, 'W');
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  m = KeyMessage(main, 'A');
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  KeyUpInput(VK_SHIFT);
  KeyDownInput(VK_MENU);
  PumpMessages(30);
  m = KeyMessage(main, 'W', 1, WM_SYSKEYDOWN);
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  KeyUpInput(VK_MENU);
  PumpMessages(30);

  // Under a mouse capture shortcuts are swallowed without their command.
  SetCapture(main);
  m = KeyMessage(main, 'W');
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  EXPECT_EQ(p->black_and_white, 1);
  m = KeyMessage(main, 'Q');
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  EXPECT_TRUE(IsWindow(main));
  ReleaseCapture();

  // Windows outside the main window get no shortcuts.
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  m = KeyMessage(other, 'Q');
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
  EXPECT_TRUE(IsWindow(main));
  DestroyWindow(other);

  m = KeyMessage(main, 'Q');
  EXPECT_EQ(TranslateShortcutKey(&m), 1);
  KeyUpInput(VK_CONTROL);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(DrainQuit(), 0);
}

TEST_F(MainWindowTest, RealKeyPressesReachTheCommands) {
  HWND main = Open();
  SetForegroundWindow(main);
  SetFocus(main);
  PumpMessages(100);
  PictureControl* p = g_app.picture_control;
  // The modifiers are read when the key message is handled, so the keys are
  // held while the messages are processed, as a user's fingers would.
  int quit_code = -1;
  auto chord = [&quit_code](std::initializer_list<WORD> keys) {
    for (WORD key : keys) KeyDownInput(key);
    bool running = PumpMessages(150, &quit_code);
    std::vector<WORD> order(keys);
    for (size_t i = order.size(); i-- > 0;) KeyUpInput(order[i]);
    if (running) PumpMessages(50, &quit_code);
  };
  chord({VK_CONTROL, 'W'});
  EXPECT_EQ(p->black_and_white, 1);
  chord({VK_CONTROL, '8'});
  EXPECT_EQ(p->rotation, 180);
  chord({VK_CONTROL, VK_SHIFT, 'W'});   // not a shortcut
  chord({VK_MENU, VK_RIGHT});           // Alt+Right neither
  chord({VK_RIGHT});                    // no pictures: nothing happens
  EXPECT_EQ(p->black_and_white, 1);
  EXPECT_TRUE(IsWindow(main));
  EXPECT_EQ(quit_code, -1);
  chord({VK_CONTROL, 'Q'});
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(quit_code, 0);
  EXPECT_EQ(Ini("main_wnd_maximized"), "0");
}

namespace {

struct MessageBoxCapture {
  HWND box = nullptr;
  HWND owner = nullptr;
  std::string caption;
  std::vector<std::string> texts;
};

BOOL CALLBACK CollectText(HWND child, LPARAM lparam) {
  wchar_t text[1024];
  GetWindowTextW(child, text, 1024);
  reinterpret_cast<MessageBoxCapture*>(lparam)->texts.push_back(Utf8(text));
  return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM lparam) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  char class_name[64];
  GetClassNameA(window, class_name, sizeof class_name);
  if (strcmp(class_name, "#32770") != 0) return TRUE;
  MessageBoxCapture* capture = reinterpret_cast<MessageBoxCapture*>(lparam);
  capture->box = window;
  return FALSE;
}

// Waits for this process's message box, reads it and presses OK.
void WatchForMessageBox(MessageBoxCapture* capture) {
  for (int i = 0; i < 500 && !capture->box; ++i) {
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(capture));
    if (!capture->box) Sleep(10);
  }
  if (!capture->box) return;
  wchar_t caption[256];
  GetWindowTextW(capture->box, caption, 256);
  capture->caption = Utf8(caption);
  capture->owner = GetWindow(capture->box, GW_OWNER);
  EnumChildWindows(capture->box, CollectText, reinterpret_cast<LPARAM>(capture));
  PostMessageA(capture->box, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST_F(MainWindowTest, VersionBox) {
  std::regex form(
      "Vistrel version: [0-9]+\\.[0-9]+(\\.[0-9]+)? \\(x64\\)\n\nBuild timestamp: [A-Z][a-z]{2} "
      "( [1-9]|[12][0-9]|3[01]) [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\nGit commit: [0-9a-f]{40}");
  EXPECT_TRUE(std::regex_match(VersionText(), form)) << VersionText();

  HWND main = Open();
  MessageBoxCapture capture;
  std::thread watcher(WatchForMessageBox, &capture);
  SendMessageA(main, WM_COMMAND, CMD_VERSION, 0);   // returns when the box is closed
  watcher.join();
  ASSERT_NE(capture.box, nullptr);
  EXPECT_EQ(capture.caption, "Version details");
  EXPECT_EQ(capture.owner, main);
  bool found = false;
  std::string expected = VersionText();
  for (const std::string& text : capture.texts) {
    std::string unix_lines;
    for (char c : text) {
      if (c != '\r') unix_lines += c;
    }
    if (unix_lines == expected) found = true;
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(IsWindow(main));
}

namespace {

BOOL CALLBACK FindNotepad(HWND window, LPARAM lparam) {
  char class_name[64];
  GetClassNameA(window, class_name, sizeof class_name);
  if (lstrcmpiA(class_name, "Notepad") != 0) return TRUE;
  wchar_t title[512];
  GetWindowTextW(window, title, 512);
  if (Utf8(title).find("documentation") == std::string::npos) return TRUE;
  *reinterpret_cast<HWND*>(lparam) = window;
  return FALSE;
}

}  // namespace

TEST_F(MainWindowTest, DocumentationOpensInNotepad) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "documentation.txt", "Vistrel user guide\r\n"));
  HWND main = Open();
  SendMessageA(main, WM_COMMAND, CMD_DOCUMENTATION, 0);
  HWND notepad = nullptr;
  PumpUntil(
      [&] {
        EnumWindows(FindNotepad, reinterpret_cast<LPARAM>(&notepad));
        return notepad != nullptr;
      },
      15000);
  ASSERT_NE(notepad, nullptr);
  DWORD notepad_process = 0;
  GetWindowThreadProcessId(notepad, &notepad_process);
  EXPECT_NE(notepad_process, GetCurrentProcessId());
  PostMessageA(notepad, WM_CLOSE, 0, 0);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, notepad_process);
  if (process) {
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) TerminateProcess(process, 0);
    CloseHandle(process);
  }
  EXPECT_TRUE(IsWindow(main));
}

namespace {

LRESULT CALLBACK RefuseCreation(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) return FALSE;
  return DefWindowProcA(window, message, wparam, lparam);
}

// What the running program showed to the timer below.
struct RunningProgram {
  bool main_window_visible = false;
  bool about_opened = true;
};
RunningProgram g_running;

// Called from the message loop of start-up: looks at the main window, asks
// for the About window and exits.
void CALLBACK ExerciseRunningProgram(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND main = g_app.main_window ? g_app.main_window->window : nullptr;
  g_running.main_window_visible = main && IsWindowVisible(main);
  SendMessageA(main, WM_COMMAND, CMD_ABOUT, 0);
  g_running.about_opened = g_app.about_window != nullptr;
  SendMessageA(main, WM_COMMAND, CMD_EXIT, 0);
}

// The whole start-up in this process, in portable mode beside the test's
// exe, with one of the program's class names taken by a class whose windows
// refuse to be created.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = GetModuleHandleA(nullptr);
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string exe = Utf8(path);
    portable_ = exe.substr(0, exe.find_last_of('\\') + 1) + "portable";
    if (!IsFolder(portable_)) {
      ASSERT_TRUE(CreateFolder(portable_));
    }
  }
  void TearDown() override {
    DeleteTree(portable_);
    if (!taken_.empty()) {
      UnregisterClassA(taken_.c_str(), instance_);
      RegisterWindowClasses(instance_);
    }
  }
  void TakeClassName(const char* name) {
    UnregisterClassA(name, instance_);
    WNDCLASSEXA refusing = {};
    refusing.cbSize = sizeof refusing;
    refusing.lpfnWndProc = RefuseCreation;
    refusing.hInstance = instance_;
    refusing.lpszClassName = name;
    ASSERT_NE(RegisterClassExA(&refusing), 0);
    taken_ = name;
  }

  HINSTANCE instance_ = nullptr;
  std::string portable_;
  std::string taken_;
};

}  // namespace

// Only a main window that cannot be created ends start-up, with exit code 3.
TEST_F(StartupTest, WithoutItsMainWindowStartUpEndsWithExitCodeThree) {
  TakeClassName("vistrel_superhost");
  EXPECT_EQ(RunVistrel(instance_), EXIT_NO_MAIN_WINDOW);
  EXPECT_EQ(g_app.main_window, nullptr);
}

// A class the program cannot use for a help window costs only that window:
// the program starts, shows its main window and ends normally.
TEST_F(StartupTest, AnUnusableHelpWindowClassCostsOnlyThatWindow) {
  TakeClassName("about_superhost");
  g_running = RunningProgram();
  ASSERT_NE(SetTimer(nullptr, 0, 300, ExerciseRunningProgram), 0u);
  EXPECT_EQ(RunVistrel(instance_), 0);
  EXPECT_TRUE(g_running.main_window_visible);
  EXPECT_FALSE(g_running.about_opened);
  EXPECT_EQ(g_app.about_window, nullptr);
  EXPECT_EQ(IniValue(portable_ + "\\vistrel.ini", "main_wnd_maximized"), "0");   // closed normally
}

// Classes this process registered before count as registered, so a second
// registration reports success too.
TEST_F(StartupTest, WindowClassRegistrationReportsItsResult) {
  EXPECT_TRUE(RegisterWindowClasses(GetModuleHandleW(nullptr)));
  EXPECT_TRUE(RegisterWindowClasses(GetModuleHandleW(nullptr)));
  WNDCLASSEXA info;
  info.cbSize = sizeof info;
  EXPECT_TRUE(GetClassInfoExA(GetModuleHandleW(nullptr), "picture_control_superhost", &info));
}
