#pragma once
// The License window: a small modeless dialog (template 104) showing
// license.txt from the program's folder in a read-only text box. One at a
// time, held by g_app.license_window; it frees itself when it closes.
#include <windows.h>

#include "base/child_anchors.h"

struct LicenseWindow {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  ChildAnchors anchors;

  void OnInitDialog();
  void OnSize();
  INT_PTR OnCtlColorStatic();
  void OnCommand();
  void OnDestroy();
  // Puts license.txt into the text box.
  void ShowLicenseText();
};

INT_PTR CALLBACK LicenseDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Opens the License window owned by owner, or gives the open one the focus.
void OpenLicenseWindow(HWND owner);

// Closes the License window if it is open (it saves its position and frees itself).
void CloseLicenseWindow();
