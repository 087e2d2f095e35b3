#include "auxwindows/help_dialog.h"

#include "base/app_state.h"
#include "base/settings_store.h"
#include "base/window_position.h"

HWND CreateHelpDialog(int template_id, HWND owner, DLGPROC procedure, void* object) {
  // A wide-character dialog makes wide-character controls: an ANSI text box
  // would keep the licence text in the system code page and lose every
  // character outside it.
  HWND window = CreateDialogParamW(g_app.instance, MAKEINTRESOURCEW(template_id), owner, procedure,
                                   reinterpret_cast<LPARAM>(object));
  if (window) ShowWindow(window, SW_SHOW);
  return window;
}

void CancelHelpDialog(HWND window) {
  if (window) SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
}

void PlaceFromSettings(HWND window, const char* x_key, const char* y_key, int width, int height) {
  POINT at = PositionOnScreen(ReadSettingInt(x_key, 0), ReadSettingInt(y_key, 50), width, height);
  SetWindowPos(window, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SavePosition(HWND window, const char* x_key, const char* y_key) {
  RECT r;
  if (!GetWindowRect(window, &r)) return;
  WriteSettingInt(x_key, r.left);
  WriteSettingInt(y_key, r.top);
}
