#include "app/main_window.h"

#include <string>
#include <vector>

#include "app/build_info.h"
#include "auxwindows/about_window.h"
#include "auxwindows/changelog_window.h"
#include "auxwindows/license_window.h"
#include "base/app_state.h"
#include "base/dialog_binding.h"
#include "base/settings_store.h"
#include "base/utf8_platform.h"
#include "base/window_position.h"
#include "view/picture_control.h"
#include "view/picture_navigation.h"

namespace {

bool KeyDown(int key) {
  return (GetAsyncKeyState(key) & 0x8000) != 0;
}

struct Shortcut {
  int key;
  bool ctrl;          // Ctrl only; otherwise no modifier at all
  bool fresh_press;   // only when the lowest bit of the repeat count is 1
  int command;        // 0: swallowed, nothing sent
};

// Looked at top to bottom; the first match wins.
const Shortcut SHORTCUTS[] = {
    {VK_F1, true, true, CMD_ABOUT},
    {VK_F2, true, true, CMD_CHANGELOG},
    {VK_F3, true, true, CMD_VERSION},
    {'A', true, false, CMD_OPEN_FILES},
    {VK_RIGHT, false, false, CMD_NEXT},
    {VK_LEFT, false, false, CMD_PREVIOUS},
    {'W', true, false, CMD_BLACK_AND_WHITE},
    {'B', true, false, CMD_BLUR},
    {'V', true, false, CMD_FLIP_VERTICALLY},
    {'H', true, false, CMD_FLIP_HORIZONTALLY},
    {'N', true, false, CMD_NEGATIVE},
    {'L', true, false, CMD_LOG_TRANSFORMATION},
    {'I', true, false, CMD_ILLINIFY},
    {'0', true, false, CMD_ROTATE_0},
    {'9', true, false, CMD_ROTATE_90},
    {'8', true, false, CMD_ROTATE_180},
    {'7', true, false, CMD_ROTATE_270},
    {'Q', true, false, CMD_EXIT},
    {'P', true, false, 0},
};

void ShowVersionBox(MainWindow* main_window) {
  Utf8MessageBox(main_window->window, VersionText(), "Version details");
}

AboutBuildFacts BuildFacts() {
  AboutBuildFacts facts;
  facts.version = ProgramVersion();
  facts.build_timestamp = BuildTimestamp();
  facts.commit_id = CommitId();
  facts.support_address = SupportAddress();
  return facts;
}

// The owned auxiliary windows close first, each saving its position and
// freeing its object.
void CloseAuxiliaryWindows() {
  CloseAboutWindow();
  CloseChangelogWindow();
  CloseLicenseWindow();
}

void DestroyMainWindow(MainWindow* main_window) {
  CloseAuxiliaryWindows();
  DestroyWindow(main_window->window);
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  MainWindow* self = static_cast<MainWindow*>(BindDialogObject(window, message, lparam));
  if (!self) return 0;
  if (message == WM_INITDIALOG) self->window = window;
  self->message = message;
  self->wparam = wparam;
  self->lparam = lparam;
  switch (message) {
    case WM_INITDIALOG: self->OnInitDialog(); break;
    case WM_SIZE: self->OnSize(); break;
    case WM_MOVE: self->OnMove(); break;
    case WM_COMMAND: HandleCommand(self, LOWORD(wparam)); break;
    case WM_SYSCOMMAND: self->OnSysCommand(); break;
    case WM_DROPFILES: self->OnDropFiles(); break;
    case WM_DESTROY: self->OnDestroy(); break;
  }
  return 0;
}

HWND CreateMainWindow(MainWindow* main_window) {
  return CreateDialogParamA(g_app.instance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                            MainDialogProc, reinterpret_cast<LPARAM>(main_window));
}

void MainWindow::OnInitDialog() {
  Utf8SetWindowText(window, "Vistrel");

  InitAnchors(&anchors, window);
  HWND picture = GetDlgItem(window, IDC_PICTURE);
  if (picture) AnchorChild(&anchors, picture, 0, 0, 1, 1);

  // Attaching the menu shrinks the client area, which rearranges the picture control.
  menu = LoadMenuA(g_app.instance, MAKEINTRESOURCEA(IDR_MAIN_MENU));
  SetMenu(window, menu);

  x = ReadSettingInt("main_wnd_x", 50);
  y = ReadSettingInt("main_wnd_y", 50);
  w = ReadSettingInt("main_wnd_w", 1024);
  h = ReadSettingInt("main_wnd_h", 768);
  // A rectangle left on a monitor that is gone comes onto one that is there.
  POINT placed = PositionOnScreen(x, y, w, h);
  x = placed.x;
  y = placed.y;
  SetWindowPos(window, nullptr, x, y, w, h, SWP_NOACTIVATE);

  bool maximized = ReadSettingInt("main_wnd_maximized", 0) != 0;
  ShowWindow(window, maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  SetFocus(window);
  // Vistrel takes no command-line arguments: files dropped on the window
  // are how Explorer hands it pictures.
  DragAcceptFiles(window, TRUE);
}

void MainWindow::RememberWindowRect() {
  RECT r;
  if (!GetWindowRect(window, &r)) return;
  x = r.left;
  y = r.top;
  w = r.right - r.left;
  h = r.bottom - r.top;
}

void MainWindow::OnSize() {
  if (wparam != SIZE_MINIMIZED) ArrangeChildren(&anchors);
  if (wparam != SIZE_MINIMIZED && wparam != SIZE_MAXIMIZED) RememberWindowRect();
}

void MainWindow::OnMove() {
  // Only a move the user drags (the window then holds the mouse capture)
  // is remembered, on any monitor, also one left of or above the main one.
  // Moves made by the program or by maximizing are not, nor the place a
  // window minimized under the capture is parked at.
  if (GetCapture() == window && !IsIconic(window)) RememberWindowRect();
}

void MainWindow::OnSysCommand() {
  if (wparam == SC_CLOSE) DestroyMainWindow(this);
}

void MainWindow::OnDropFiles() {
  HDROP drop = reinterpret_cast<HDROP>(wparam);
  std::vector<std::string> dropped = Utf8DragQueryFiles(drop);
  DragFinish(drop);
  OpenDroppedFiles(dropped);
}

void MainWindow::OnDestroy() {
  WINDOWPLACEMENT placement;
  placement.length = sizeof placement;
  GetWindowPlacement(window, &placement);
  if (placement.showCmd == SW_SHOWMAXIMIZED) {
    // The last normal rectangle stays in the file for the next restore.
    WriteSettingString("main_wnd_maximized", "1");
  } else {
    WriteSettingString("main_wnd_maximized", "0");
    WriteSettingInt("main_wnd_x", x);
    WriteSettingInt("main_wnd_y", y);
    WriteSettingInt("main_wnd_w", w);
    WriteSettingInt("main_wnd_h", h);
  }
  PostQuitMessage(0);
}

void HandleCommand(MainWindow* main_window, int command_id) {
  PictureControl* picture = g_app.picture_control;
  switch (command_id) {
    case CMD_EXIT:
      DestroyMainWindow(main_window);
      break;
    case CMD_BLACK_AND_WHITE:
      if (picture) ToggleEffect(picture, &picture->black_and_white);
      break;
    case CMD_BLUR:
      if (picture) ToggleEffect(picture, &picture->blur);
      break;
    case CMD_FLIP_VERTICALLY:
      if (picture) ToggleEffect(picture, &picture->flip_vertically);
      break;
    case CMD_FLIP_HORIZONTALLY:
      if (picture) ToggleEffect(picture, &picture->flip_horizontally);
      break;
    case CMD_NEGATIVE:
      if (picture) ToggleEffect(picture, &picture->negative);
      break;
    case CMD_LOG_TRANSFORMATION:
      if (picture) ToggleEffect(picture, &picture->log_transformation);
      break;
    case CMD_ILLINIFY:
      if (picture) ToggleEffect(picture, &picture->illinify);
      break;
    case CMD_ROTATE_0:
      if (picture) SetRotation(picture, 0);
      break;
    case CMD_ROTATE_90:
      if (picture) SetRotation(picture, 90);
      break;
    case CMD_ROTATE_180:
      if (picture) SetRotation(picture, 180);
      break;
    case CMD_ROTATE_270:
      if (picture) SetRotation(picture, 270);
      break;
    case CMD_DOCUMENTATION: {
      std::string documentation = g_app.exe_folder + "documentation.txt";
      Utf8ShellExecute(main_window->window, "", "notepad.exe", documentation.c_str(),
                       SW_SHOWNORMAL);
      break;
    }
    case CMD_WEBSITE:
      Utf8ShellExecute(main_window->window, "", WebsiteAddress(), "", SW_SHOWNORMAL);
      break;
    case CMD_VERSION:
      ShowVersionBox(main_window);
      break;
    case CMD_ABOUT:
      OpenAboutWindow(main_window->window, BuildFacts());
      break;
    case CMD_LICENSE:
      OpenLicenseWindow(main_window->window);
      break;
    case CMD_OPEN_FILES:
      OpenPictureFiles();
      break;
    case CMD_NEXT:
      ShowNextPicture();
      break;
    case CMD_PREVIOUS:
      ShowPreviousPicture();
      break;
    case CMD_CHANGELOG:
      OpenChangelogWindow(main_window->window);
      break;
    default:
      break;
  }
}

int TranslateShortcutKey(const MSG* message) {
  MainWindow* main_window = g_app.main_window;
  if (!main_window || !main_window->window) return 0;
  HWND main = main_window->window;
  if (message->hwnd != main && !IsChild(main, message->hwnd)) return 0;
  if (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN) return 0;

  bool ctrl = KeyDown(VK_CONTROL);
  bool shift = KeyDown(VK_SHIFT);
  bool alt = KeyDown(VK_MENU);
  bool ctrl_only = ctrl && !shift && !alt;
  bool no_modifier = !ctrl && !shift && !alt;
  bool fresh_press = (LOWORD(message->lParam) & 1) != 0;

  for (const Shortcut& shortcut : SHORTCUTS) {
    if (static_cast<int>(message->wParam) != shortcut.key) continue;
    if (shortcut.fresh_press && !fresh_press) continue;
    if (shortcut.ctrl ? !ctrl_only : !no_modifier) continue;
    // A shortcut pressed while some window holds the mouse capture (a
    // resize in progress, say) is swallowed without running its command.
    if (shortcut.command && !GetCapture()) {
      SendMessageA(main, WM_COMMAND, static_cast<WPARAM>(shortcut.command), 0);
    }
    return 1;
  }
  return 0;
}
