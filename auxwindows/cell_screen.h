#pragma once
// The character-cell control (class "CellScreenWindow"): paints a cell grid
// in a fixed-pitch font with a blinking bar cursor and scrollbars, turns key
// messages into key codes for its queue, forwards the mouse to the view, and
// gives the view the clipboard, the shell and the modifier keys.
#include <windows.h>

#include "auxwindows/cell_grid.h"
#include "auxwindows/text_view.h"

const UINT_PTR TIMER_CURSOR_BLINK = 2;
const UINT CURSOR_BLINK_MS = 400;

struct CellScreen {
  HWND window = nullptr;
  CellGrid grid;
  int cursor_style = 0;   // 0: bar at the cell's left edge
  int blink_phase = 1;    // the cursor shows while not 0
  COLORREF colours[32][2] = {};   // per attribute: foreground, background
  HFONT font = nullptr;
  WPARAM pending_high_surrogate = 0;   // first half of a typed character beyond U+FFFF
  // Receives the mouse: the view laid onto the grid.
  void (*mouse_handler)(void* context, const MouseEvent& event) = nullptr;
  void* mouse_context = nullptr;
};

// The program's one cell screen, attached to the Changelog window's control.
extern CellScreen g_cell_screen;

// Registers "CellScreenWindow"; true when the class is there afterwards (a
// second request in the same process counts as registered).
bool RegisterCellScreenClass(HINSTANCE instance);
LRESULT CALLBACK CellScreenWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Binds the screen to a control window: stores it in the control's user data,
// empties the key queue, drops the cells, starts the blink timer, creates the
// font, lays the grid out for the client size and invalidates the control.
void AttachCellScreen(CellScreen* screen, HWND control);

// Key code for a WM_KEYDOWN (virtual key); -1 for none.
int KeyCodeForKeyDown(WPARAM virtual_key, bool ctrl, bool alt);
// Key code of a typed character for a WM_CHAR (one UTF-16 unit); -1 for none.
// A high surrogate waits in *pending_high_surrogate for its low half.
int KeyCodeForChar(WPARAM unit, WPARAM* pending_high_surrogate);

// Modifier keys, clipboard, shell and files of the platform, for a view
// drawn on the given screen.
class WindowsViewPlatform : public ViewPlatform {
 public:
  explicit WindowsViewPlatform(CellScreen* screen) : screen_(screen) {}
  bool ShiftDown() override;
  bool CtrlDown() override;
  bool AltDown() override;
  bool SetClipboardText(const std::string& text) override;
  std::string ClipboardText() override;
  void OpenAddress(const std::string& address) override;
  FILE* OpenFile(const char* path, const char* mode) override;

 private:
  CellScreen* screen_;
};
