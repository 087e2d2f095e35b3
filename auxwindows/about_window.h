#pragma once
// The About window: a small modeless dialog (template 107) in which the
// credits roll up, light grey on black, and fade out before rolling again.
// One at a time, held by g_app.about_window; it frees itself when it closes.
#include <windows.h>

#include <string>
#include <vector>

#include "auxwindows/about_credits.h"
#include "base/child_anchors.h"

class DibBitmap;
class GlyphFont;

const UINT_PTR TIMER_ABOUT_FRAME = 330;
const UINT ABOUT_FRAME_PERIOD_MS = 41;

struct AboutWindow {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  // Where the frame bitmap is copied in the credits control: x, y, width, height.
  int frame_x = 0, frame_y = 0, frame_width = 0, frame_height = 0;
  ChildAnchors anchors;
  DibBitmap* frame = nullptr;
  GlyphFont* font = nullptr;
  AboutAnimation animation;
  std::vector<int> blank_rows;
  std::vector<std::string> rows;   // the credits, rows 2, 3 and 79 from the build
  std::vector<int> row_tops;       // reused by every frame

  explicit AboutWindow(const AboutBuildFacts& facts);
  ~AboutWindow();
  AboutWindow(const AboutWindow&) = delete;
  AboutWindow& operator=(const AboutWindow&) = delete;

  void OnInitDialog();
  void OnTimer();
  void OnPaint();
  void OnSize();
  void OnCommand();
  void OnDestroy();
  // Draws the next frame into the frame bitmap and advances the roll.
  void RenderFrame();
  void SetFrameRect(const RECT& credits);
};

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Opens the About window owned by owner, or gives the open one the focus.
void OpenAboutWindow(HWND owner, const AboutBuildFacts& facts);

// Closes the About window if it is open (it saves its position and frees itself).
void CloseAboutWindow();
