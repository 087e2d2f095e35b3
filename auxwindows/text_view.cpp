#include "auxwindows/text_view.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "auxwindows/changelog_text.h"
#include "auxwindows/key_codes.h"
#include "auxwindows/text_search.h"

int g_search_mode = 0;
bool g_overwrite = false;

namespace {

// Search texts longer than this are shown by their two ends.
const size_t SHOWN_SEARCH_BYTES = 41;
const size_t SHOWN_END_BYTES = 19;
const size_t MAX_ADDRESS_BYTES = 511;
const size_t MIN_ADDRESS_BYTES = 10;

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsWordByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// Byte classes for Ctrl+Left and Ctrl+Right.
int ByteClass(unsigned char c) {
  if (IsBlank(c)) return 0;
  if (IsWordByte(c)) return 1;
  if (c == ';') return 2;
  return 3;
}

bool operator<(const TextPosition& a, const TextPosition& b) {
  return a.line < b.line || (a.line == b.line && a.column < b.column);
}
bool operator==(const TextPosition& a, const TextPosition& b) {
  return a.line == b.line && a.column == b.column;
}

void RemoveLastCharacter(std::string* text) {
  if (text->empty()) return;
  int last = CharacterCount(text->data(), text->size()) - 1;
  text->resize(ByteOfColumn(text->data(), text->size(), last));
}

// The search text as messages show it: long ones by their two ends.
std::string ShownSearchText(const std::string& text) {
  if (text.size() <= SHOWN_SEARCH_BYTES) return text;
  size_t head = SHOWN_END_BYTES;
  while (head > 0 && (static_cast<unsigned char>(text[head]) & 0xC0) == 0x80) head--;
  size_t tail = text.size() - SHOWN_END_BYTES;
  while (tail < text.size() && (static_cast<unsigned char>(text[tail]) & 0xC0) == 0x80) tail++;
  char shown[64];
  snprintf(shown, sizeof shown, "%.*s...", static_cast<int>(head), text.c_str());
  return shown + text.substr(tail);
}

#ifdef __GNUC__
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

// How far a page key moves when its rule would not move the cursor forward.
int PageFallbackStep(int pane_rows) {
  return pane_rows > 2 ? pane_rows - 1 : 1;
}

void RedrawAfterResizeThunk(void* view) {
  static_cast<TextView*>(view)->RedrawAfterResize();
}

}  // namespace

TextView::TextView(CellGrid* grid_, ViewPlatform* platform_) : grid(grid_), platform(platform_) {
  grid->resize_handler = RedrawAfterResizeThunk;
  grid->resize_context = this;
}

TextView::~TextView() {
  FreeTextLines(&text);
  if (grid->resize_context == this) {
    grid->resize_handler = nullptr;
    grid->resize_context = nullptr;
  }
}

// ---- layout ----------------------------------------------------------------

int TextView::PaneRows(int pane) const {
  int text_rows = grid->rows - top_rows - bottom_rows;
  if (text_rows < 0) text_rows = 0;
  if (!IsSplit()) return pane == 0 ? text_rows : 0;
  int upper = static_cast<int>((grid->rows - 3) * split_ratio);
  if (upper > text_rows - 1) upper = text_rows - 1;
  if (upper < 0) upper = 0;
  if (pane == 0) return upper;
  int lower = text_rows - upper - 1;
  return lower < 0 ? 0 : lower;
}

int TextView::PaneTopRow(int pane) const {
  return pane == 0 ? top_rows : top_rows + PaneRows(0) + 1;
}

int TextView::TextWidth() const {
  return grid->columns - 3 < 1 ? 1 : grid->columns - 3;
}

int TextView::LineLengthInColumns(int line) const {
  if (line < 0 || line >= LineCount(text)) return 0;
  LineText shown = GetLine(text, line);
  return CharacterCount(shown.bytes, shown.length);
}

// ---- drawing ---------------------------------------------------------------

void TextView::DrawTitle() {
  MoveGridCursor(grid, 0, 0);
  grid->drawing_attribute = ATTR_TITLE_PATH;
  int length = CharacterCount(path.data(), path.size());
  int room = grid->columns - 1;
  if (length <= room) {
    WriteGridText(grid, path.data(), path.size());
  } else {
    int keep = grid->columns - 5 < 0 ? 0 : grid->columns - 5;
    WriteGridString(grid, "...");
    size_t from = ByteOfColumn(path.data(), path.size(), length - keep);
    WriteGridText(grid, path.data() + from, path.size() - from);
  }
  grid->clearing_attribute = ATTR_TITLE_REST;
  ClearToRowEnd(grid);
}

void TextView::DrawLine(int line, int row) {
  MoveGridCursor(grid, row, 0);
  grid->drawing_attribute = ATTR_TEXT;
  grid->clearing_attribute = ATTR_TEXT;
  if (line < 0 || line >= LineCount(text)) {
    ClearToRowEnd(grid);
    return;
  }
  const char* bytes = LineBytes(text, line);
  size_t length = LineLength(text, line);
  size_t from = ByteOfColumn(bytes, length, horizontal_scroll);
  WriteGridText(grid, bytes + from, length - from);
  ClearToRowEnd(grid);

  if (!selection.active || selection.anchor == selection.end) return;
  TextPosition start = selection.anchor < selection.end ? selection.anchor : selection.end;
  TextPosition stop = selection.anchor < selection.end ? selection.end : selection.anchor;
  if (line < start.line || line > stop.line) return;
  grid->drawing_attribute = ATTR_SELECTION;
  if (length == 0) {
    if (line == stop.line && stop.column == horizontal_scroll) {
      MoveGridCursor(grid, row, 0);
      WriteGridString(grid, " ");
    }
    return;
  }
  int first = line == start.line ? start.column : 0;
  if (first < horizontal_scroll) first = horizontal_scroll;
  size_t first_byte = ByteOfColumn(bytes, length, first);
  size_t last_byte =
      line == stop.line ? ByteOfColumn(bytes, length, stop.column) : length;
  if (first_byte >= last_byte) return;
  MoveGridCursor(grid, row, first - horizontal_scroll);
  WriteGridText(grid, bytes + first_byte, last_byte - first_byte);
}

std::string TextView::StatusText() const {
  const char* prefix = "";
  if (IsSplit()) prefix = active_pane == 0 ? "Upper pane: " : "Lower pane: ";
  int n = LineCount(text);
  int first = pane_first[active_pane];
  int last = first + PaneRows(active_pane) + 1;
  if (last > n) last = n;
  return Format("%sLine %d/%d [%d-%d] Col %d [%s]%s", prefix, cursor.line + 1, n, first + 1,
                last, cursor.column + 1, g_overwrite ? "OVR" : "INS", changed ? "*" : "");
}

void TextView::DrawStatus() {
  int row = IsSplit() ? PaneTopRow(0) + PaneRows(0) : grid->rows - 1;
  // Messages and prompts own the bottom row while they are shown.
  if (!IsSplit() && mode != MODE_NORMAL) return;
  std::string status = StatusText();
  int start = grid->columns - static_cast<int>(status.size()) - 1;
  if (start < 0) start = 0;
  grid->drawing_attribute = ATTR_BAR;
  if (row == status_row && status_start_column >= 0 && status_start_column < start) {
    MoveGridCursor(grid, row, status_start_column);
    std::string blanks(static_cast<size_t>(start - status_start_column), ' ');
    WriteGridString(grid, blanks.c_str());
  }
  MoveGridCursor(grid, row, start);
  WriteGridString(grid, status.c_str());
  status_row = row;
  status_start_column = start;
}

void TextView::DrawBottomRow() {
  int row = grid->rows - 1;
  status_start_column = -1;
  if (mode == MODE_FIND || mode == MODE_REPLACE) {
    DrawPrompt();
    return;
  }
  if (mode == MODE_MESSAGE) {
    ShowMessage(message);
    return;
  }
  MoveGridCursor(grid, row, 0);
  grid->clearing_attribute = ATTR_BAR;
  ClearToRowEnd(grid);
  MoveGridCursor(grid, row, 0);
  // Hint pieces alternate: plain text, then a hotkey letter.
  static const char* const SELECTING[] = {"SELECTING  ESC:cancel Ctrl+(", "C", "opy ", "X",
                                          ":cut ", "V", ":paste)"};
  static const char* const TWO_PANES[] = {"Ctrl+(", "O", "therpane no", "P", "anes ", "F",
                                          "ind/", "R", "eplace )"};
  static const char* const ONE_PANE[] = {"Ctrl+(", "P", "ane ", "F", "ind/", "R", "eplace )"};
  const char* const* pieces = ONE_PANE;
  size_t count = sizeof ONE_PANE / sizeof ONE_PANE[0];
  if (selection.active) {
    pieces = SELECTING;
    count = sizeof SELECTING / sizeof SELECTING[0];
  } else if (IsSplit()) {
    pieces = TWO_PANES;
    count = sizeof TWO_PANES / sizeof TWO_PANES[0];
  }
  for (size_t i = 0; i < count; i++) {
    grid->drawing_attribute = i % 2 ? ATTR_BAR_HOTKEY : ATTR_BAR;
    WriteGridString(grid, pieces[i]);
  }
  if (!IsSplit()) DrawStatus();
}

void TextView::Draw() {
  BeginFullRedraw(grid);
  DrawTitle();
  int panes = IsSplit() ? 2 : 1;
  for (int p = 0; p < panes; p++) {
    int top = PaneTopRow(p);
    int rows = PaneRows(p);
    for (int r = 0; r < rows; r++) DrawLine(pane_first[p] + r, top + r);
  }
  status_start_column = -1;
  if (IsSplit()) {
    int divider = PaneTopRow(0) + PaneRows(0);
    MoveGridCursor(grid, divider, 0);
    grid->clearing_attribute = ATTR_BAR;
    ClearToRowEnd(grid);
  }
  DrawBottomRow();
  if (IsSplit()) DrawStatus();
  for (int p = 0; p < 2; p++) {
    grid->panes[p].top_row = PaneTopRow(p);
    grid->panes[p].rows = p < panes ? PaneRows(p) : 0;
    grid->panes[p].first_line = pane_first[p];
  }
  grid->split_row = IsSplit() ? PaneTopRow(0) + PaneRows(0) : 0;
  grid->line_count = LineCount(text);
  grid->top_rows = top_rows;
  grid->bottom_rows = bottom_rows;
  EndFullRedraw(grid);
  PutScreenCursor();
}

void TextView::PutScreenCursor() {
  int row = -1, column = -1;
  if (mode == MODE_FIND || mode == MODE_REPLACE) {
    row = prompt_cursor_row;
    column = prompt_cursor_column;
  } else {
    int first = pane_first[active_pane];
    if (cursor.line >= first && cursor.line < first + PaneRows(active_pane)) {
      row = PaneTopRow(active_pane) + cursor.line - first;
      column = cursor.column - horizontal_scroll;
    }
  }
  if (shown_cursor_row >= 0) MarkCells(grid, shown_cursor_row, shown_cursor_column, 1, 1);
  MoveGridCursor(grid, row, column);
  shown_cursor_row = row;
  shown_cursor_column = column;
  if (row >= 0) MarkCells(grid, row, column, 1, 1);
}

void TextView::ShowMessage(const std::string& text_) {
  message = text_;
  int row = grid->rows - 1;
  MoveGridCursor(grid, row, 0);
  grid->drawing_attribute = ATTR_MESSAGE;
  int keep = grid->columns - 2 < 0 ? 0 : grid->columns - 2;
  WriteGridText(grid, message.data(), ByteOfColumn(message.data(), message.size(), keep));
  grid->clearing_attribute = ATTR_MESSAGE;
  ClearToRowEnd(grid);
  if (mode == MODE_NORMAL) mode = MODE_MESSAGE;
  status_start_column = -1;
  PutScreenCursor();
}

void TextView::DrawPrompt() {
  std::string prompt;
  if (mode == MODE_REPLACE) {
    prompt = Format("Replace all (%s) '%s': ", SearchModeName(g_search_mode), search_text.c_str()) +
             replace_text;
  } else {
    const char* help = "";
    if (grid->columns > 70) {
      help = " (Up/Down:mode Ctrl+R:replace ESC:cancel)";
    } else if (grid->columns > 40) {
      help = "(U/D:mode Ctrl+R:repl)";
    }
    prompt = Format("Find %s%s: ", SearchModeName(g_search_mode), help) + search_text;
  }
  int row = grid->rows - 1;
  MoveGridCursor(grid, row, 0);
  grid->drawing_attribute = ATTR_MESSAGE;
  WriteGridText(grid, prompt.data(), prompt.size());
  prompt_cursor_row = row;
  prompt_cursor_column = grid->cursor_column < grid->columns ? grid->cursor_column
                                                             : grid->columns - 1;
  grid->clearing_attribute = ATTR_MESSAGE;
  ClearToRowEnd(grid);
  PutScreenCursor();
}

void TextView::RedrawAll() {
  Draw();
  PlaceCursor(false, -1);
}

void TextView::RedrawAfterResize() {
  shown_cursor_row = -1;
  RedrawAll();
}

// ---- cursor ----------------------------------------------------------------

void TextView::PlaceCursor(bool restore_desired_column, double fraction) {
  int n = LineCount(text);
  if (n == 0) {
    cursor = {0, 0};
  } else {
    if (cursor.line >= n) cursor.line = n - 1;
    if (cursor.line < 0) cursor.line = 0;
  }
  if (cursor.column < 0) cursor.column = 0;
  int length = LineLengthInColumns(cursor.line);
  if (restore_desired_column && desired_column >= 0) cursor.column = desired_column;
  if (cursor.column > length) {
    desired_column = cursor.column;
    cursor.column = length;
  } else {
    desired_column = -1;
  }

  int old_scroll = horizontal_scroll;
  int width = TextWidth();
  if (cursor.column < horizontal_scroll) horizontal_scroll = cursor.column;
  if (cursor.column >= horizontal_scroll + width) horizontal_scroll = cursor.column - width + 1;

  int& first = pane_first[active_pane];
  int old_first = first;
  int v = PaneRows(active_pane);
  if (v > 0) {
    if (fraction >= 0 && fraction < 1) {
      first = cursor.line - static_cast<int>(v * fraction);
    } else {
      if (cursor.line < first) first = cursor.line;
      if (cursor.line >= first + v) first = cursor.line - v + 1;
    }
    if (first < 0) first = 0;
  }
  if (old_scroll != horizontal_scroll || old_first != first) {
    Draw();
  } else {
    DrawStatus();
    PutScreenCursor();
  }
}

void TextView::WordRight() {
  int n = LineCount(text);
  if (n == 0) return;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(LineBytes(text, cursor.line));
  size_t length = LineLength(text, cursor.line);
  size_t p = ByteOfColumn(reinterpret_cast<const char*>(b), length, cursor.column);
  if (p >= length) {
    if (cursor.line >= n - 1) return;
    cursor.line++;
    b = reinterpret_cast<const unsigned char*>(LineBytes(text, cursor.line));
    length = LineLength(text, cursor.line);
    p = 0;
  } else {
    int c = ByteClass(b[p]);
    if (c != 0) {
      while (p < length && ByteClass(b[p]) == c) p++;
    }
  }
  while (p < length && ByteClass(b[p]) == 0) p++;
  cursor.column = ColumnOfByte(reinterpret_cast<const char*>(b), length, p);
}

void TextView::WordLeft() {
  if (LineCount(text) == 0) return;
  const char* bytes = LineBytes(text, cursor.line);
  size_t length = LineLength(text, cursor.line);
  size_t p = ByteOfColumn(bytes, length, cursor.column);
  if (p == 0) {
    if (cursor.line == 0) return;
    cursor.line--;
    bytes = LineBytes(text, cursor.line);
    length = LineLength(text, cursor.line);
    p = length;
  }
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  while (p > 0 && ByteClass(b[p - 1]) == 0) p--;
  if (p > 0) {
    int c = ByteClass(b[p - 1]);
    while (p > 0 && ByteClass(b[p - 1]) == c) p--;
  }
  cursor.column = ColumnOfByte(bytes, length, p);
}

void TextView::MoveKey(int key) {
  bool shift = platform->ShiftDown();
  bool ctrl = platform->CtrlDown();
  bool redraw = false;
  if (shift) {
    if (!selection.active) selection = {true, cursor, cursor};
  } else if (selection.active) {
    selection.active = false;
    redraw = true;
    TextPosition start = selection.anchor < selection.end ? selection.anchor : selection.end;
    TextPosition stop = selection.anchor < selection.end ? selection.end : selection.anchor;
    bool inside = !(cursor < start) && !(stop < cursor);
    bool arrow = key == KEY_UP || key == KEY_DOWN || key == KEY_LEFT || key == KEY_RIGHT;
    if (arrow && !ctrl && inside) {
      cursor = (key == KEY_UP || key == KEY_LEFT) ? start : stop;
      Draw();
      PlaceCursor(false, -1);
      return;
    }
  }

  int n = LineCount(text);
  int v = PaneRows(active_pane);
  int& first = pane_first[active_pane];
  bool vertical = false;
  switch (key) {
    case KEY_DOWN:
      vertical = true;
      if (ctrl) {
        if (first < n - v + 3) first++, redraw = true;
        if (cursor.line < first) cursor.line = first;
      } else if (cursor.line < n - 1) {
        cursor.line++;
      }
      break;
    case KEY_UP:
      vertical = true;
      if (ctrl) {
        if (first > 0) first--, redraw = true;
        if (cursor.line > first + v - 1) cursor.line = first + v - 1;
      } else if (cursor.line > 0) {
        cursor.line--;
      }
      break;
    case KEY_PPAGE: {
      vertical = true;
      int old_line = cursor.line;
      if (cursor.line != first) {
        cursor.line = first;
      } else {
        first -= v;
        if (first < 0) first = 0;
        cursor.line = first;
        redraw = true;
      }
      // In a pane of one or two rows, or with the cursor above the pane, the
      // rule above may not move up: a page key always moves while it can.
      if (cursor.line >= old_line) cursor.line = old_line - PageFallbackStep(v);
      if (cursor.line < 0) cursor.line = 0;
      break;
    }
    case KEY_NPAGE: {
      vertical = true;
      int old_line = cursor.line;
      if (cursor.line >= first + v - 1) {
        first = cursor.line - 1;
        if (first > n - 1) first = n - 1;
        if (first < 0) first = 0;
        redraw = true;
      }
      cursor.line = first + (v > 0 ? v - 1 : 0);
      if (cursor.line <= old_line) cursor.line = old_line + PageFallbackStep(v);
      if (cursor.line > n - 1) cursor.line = n - 1 > old_line ? n - 1 : old_line;
      break;
    }
    case KEY_RIGHT:
      if (ctrl) {
        WordRight();
      } else if (cursor.column < LineLengthInColumns(cursor.line)) {
        cursor.column++;
      } else if (cursor.line < n - 1) {
        cursor.line++;
        cursor.column = 0;
      }
      break;
    case KEY_LEFT:
      if (ctrl) {
        WordLeft();
      } else if (cursor.column > 0) {
        cursor.column--;
      } else if (cursor.line > 0) {
        cursor.line--;
        cursor.column = LineLengthInColumns(cursor.line);
      }
      break;
    case KEY_HOME:
      if (ctrl) {
        cursor = {0, 0};
      } else if (n > 0) {
        const unsigned char* b =
            reinterpret_cast<const unsigned char*>(LineBytes(text, cursor.line));
        size_t length = LineLength(text, cursor.line);
        size_t p = 0;
        while (p < length && IsBlank(b[p])) p++;
        int first_text = ColumnOfByte(LineBytes(text, cursor.line), length, p);
        cursor.column = (p == length || cursor.column == first_text) ? 0 : first_text;
      }
      break;
    case KEY_END:
      if (ctrl && n > 0) cursor.line = n - 1;
      cursor.column = LineLengthInColumns(cursor.line);
      break;
  }
  if (cursor.line < 0) cursor.line = 0;
  if (redraw && !shift) Draw();
  PlaceCursor(vertical, -1);
  if (shift) {
    // The selection ends where the cursor came to rest inside its line.
    selection.end = cursor;
    Draw();
  }
}

// ---- keys ------------------------------------------------------------------

int TextView::HandleKey(int key) {
  if (mode == MODE_MESSAGE) {
    mode = MODE_NORMAL;
    RedrawAll();
  }
  if (mode == MODE_FIND || mode == MODE_REPLACE) {
    HandlePromptKey(key);
  } else {
    HandleNormalKey(key);
  }
  return 0;
}

void TextView::HandleNormalKey(int key) {
  bool shift = platform->ShiftDown();
  bool alt = platform->AltDown();
  bool ctrl = platform->CtrlDown();
  switch (key) {
    case KEY_DOWN:
    case KEY_UP:
    case KEY_PPAGE:
    case KEY_NPAGE:
    case KEY_RIGHT:
    case KEY_LEFT:
    case KEY_HOME:
    case KEY_END:
      MoveKey(key);
      break;
    case KEY_ESCAPE:
      // With Ctrl held this code is Ctrl+[, which switches documents: there
      // is only one.
      if (alt || shift || ctrl) break;
      if (selection.active) {
        selection.active = false;
        RedrawAll();
      }
      break;
    case KEY_CTRL_C:
      if (!alt && !shift) CopySelection();
      break;
    case KEY_CTRL_F:
      if (!alt && !shift) OpenFindPrompt();
      break;
    case KEY_CTRL_G:
    case KEY_F3:
      // Ctrl+F3 switches documents (there is only one).
      if (alt || (key == KEY_F3 && ctrl)) break;
      if (search_text.empty()) {
        OpenFindPrompt();
      } else {
        Search(!shift);
      }
      break;
    case KEY_CTRL_L:
      RedrawAll();
      break;
    case KEY_CTRL_P:
      if (!alt && !shift) TogglePanes();
      break;
    case KEY_CTRL_O:
      if (!alt && !shift) SwitchPane();
      break;
    default:
      // Ctrl+F1 ... Ctrl+F10 and Ctrl+] switch documents: with one document
      // there is nothing to switch to. Other F keys do nothing, and text
      // editing is not part of this viewer.
      break;
  }
}

void TextView::OpenFindPrompt() {
  if (selection.active && selection.anchor.line == selection.end.line &&
      selection.anchor.column != selection.end.column) {
    search_text = SelectedText();
  }
  mode = MODE_FIND;
  prompt_offered = true;
  DrawPrompt();
}

void TextView::HandlePromptKey(int key) {
  bool shift = platform->ShiftDown();
  bool alt = platform->AltDown();
  if (mode == MODE_REPLACE) {
    if (key == KEY_ESCAPE) {
      mode = MODE_NORMAL;
      RedrawAll();
    } else if (key == KEY_CTRL_F) {
      mode = MODE_FIND;
      DrawPrompt();
    }
    return;
  }
  if (key == KEY_CTRL_V || (key == KEY_IC && (shift || alt))) {
    std::string clip = platform->ClipboardText();
    size_t end = clip.find_first_of("\r\n");
    if (end != std::string::npos) clip.resize(end);
    search_text += clip;
    prompt_offered = false;
    DrawPrompt();
    return;
  }
  switch (key) {
    case KEY_CTRL_F:
    case KEY_ESCAPE:
      mode = MODE_NORMAL;
      RedrawAll();
      return;
    case KEY_CTRL_R:
      if (search_text.empty()) {
        mode = MODE_NORMAL;
        RedrawAll();
      } else {
        mode = MODE_REPLACE;
        DrawPrompt();
      }
      return;
    case KEY_ENTER:
    case KEY_CTRL_J:
      mode = MODE_NORMAL;
      RedrawAll();
      if (!search_text.empty()) Search(true);
      return;
    case KEY_BACKSPACE:
      RemoveLastCharacter(&search_text);
      prompt_offered = false;
      DrawPrompt();
      return;
    case KEY_DOWN:
      g_search_mode = (g_search_mode + 1) % SEARCH_MODE_COUNT;
      DrawPrompt();
      return;
    case KEY_UP:
      g_search_mode = (g_search_mode + SEARCH_MODE_COUNT - 1) % SEARCH_MODE_COUNT;
      DrawPrompt();
      return;
  }
  if (!IsTypedCharacter(key)) return;
  uint32_t character = TypedCharacter(key);
  // Control characters are keys, and a lone surrogate is no character.
  if (character < 32 || character == 127 || (character >= 0xD800 && character <= 0xDFFF)) return;
  if (prompt_offered) search_text.clear();
  prompt_offered = false;
  AppendUtf8Character(&search_text, character);
  DrawPrompt();
}

// ---- selection and clipboard ---------------------------------------------

std::string TextView::SelectedText() const {
  return SelectionLines(false);
}

std::string TextView::ShownSelectedText() const {
  return SelectionLines(true);
}

std::string TextView::SelectionLines(bool as_shown) const {
  std::string result;
  if (!selection.active) return result;
  TextPosition start = selection.anchor < selection.end ? selection.anchor : selection.end;
  TextPosition stop = selection.anchor < selection.end ? selection.end : selection.anchor;
  int n = LineCount(text);
  for (int line = start.line; line <= stop.line && line < n; line++) {
    LineText bytes = GetLine(text, line);
    size_t from = line == start.line ? ByteOfColumn(bytes.bytes, bytes.length, start.column) : 0;
    size_t to = line == stop.line ? ByteOfColumn(bytes.bytes, bytes.length, stop.column)
                                  : bytes.length;
    if (line != start.line) result += "\r\n";
    if (to <= from) continue;
    if (as_shown) {
      AppendShownText(&result, bytes.bytes + from, to - from);
    } else {
      result.append(bytes.bytes + from, to - from);
    }
  }
  return result;
}

void TextView::CopySelection() {
  if (!selection.active || selection.anchor == selection.end) {
    ShowMessage("No selection");
    return;
  }
  // The clipboard gets the characters the cells show; the message counts the
  // selection's own bytes.
  std::string copied = SelectedText();
  if (platform->SetClipboardText(ShownSelectedText())) {
    ShowMessage(Format("Copied %d bytes", static_cast<int>(copied.size())));
  }
}

// ---- panes -----------------------------------------------------------------

void TextView::TogglePanes() {
  if (!IsSplit()) {
    split_ratio = 0.5;
    pane_first[1] = pane_first[0];
  } else {
    if (active_pane == 1) pane_first[0] = pane_first[1];
    split_ratio = 1.0;
    active_pane = 0;
  }
  Draw();
  PlaceCursor(false, -1);
}

void TextView::SwitchPane() {
  if (!IsSplit()) {
    split_ratio = 0.5;
    pane_first[1] = pane_first[0];
  }
  active_pane = 1 - active_pane;
  int first = pane_first[active_pane];
  int v = PaneRows(active_pane);
  if (cursor.line < first) cursor.line = first;
  if (v > 0 && cursor.line > first + v - 1) cursor.line = first + v - 1;
  Draw();
  PlaceCursor(true, -1);
}

// ---- search ----------------------------------------------------------------

bool TextView::MatchLine(int line, size_t from, bool forward, size_t* start, size_t* end) {
  LineMatch match;
  LineText searched = GetLine(text, line);
  if (!MatchInLine(g_search_mode, search_text, searched.bytes, searched.length, from,
                   forward, &match)) {
    return false;
  }
  *start = match.start;
  *end = match.end;
  return true;
}

void TextView::Search(bool forward) {
  int n = LineCount(text);
  bool found = false, wrapped = false;
  int found_line = 0;
  size_t start = 0, end = 0;
  if (n > 0 && !search_text.empty()) {
    int line = cursor.line < n ? cursor.line : n - 1;
    const char* bytes = LineBytes(text, line);
    size_t length = LineLength(text, line);
    if (forward) {
      found = MatchLine(line, ByteOfColumn(bytes, length, cursor.column + 1), true, &start, &end);
    } else if (cursor.column > 0) {
      found = MatchLine(line, ByteOfColumn(bytes, length, cursor.column - 1), false, &start, &end);
    }
    found_line = line;
    for (int k = 1; k < n && !found; k++) {
      int l = forward ? line + k : line - k;
      if (l >= n) l -= n, wrapped = true;
      if (l < 0) l += n, wrapped = true;
      found = MatchLine(l, forward ? 0 : LineLength(text, l), forward, &start, &end);
      found_line = l;
    }
    if (!found) {
      wrapped = true;
      found = MatchLine(line, forward ? 0 : length, forward, &start, &end);
      found_line = line;
    }
  }
  if (!found) {
    ShowMessage(Format("%s '%s' not found", SearchModeName(g_search_mode),
                       ShownSearchText(search_text).c_str()));
    return;
  }
  const char* bytes = LineBytes(text, found_line);
  size_t length = LineLength(text, found_line);
  TextPosition match_start = {found_line, ColumnOfByte(bytes, length, start)};
  TextPosition match_end = {found_line, ColumnOfByte(bytes, length, end)};
  cursor = match_start;
  selection = {true, match_start, match_end};
  horizontal_scroll = 0;
  int reach = match_end.column + grid->columns / 4;
  if (reach >= TextWidth()) horizontal_scroll = reach - TextWidth() + 1;
  Draw();
  PlaceCursor(false, -1);
  ShowMessage(Format("Found @ Line %d Col %d %s'%s' (Shift+)F3|Ctrl+G:(prev)next",
                     found_line + 1, match_start.column + 1, wrapped ? "(wrapped) " : "",
                     ShownSearchText(search_text).c_str()));
}

// ---- loading ---------------------------------------------------------------

void TextView::Load(const char* file_path) {
  path = file_path;
  FILE* file = platform->OpenFile(file_path, "rb");
  if (!file) return;
  FreeTextLines(&text);
  LoadTextFile(file, &text, &tab_width);
  fclose(file);
  cursor = {0, 0};
  desired_column = -1;
  horizontal_scroll = 0;
  pane_first[0] = pane_first[1] = 0;
  selection.active = false;
  changed = false;
}

// ---- mouse -----------------------------------------------------------------

static int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

bool TextView::CellToPosition(int x, int y, int* pane, TextPosition* position,
                              TextPosition* cell) const {
  int row = FloorDiv(y, grid->cell_height);
  int column = FloorDiv(x, grid->cell_width);
  int panes = IsSplit() ? 2 : 1;
  for (int p = 0; p < panes; p++) {
    int top = PaneTopRow(p);
    if (row < top || row >= top + PaneRows(p)) continue;
    *pane = p;
    int n = LineCount(text);
    position->line = pane_first[p] + row - top;
    position->column = (column < 0 ? 0 : column) + horizontal_scroll;
    if (cell) *cell = *position;
    if (position->line > n - 1) position->line = n > 0 ? n - 1 : 0;
    int length = LineLengthInColumns(position->line);
    if (position->column > length) position->column = length;
    return true;
  }
  return false;
}

void TextView::ScrollPane(int pane, int lines, int max_first) {
  int first = pane_first[pane] + lines;
  if (first > max_first) first = max_first;
  if (first < 0) first = 0;
  pane_first[pane] = first;
  Draw();
}

void TextView::DoubleClick(const TextPosition& at) {
  if (LineCount(text) == 0) return;
  const char* bytes = LineBytes(text, at.line);
  size_t length = LineLength(text, at.line);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  size_t p = ByteOfColumn(bytes, length, at.column);
  // An address under the mouse?
  static const char SCHEME[] = "http://";
  const size_t scheme_length = sizeof SCHEME - 1;
  for (size_t s = 0; s + scheme_length <= length && s <= p; s++) {
    const void* hit = memchr(b + s, 'h', length - s);
    if (!hit) break;
    s = static_cast<const unsigned char*>(hit) - b;
    if (s > p || s + scheme_length > length) break;
    if (memcmp(b + s, SCHEME, scheme_length) != 0) continue;
    if (s > 0 && IsWordByte(b[s - 1]) && b[s - 1] != '_') continue;
    size_t e = s;
    while (e < length && b[e] != ' ' && b[e] != '"' && b[e] != '\'' && b[e] != ')') e++;
    if (p >= e) {
      s = e;
      continue;
    }
    size_t address_length = e - s;
    if (address_length >= MIN_ADDRESS_BYTES && address_length <= MAX_ADDRESS_BYTES) {
      platform->OpenAddress(std::string(bytes + s, address_length));
      return;
    }
    break;
  }
  if (p >= length || !IsWordByte(b[p])) return;
  size_t ws = p, we = p;
  while (ws > 0 && IsWordByte(b[ws - 1])) ws--;
  while (we < length && IsWordByte(b[we])) we++;
  TextPosition start = {at.line, ColumnOfByte(bytes, length, ws)};
  TextPosition stop = {at.line, ColumnOfByte(bytes, length, we)};
  selection = {true, start, stop};
  cursor = stop;
  Draw();
  PlaceCursor(false, -1);
}

bool TextView::PressOnBars(const MouseEvent& event, bool left) {
  int n = LineCount(text);
  int row = FloorDiv(event.y, grid->cell_height);
  if (IsSplit() && left && row == PaneTopRow(0) + PaneRows(0)) {
    dragging_divider = true;
    return true;
  }
  for (int p = 0; p < 2; p++) {
    ScrollbarGeometry bar = PaneScrollbar(grid, p);
    int top = grid->panes[p].top_row;
    if (!bar.shown || event.x < bar.left || row < top || row >= top + grid->panes[p].rows) {
      continue;
    }
    int y = event.y - top * grid->cell_height;
    int v = PaneRows(p);
    if (y < bar.thumb_offset) {
      ScrollPane(p, -v, n - v);
    } else if (y >= bar.thumb_offset + bar.thumb_height) {
      ScrollPane(p, v, n - v);
    } else if (left) {
      dragging_thumb = p;
      thumb_grab = y - bar.thumb_offset;
    }
    return true;
  }
  return false;
}

void TextView::HandleMouse(const MouseEvent& event) {
  int n = LineCount(text);
  int row = FloorDiv(event.y, grid->cell_height);
  switch (event.kind) {
    case MOUSE_LEFT_DOWN:
    case MOUSE_RIGHT_DOWN: {
      bool left = event.kind == MOUSE_LEFT_DOWN;
      if (PressOnBars(event, left)) return;
      int pane = 0;
      TextPosition position, cell;
      if (!CellToPosition(event.x, event.y, &pane, &position, &cell)) return;
      mode = MODE_NORMAL;
      TextPosition old_cursor = cursor;
      active_pane = pane;
      cursor = position;
      if (left) {
        if (event.shift) {
          TextPosition anchor = selection.active ? selection.anchor : old_cursor;
          selection = {true, anchor, cursor};
        } else {
          selection.active = false;
        }
        selecting_with_mouse = true;
        press_position = position;
        press_cell = cell;
      }
      if (HandleKey(KEY_CTRL_L)) return;
      if (!left) OnRightButton();
      return;
    }
    case MOUSE_MOVE: {
      if (!event.left_held) return;
      if (dragging_divider) {
        int text_rows = grid->rows - 3;
        if (row <= top_rows || row >= grid->rows - bottom_rows - 1 || text_rows <= 0) {
          if (IsSplit()) TogglePanes();
        } else {
          split_ratio = (row - top_rows + 0.5) / text_rows;
          if (split_ratio >= 1.0) split_ratio = 0.99;
          Draw();
          PlaceCursor(false, -1);
        }
        return;
      }
      if (dragging_thumb >= 0) {
        ScrollbarGeometry bar = PaneScrollbar(grid, dragging_thumb);
        int v = PaneRows(dragging_thumb);
        int room = bar.track_height - bar.thumb_height;
        int y = event.y - grid->panes[dragging_thumb].top_row * grid->cell_height - thumb_grab;
        int first = room > 0 ? static_cast<int>(static_cast<long long>(y) * (n - v) / room) : 0;
        pane_first[dragging_thumb] = 0;
        ScrollPane(dragging_thumb, first, n - v);
        return;
      }
      if (!selecting_with_mouse) return;
      int old_scroll = horizontal_scroll;
      int top = PaneTopRow(active_pane);
      int v = PaneRows(active_pane);
      int y = event.y, x = event.x;
      if (row < top) {
        ScrollPane(active_pane, -1, n - 1);
        y = top * grid->cell_height;
      } else if (row >= top + v) {
        ScrollPane(active_pane, 1, n - v + 4 > 0 ? n - v + 4 : 0);
        y = (top + v - 1) * grid->cell_height;
      }
      if (x < 0) {
        if (horizontal_scroll > 0) horizontal_scroll--;
        x = 0;
      } else if (x >= grid->columns * grid->cell_width) {
        horizontal_scroll++;
        x = (grid->columns - 1) * grid->cell_width;
      }
      int pane = 0;
      TextPosition position, cell;
      // The selection starts once the mouse leaves the pressed cell, also
      // where both cells lie beyond a line's end.
      if (!CellToPosition(x, y, &pane, &position, &cell) || pane != active_pane ||
          (!selection.active && cell == press_cell)) {
        if (horizontal_scroll != old_scroll) Draw();
        return;
      }
      if (!selection.active) selection = {true, press_position, position};
      selection.end = position;
      cursor = position;
      Draw();
      PlaceCursor(false, -1);
      return;
    }
    case MOUSE_LEFT_UP:
      selecting_with_mouse = false;
      dragging_thumb = -1;
      dragging_divider = false;
      return;
    case MOUSE_LEFT_DOUBLE: {
      // The second of two quick clicks on a bar is one more press there,
      // never a click on the text under it.
      if (PressOnBars(event, true)) return;
      int pane = 0;
      TextPosition position;
      if (CellToPosition(event.x, event.y, &pane, &position)) DoubleClick(position);
      return;
    }
    case MOUSE_WHEEL: {
      int pane = active_pane;
      int panes = IsSplit() ? 2 : 1;
      for (int p = 0; p < panes; p++) {
        if (row >= PaneTopRow(p) && row < PaneTopRow(p) + PaneRows(p)) pane = p;
      }
      int v = PaneRows(pane);
      int most = n - v + 4 > 0 ? n - v + 4 : 0;
      ScrollPane(pane, -event.wheel_delta / 20, most);
      return;
    }
  }
}

void RunTextView(TextView* view) {
  CellGrid* grid = view->grid;
  for (int i = 0; i < 16; i++) {
    int key = ReadKey(grid);
    if (key < 0) return;
    if (view->HandleKey(key)) return;   // the view may be gone
  }
}
