#pragma once
// The main window: a resizable modeless dialog (template 106) whose client
// area is the picture control, with menu 109, the command dispatch, the
// keyboard shortcuts and the memory of its placement.
#include <windows.h>

#include "base/child_anchors.h"

#include "resources/resource_ids.h"

struct MainWindow {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  // The remembered outer rectangle in screen pixels.
  int x = 0, y = 0, w = 0, h = 0;
  ChildAnchors anchors;
  HMENU menu = nullptr;

  void OnInitDialog();
  void OnSize();
  void OnMove();
  void OnSysCommand();
  void OnDropFiles();
  void OnDestroy();
  void RememberWindowRect();
};

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Creates the main window from template 106 for the given object (modeless,
// desktop as parent). The window shows itself while it initialises.
HWND CreateMainWindow(MainWindow* main_window);

// Runs the command with the given id (the low 16 bits of WM_COMMAND's wparam).
void HandleCommand(MainWindow* main_window, int command_id);

// Returns 1 when the message was a keyboard shortcut of the main window (it
// is then not dispatched further), else 0.
int TranslateShortcutKey(const MSG* message);
