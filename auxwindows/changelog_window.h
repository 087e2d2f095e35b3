#pragma once
// The Changelog window: a modeless dialog (template 105) showing
// changelog.txt from the program's folder, read-only, in the character-cell
// text viewer. At most one exists (g_app.changelog_window); it frees itself
// when it closes and remembers its position.
#include <windows.h>

#include "auxwindows/changelog_view.h"
#include "auxwindows/cell_screen.h"
#include "base/child_anchors.h"

const UINT_PTR TIMER_CHANGELOG_RUN = 331;
const UINT CHANGELOG_RUN_MS = 50;
const int IDC_CHANGELOG_VIEW = 1002;

struct ChangelogWindow {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  ChildAnchors anchors;
  WindowsViewPlatform platform{&g_cell_screen};
  ChangelogView* view;

  ChangelogWindow();
  ~ChangelogWindow();
  void OnInitDialog();
  void OnTimer();
  void OnSize();
  void OnDestroy();
  // Closes the window as its close button does.
  void Close();
};

INT_PTR CALLBACK ChangelogDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Opens the Changelog window owned by owner, or gives the open one the focus.
void OpenChangelogWindow(HWND owner);
// Closes the Changelog window if it is open (saving its position).
void CloseChangelogWindow();
