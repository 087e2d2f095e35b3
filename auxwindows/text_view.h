#pragma once
// The text viewer: lays a list of UTF-8 lines onto a cell grid (title row
// with the file's path, one or two panes of text, a bottom row with key
// hints, the position status, messages and prompts), and moves a cursor,
// selects, copies and searches, driven by key codes and mouse events. The
// platform's services (modifier keys, clipboard, shell, files) come through
// ViewPlatform. No platform header.
#include <cstdio>
#include <string>

#include "auxwindows/cell_grid.h"
#include "auxwindows/text_lines.h"

// What the viewer needs of the platform.
class ViewPlatform {
 public:
  virtual ~ViewPlatform() {}
  virtual bool ShiftDown() = 0;
  virtual bool CtrlDown() = 0;
  virtual bool AltDown() = 0;
  // Puts UTF-8 text on the clipboard as Unicode text.
  virtual bool SetClipboardText(const std::string& text) = 0;
  // The clipboard's Unicode text as UTF-8 ("" when there is none).
  virtual std::string ClipboardText() = 0;
  // Hands an address to the shell.
  virtual void OpenAddress(const std::string& address) = 0;
  virtual FILE* OpenFile(const char* path, const char* mode) = 0;
};

// Attributes: (colour pair << 1) | bright.
const uint8_t ATTR_TEXT = 0;
const uint8_t ATTR_BAR = 2;           // hint and status row
const uint8_t ATTR_BAR_HOTKEY = 3;
const uint8_t ATTR_SELECTION = 4;
const uint8_t ATTR_MESSAGE = 24;      // messages and prompts
const uint8_t ATTR_TITLE_REST = 26;
const uint8_t ATTR_TITLE_PATH = 27;

enum ViewMode {
  MODE_NORMAL = 0,
  MODE_MESSAGE = 1,
  MODE_FIND = 2,
  MODE_REPLACE = 3
};

struct TextPosition {
  int line;
  int column;
};

struct TextSelection {
  bool active;
  TextPosition anchor;
  TextPosition end;
};

enum MouseKind {
  MOUSE_LEFT_DOWN,
  MOUSE_RIGHT_DOWN,
  MOUSE_LEFT_DOUBLE,
  MOUSE_MOVE,
  MOUSE_LEFT_UP,
  MOUSE_WHEEL
};

struct MouseEvent {
  MouseKind kind;
  int x, y;          // pixels in the control's client area
  bool shift;
  bool left_held;    // for moves
  int wheel_delta;   // for the wheel, 120 a notch
};

// Shared by all views, as editors that remember them between searches do.
extern int g_search_mode;
extern bool g_overwrite;

class TextView {
 public:
  TextView(CellGrid* grid, ViewPlatform* platform);
  virtual ~TextView();

  // Takes a key code; returns non-zero when the view has closed itself.
  virtual int HandleKey(int key);
  virtual void OnRightButton() {}
  // Keeps the cursor inside its line, scrolls it into view (fraction of the
  // pane height at which to show its line, or -1 for the least scrolling),
  // draws the status and puts the screen cursor on it.
  virtual void PlaceCursor(bool restore_desired_column, double fraction);
  // Reads the file into the lines (nothing changes when it cannot be opened).
  virtual void Load(const char* path);
  // Redraws the title row, the text area and the bottom row.
  virtual void Draw();
  virtual void HandleMouse(const MouseEvent& event);
  virtual bool MatchLine(int line, size_t from, bool forward, size_t* start, size_t* end);
  virtual void DrawLine(int line, int row);
  virtual void DrawTitle();
  virtual int DocumentCount() { return 1; }

  // Reached by the resize handler of the grid.
  void RedrawAfterResize();

  CellGrid* grid;
  ViewPlatform* platform;
  TextLines text;
  std::string path;
  TextPosition cursor = {0, 0};
  int desired_column = -1;
  int horizontal_scroll = 0;
  int pane_first[2] = {0, 0};
  int active_pane = 0;
  double split_ratio = 1.0;
  TextSelection selection = {false, {0, 0}, {0, 0}};
  int mode = MODE_NORMAL;
  std::string search_text;
  std::string replace_text;
  int tab_width = 2;
  int top_rows = 1, bottom_rows = 1;
  bool changed = false;
  std::string message;   // the message on show in mode 1

  // Layout of the panes for the current grid size.
  int PaneTopRow(int pane) const;
  int PaneRows(int pane) const;
  bool IsSplit() const { return split_ratio < 1.0; }
  int TextWidth() const;   // columns that show text before the cursor scrolls
  int LineLengthInColumns(int line) const;

  void ShowMessage(const std::string& text);
  void DrawStatus();
  void DrawBottomRow();
  std::string StatusText() const;
  // The selected bytes, lines joined with "\r\n".
  std::string SelectedText() const;
  // The selection as its cells show it (see AppendShownText), as UTF-8.
  std::string ShownSelectedText() const;
  void Search(bool forward);

 protected:
  void HandleNormalKey(int key);
  void HandlePromptKey(int key);
  void MoveKey(int key);
  void OpenFindPrompt();
  void DrawPrompt();
  void CopySelection();
  // The selection's lines joined with "\r\n": their bytes, or as shown.
  std::string SelectionLines(bool as_shown) const;
  void TogglePanes();
  void SwitchPane();
  void RedrawAll();
  // Puts the grid's cursor on the text cursor (or the prompt's end).
  void PutScreenCursor();
  void WordLeft();
  void WordRight();
  void ScrollPane(int pane, int lines, int max_first);
  // The text position under a pixel of the text area (clamped to the text)
  // and, in *cell, the line and column of the cell there before clamping.
  bool CellToPosition(int x, int y, int* pane, TextPosition* position,
                      TextPosition* cell = nullptr) const;
  void DoubleClick(const TextPosition& at);
  // A left or right press on the divider row or on a shown scrollbar column
  // acts there (a page, a thumb or divider drag); false for a press elsewhere.
  bool PressOnBars(const MouseEvent& event, bool left);

  int status_start_column = -1;   // where the last status began, for blanking
  int status_row = -1;
  bool prompt_offered = false;    // the next typed character replaces the text
  int prompt_cursor_row = -1, prompt_cursor_column = -1;
  int shown_cursor_row = -1, shown_cursor_column = -1;
  // Mouse dragging.
  bool selecting_with_mouse = false;
  TextPosition press_position = {0, 0};
  TextPosition press_cell = {0, 0};   // before clamping to the text
  int dragging_thumb = -1;        // pane whose thumb is dragged
  int thumb_grab = 0;
  bool dragging_divider = false;
};

// Hands up to 16 queued key codes to the view; stops early when the queue is
// empty or the view closed itself (the view may then be gone).
void RunTextView(TextView* view);
