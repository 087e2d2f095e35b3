#include "auxwindows/license_window.h"

#include <new>
#include <string>

#include "auxwindows/help_dialog.h"
#include "auxwindows/license_text.h"
#include "base/app_state.h"
#include "base/file_reader.h"
#include "base/utf8_platform.h"
#include "resources/resource_ids.h"

namespace {

const int LICENSE_WINDOW_SIZE = 400;
const int LICENSE_READ_BLOCK = 8192;

}  // namespace

INT_PTR CALLBACK LicenseDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LicenseWindow* self = static_cast<LicenseWindow*>(BindDialogObject(window, message, lparam));
  if (!self) return 0;
  self->window = window;
  self->message = message;
  self->wparam = wparam;
  self->lparam = lparam;
  switch (message) {
    case WM_INITDIALOG: self->OnInitDialog(); break;
    case WM_SIZE: self->OnSize(); break;
    case WM_CTLCOLORSTATIC: return self->OnCtlColorStatic();
    case WM_COMMAND: self->OnCommand(); break;
    case WM_DESTROY: self->OnDestroy(); break;
    case WM_NCDESTROY:
      // Last message of the window, however it was closed (also when its
      // owner went first): the object goes with it.
      UnbindDialogObject(window);
      if (g_app.license_window == self) g_app.license_window = nullptr;
      delete self;
      break;
  }
  return 0;
}

void OpenLicenseWindow(HWND owner) {
  if (g_app.license_window) {
    SetFocus(g_app.license_window->window);
    return;
  }
  LicenseWindow* license = new LicenseWindow();
  g_app.license_window = license;
  // Unless the window got far enough to free the object itself, it is freed here.
  if (!CreateHelpDialog(IDD_LICENSE, owner, LicenseDialogProc, license) &&
      g_app.license_window == license) {
    g_app.license_window = nullptr;
    delete license;
  }
}

void CloseLicenseWindow() {
  if (g_app.license_window) CancelHelpDialog(g_app.license_window->window);
}

void LicenseWindow::OnInitDialog() {
  InitAnchors(&anchors, window);
  HWND text_box = GetDlgItem(window, IDC_LICENSE_TEXT);
  if (text_box) AnchorChild(&anchors, text_box, 0, 0, 1, 1);

  PlaceFromSettings(window, "license_wnd_x", "license_wnd_y", LICENSE_WINDOW_SIZE,
                    LICENSE_WINDOW_SIZE);
  ShowLicenseText();
}

void LicenseWindow::ShowLicenseText() {
  std::string path = g_app.exe_folder + "license.txt";
  FileReader* reader = OpenFileReader(path.c_str(), 1, LICENSE_READ_BLOCK);
  int64_t size = reader && IsFileReaderOpen(reader) ? FileReaderSize(reader) : 0;
  // Only the first megabyte is read; a file too large for memory shows an
  // empty box.
  int buffer_size = LicenseTextBufferSize(size);
  char* text = buffer_size > 0 ? new (std::nothrow) char[buffer_size] : nullptr;
  if (text) {
    text[buffer_size - 1] = 0;
    int count = buffer_size - 1;
    int got = count > 0 ? ReadFileReader(reader, text, count) : 0;
    // A short read leaves no stale bytes behind the text, and a long file is
    // cut at its first megabyte, between two characters.
    text[LicenseTextShownLength(text, got > 0 ? static_cast<size_t>(got) : 0)] = 0;
  }

  SetFocus(GetDlgItem(window, IDC_LICENSE_TEXT));
  Utf8SetDlgItemText(window, IDC_LICENSE_TEXT, text ? text : "");
  SendDlgItemMessageA(window, IDC_LICENSE_TEXT, EM_SETSEL, static_cast<WPARAM>(-1), 0);

  delete[] text;
  if (reader) CloseFileReader(reader);
}

void LicenseWindow::OnSize() {
  if (wparam != SIZE_MINIMIZED) ArrangeChildren(&anchors);
}

INT_PTR LicenseWindow::OnCtlColorStatic() {
  // A read-only text box asks with this message: black text on white.
  if (reinterpret_cast<HWND>(lparam) != GetDlgItem(window, IDC_LICENSE_TEXT)) return 0;
  HDC dc = reinterpret_cast<HDC>(wparam);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
}

void LicenseWindow::OnCommand() {
  // The caption's close button and Escape arrive as the cancel command.
  if (LOWORD(wparam) == IDCANCEL && g_app.license_window) DestroyWindow(window);
}

void LicenseWindow::OnDestroy() {
  SavePosition(window, "license_wnd_x", "license_wnd_y");
}
