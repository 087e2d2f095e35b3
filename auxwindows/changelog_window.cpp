#include "auxwindows/changelog_window.h"

#include <string>

#include "auxwindows/help_dialog.h"
#include "base/app_state.h"
#include "base/dialog_binding.h"
#include "resources/resource_ids.h"

namespace {

const int WINDOW_WIDTH = 620;
const int WINDOW_HEIGHT = 505;

void CloseFromView(void* context) {
  static_cast<ChangelogWindow*>(context)->Close();
}

void ForwardMouse(void* context, const MouseEvent& event) {
  static_cast<TextView*>(context)->HandleMouse(event);
}

}  // namespace

ChangelogWindow::ChangelogWindow()
    : view(new ChangelogView(&g_cell_screen.grid, &platform, CloseFromView, this)) {
  view->tab_width = 2;
}

ChangelogWindow::~ChangelogWindow() {
  delete view;
}

INT_PTR CALLBACK ChangelogDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ChangelogWindow* self = static_cast<ChangelogWindow*>(BindDialogObject(window, message, lparam));
  if (!self) return 0;
  if (message == WM_INITDIALOG) self->window = window;
  self->message = message;
  self->wparam = wparam;
  self->lparam = lparam;
  switch (message) {
    case WM_INITDIALOG:
      self->OnInitDialog();
      break;
    case WM_TIMER:
      if (wparam == TIMER_CHANGELOG_RUN) self->OnTimer();   // self may be gone afterwards
      break;
    case WM_SIZE:
      self->OnSize();
      break;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) self->Close();
      break;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) {
        self->Close();
        return TRUE;
      }
      break;
    case WM_DESTROY:
      self->OnDestroy();
      break;
    case WM_NCDESTROY:
      // Last message of the window, however it was closed: free the instance.
      UnbindDialogObject(window);
      if (g_app.changelog_window == self) g_app.changelog_window = nullptr;
      delete self;
      break;
  }
  return 0;
}

void ChangelogWindow::OnInitDialog() {
  HWND control = GetDlgItem(window, IDC_CHANGELOG_VIEW);
  if (control) {
    g_cell_screen.mouse_handler = ForwardMouse;
    g_cell_screen.mouse_context = view;
    AttachCellScreen(&g_cell_screen, control);
  }
  InitAnchors(&anchors, window);
  if (control) AnchorChild(&anchors, control, 0, 0, 1, 1);

  PlaceFromSettings(window, "changelog_wnd_x", "changelog_wnd_y", WINDOW_WIDTH, WINDOW_HEIGHT);

  std::string path = g_app.exe_folder + "changelog.txt";
  view->Load(path.c_str());
  view->Draw();
  view->PlaceCursor(false, -1);

  if (control) SetFocus(control);
  SetTimer(window, TIMER_CHANGELOG_RUN, CHANGELOG_RUN_MS, nullptr);
}

void ChangelogWindow::OnTimer() {
  RunTextView(view);
}

void ChangelogWindow::OnSize() {
  if (wparam != SIZE_MINIMIZED) ArrangeChildren(&anchors);
}

void ChangelogWindow::OnDestroy() {
  KillTimer(window, TIMER_CHANGELOG_RUN);
  view->cursor = {0, 0};
  FreeTextLines(&view->text);
  if (g_cell_screen.mouse_context == view) {
    g_cell_screen.mouse_handler = nullptr;
    g_cell_screen.mouse_context = nullptr;
  }
  SavePosition(window, "changelog_wnd_x", "changelog_wnd_y");
}

void ChangelogWindow::Close() {
  DestroyWindow(window);   // frees this instance on its last message
}

void OpenChangelogWindow(HWND owner) {
  if (g_app.changelog_window) {
    SetFocus(g_app.changelog_window->window);
    return;
  }
  ChangelogWindow* changelog = new ChangelogWindow();
  g_app.changelog_window = changelog;
  HWND dialog = CreateDialogParamW(g_app.instance, MAKEINTRESOURCEW(IDD_CHANGELOG), owner,
                                   ChangelogDialogProc, reinterpret_cast<LPARAM>(changelog));
  if (!dialog) {
    // The window never came: nothing owns the instance but us.
    if (g_app.changelog_window == changelog) {
      g_app.changelog_window = nullptr;
      delete changelog;
    }
    return;
  }
  ShowWindow(dialog, SW_SHOW);
}

void CloseChangelogWindow() {
  if (g_app.changelog_window) g_app.changelog_window->Close();
}
