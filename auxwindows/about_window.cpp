#include "auxwindows/about_window.h"

#include "auxwindows/glyph_font.h"
#include "auxwindows/help_dialog.h"
#include "base/app_state.h"
#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "resources/resource_ids.h"

namespace {

const LOGFONTA CREDITS_FONT = {
    16, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"};

const unsigned MEASURE_FLAGS = GLYPH_DT_CALCRECT | GLYPH_DT_NOPREFIX | GLYPH_DT_SINGLELINE;
const unsigned DRAW_FLAGS =
    GLYPH_DT_NOPREFIX | GLYPH_DT_SINGLELINE | TEXT_USE_COLOR_ALPHA | TEXT_KEEP_ALPHA;

bool ControlKeyDown() {
  return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

// The credits control's rectangle in the dialog's client coordinates.
RECT CreditsRect(HWND dialog) {
  RECT r = {0, 0, 0, 0};
  HWND credits = GetDlgItem(dialog, IDC_ABOUT_CREDITS);
  if (credits && GetWindowRect(credits, &r)) {
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  }
  return r;
}

}  // namespace

AboutWindow::AboutWindow(const AboutBuildFacts& facts) : rows(AboutCreditRows(facts)) {}

AboutWindow::~AboutWindow() {
  delete frame;
  delete font;   // deletes its last font handle
}

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  AboutWindow* self = static_cast<AboutWindow*>(BindDialogObject(window, message, lparam));
  if (!self) return 0;
  self->window = window;
  self->message = message;
  self->wparam = wparam;
  self->lparam = lparam;
  switch (message) {
    case WM_INITDIALOG: self->OnInitDialog(); break;
    case WM_TIMER: self->OnTimer(); break;
    case WM_PAINT: self->OnPaint(); break;
    case WM_ERASEBKGND:
      SetWindowLongPtrA(window, DWLP_MSGRESULT, 1);   // nothing erased
      return TRUE;
    case WM_SIZE: self->OnSize(); break;
    case WM_COMMAND: self->OnCommand(); break;
    case WM_DESTROY: self->OnDestroy(); break;
    case WM_NCDESTROY:
      // Last message of the window, however it was closed (also when its
      // owner went first): the object goes with it.
      UnbindDialogObject(window);
      if (g_app.about_window == self) g_app.about_window = nullptr;
      delete self;
      break;
  }
  return 0;
}

void OpenAboutWindow(HWND owner, const AboutBuildFacts& facts) {
  if (g_app.about_window) {
    SetFocus(g_app.about_window->window);
    return;
  }
  AboutWindow* about = new AboutWindow(facts);
  g_app.about_window = about;
  // Unless the window got far enough to free the object itself, it is freed here.
  if (!CreateHelpDialog(IDD_ABOUT, owner, AboutDialogProc, about) && g_app.about_window == about) {
    g_app.about_window = nullptr;
    delete about;
  }
}

void CloseAboutWindow() {
  if (g_app.about_window) CancelHelpDialog(g_app.about_window->window);
}

void AboutWindow::OnInitDialog() {
  InitAnchors(&anchors, window);
  HWND credits = GetDlgItem(window, IDC_ABOUT_CREDITS);
  if (credits) AnchorChild(&anchors, credits, 0, 0, 1, 1);

  PlaceFromSettings(window, "about_wnd_x", "about_wnd_y", ABOUT_FRAME_WIDTH, ABOUT_FRAME_HEIGHT);

  blank_rows = AboutBlankRows(rows);
  frame = new DibBitmap(ABOUT_FRAME_WIDTH, ABOUT_FRAME_HEIGHT);
  font = new GlyphFont();
  // Black until the first frame is rendered: painting copies the black
  // bitmap over the whole control from the start.
  ClearBitmap(frame, 0xFF000000);
  SetFrameRect(CreditsRect(window));
  SetTimer(window, TIMER_ABOUT_FRAME, ABOUT_FRAME_PERIOD_MS, nullptr);
}

void AboutWindow::OnTimer() {
  if (wparam != TIMER_ABOUT_FRAME) return;
  RenderFrame();
  InvalidateRect(window, nullptr, FALSE);
}

void AboutWindow::RenderFrame() {
  if (!frame || !font) return;
  RECT credits = CreditsRect(window);
  int half = (credits.right - credits.left) / 2;

  ClearBitmap(frame, 0xFF000000);
  font->SetForegroundColor((static_cast<uint32_t>(animation.fade_level) << 24) | 0xC0C0C0);
  // A fresh handle every frame; the font deletes the previous one and starts
  // its glyph cache anew.
  font->AttachFont(CreateFontIndirectA(&CREDITS_FONT), FONT_OWNS_HANDLE);

  int last_blank = blank_rows.empty() ? -1 : blank_rows.back();
  AboutRowTops(rows, last_blank, animation.scroll_offset, &row_tops);
  bool greek = ControlKeyDown();
  std::string greek_text;
  for (size_t i = 0; i < rows.size(); ++i) {
    int y = row_tops[i];
    if (rows[i].empty() || !IsAboutRowDrawn(y)) continue;
    const std::string& text = AboutRowText(rows[i], greek, &greek_text);
    RECT measured = {0, y, 0, y};
    font->DrawString(frame, text.c_str(), -1, &measured, MEASURE_FLAGS);
    int width = measured.right - measured.left;
    int left = AboutRowLeft(half, width);
    RECT target = {left, y, left + width, measured.bottom};
    font->DrawString(frame, text.c_str(), -1, &target, DRAW_FLAGS);
  }

  if (animation.limit_pending && !rows.empty()) {
    int last_top = row_tops.back();
    RECT measured = {0, last_top, 0, last_top};
    int height = font->DrawString(frame, rows.back().c_str(), -1, &measured, MEASURE_FLAGS);
    animation.scroll_limit = AboutScrollLimit(last_top, height);
    animation.limit_pending = false;
  }

  SetFrameRect(credits);
  AdvanceAboutAnimation(&animation);
}

void AboutWindow::SetFrameRect(const RECT& credits) {
  frame_x = credits.left;
  frame_y = credits.top;
  frame_width = credits.right - credits.left;
  frame_height = credits.bottom - credits.top;
}

void AboutWindow::OnPaint() {
  HWND credits = GetDlgItem(window, IDC_ABOUT_CREDITS);
  if (!credits) return;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(credits, &paint);
  if (dc && frame && frame->DeviceContext()) {
    BitBlt(dc, frame_x, frame_y, frame_width, frame_height, frame->DeviceContext(), 0, 0, SRCCOPY);
  }
  EndPaint(credits, &paint);
}

void AboutWindow::OnSize() {
  if (wparam != SIZE_MINIMIZED) ArrangeChildren(&anchors);
}

void AboutWindow::OnCommand() {
  // The caption's close button and Escape arrive as the cancel command.
  if (LOWORD(wparam) == IDCANCEL) DestroyWindow(window);
}

void AboutWindow::OnDestroy() {
  KillTimer(window, TIMER_ABOUT_FRAME);
  SavePosition(window, "about_wnd_x", "about_wnd_y");
}
