#include "auxwindows/cell_screen.h"

#include <vector>

#include "auxwindows/key_codes.h"
#include "base/utf8_platform.h"
#include "base/utf8_text.h"

CellScreen g_cell_screen;

namespace {

const wchar_t CLASS_NAME[] = L"CellScreenWindow";
const COLORREF TRACK_COLOUR = 0x808080;
const COLORREF THUMB_COLOUR = 0x606060;

// Foreground and background of the sixteen colour pairs (0x00BBGGRR).
const COLORREF PAIRS[16][2] = {
    {0xC0C0C0, 0x000000}, {0xC0C0C0, 0xC00000}, {0x000000, 0xC0C000}, {0xFFFF00, 0x000000},
    {0x00FF00, 0x000000}, {0xC08060, 0x000000}, {0xC0C0C0, 0x0000C0}, {0x00FFFF, 0x000000},
    {0x8080FF, 0x000000}, {0xFFC000, 0x000000}, {0xC0C0FF, 0x000000}, {0x80FFC0, 0x000000},
    {0x000000, 0xC0C000}, {0xC0C0C0, 0x0000C0}, {0x00C0C0, 0x000000}, {0x000000, 0x000000},
};

// The bright variant raises every non-zero colour byte to 0xFF.
COLORREF Bright(COLORREF colour) {
  COLORREF bright = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    if ((colour >> shift) & 0xFF) bright |= 0xFFu << shift;
  }
  return bright;
}

void FillColourTable(CellScreen* screen) {
  for (int pair = 0; pair < 16; pair++) {
    screen->colours[2 * pair][0] = PAIRS[pair][0];
    screen->colours[2 * pair][1] = PAIRS[pair][1];
    screen->colours[2 * pair + 1][0] = Bright(PAIRS[pair][0]);
    screen->colours[2 * pair + 1][1] = PAIRS[pair][1];
  }
}

CellScreen* ScreenOf(HWND window) {
  return reinterpret_cast<CellScreen*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void InvalidateCells(void* context, int row, int column, int rows, int columns) {
  CellScreen* screen = static_cast<CellScreen*>(context);
  if (!screen->window) return;
  const CellGrid& g = screen->grid;
  if (row <= 0 && column <= 0 && rows >= g.rows && columns >= g.columns) {
    InvalidateRect(screen->window, nullptr, FALSE);   // with the strips beyond the grid
    return;
  }
  RECT r = {column * g.cell_width, row * g.cell_height, (column + columns) * g.cell_width,
            (row + rows) * g.cell_height};
  InvalidateRect(screen->window, &r, FALSE);
}

void MeasureFont(CellScreen* screen) {
  HDC dc = GetDC(screen->window);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, screen->font);
  TEXTMETRICW metrics;
  if (GetTextMetricsW(dc, &metrics) && metrics.tmAveCharWidth > 0 && metrics.tmHeight > 0) {
    screen->grid.cell_width = metrics.tmAveCharWidth;
    screen->grid.cell_height = metrics.tmHeight;
  }
  SelectObject(dc, old);
  ReleaseDC(screen->window, dc);
}

// Measures the font and rebuilds the grid, blank, for the client size.
void LayOut(CellScreen* screen) {
  RECT client;
  GetClientRect(screen->window, &client);
  MeasureFont(screen);
  CellGrid& g = screen->grid;
  g.client_width = client.right;
  g.client_height = client.bottom;
  ResizeGrid(&g, client.bottom / g.cell_height, client.right / g.cell_width);
}

bool IsDrawn(uint16_t c) {
  return c >= 128 || (c > 32 && c < 127);
}

void PaintCells(CellScreen* screen, HDC dc, const RECT& update) {
  const CellGrid& g = screen->grid;
  if (g.cells.empty()) return;
  HBRUSH brushes[32];
  for (int a = 0; a < 32; a++) brushes[a] = CreateSolidBrush(screen->colours[a][1]);
  HGDIOBJ old_font = SelectObject(dc, screen->font);
  SetBkMode(dc, OPAQUE);
  int cw = g.cell_width, ch = g.cell_height;
  int row0 = update.top / ch, row1 = (update.bottom + ch - 1) / ch;
  int col0 = update.left / cw, col1 = (update.right + cw - 1) / cw;
  if (row1 > g.rows) row1 = g.rows;
  if (col1 > g.columns) col1 = g.columns;
  std::vector<wchar_t> run;
  std::vector<INT> advances;
  for (int row = row0; row < row1; row++) {
    const Cell* cells = &g.cells[static_cast<size_t>(row) * g.columns];
    int column = col0;
    while (column < col1) {
      uint8_t attribute = cells[column].attribute & 31;
      bool drawn = IsDrawn(cells[column].character);
      int end = column + 1;
      while (end < col1 && (cells[end].attribute & 31) == attribute &&
             IsDrawn(cells[end].character) == drawn) {
        end++;
      }
      RECT r = {column * cw, row * ch, end * cw, (row + 1) * ch};
      if (drawn) {
        // One call per run of characters of one attribute, each in its cell.
        run.clear();
        for (int c = column; c < end; c++) run.push_back(static_cast<wchar_t>(cells[c].character));
        advances.assign(run.size(), cw);
        SetTextColor(dc, screen->colours[attribute][0]);
        SetBkColor(dc, screen->colours[attribute][1]);
        ExtTextOutW(dc, r.left, r.top, ETO_OPAQUE | ETO_CLIPPED, &r, run.data(),
                    static_cast<UINT>(run.size()), advances.data());
      } else {
        FillRect(dc, &r, brushes[attribute]);
      }
      column = end;
    }
  }
  // The cursor: a bar 2 pixels wide at the cell's left edge.
  if (screen->blink_phase != 0 && g.cursor_row >= 0 && g.cursor_row < g.rows &&
      g.cursor_column >= 0 && g.cursor_column < g.columns) {
    uint8_t attribute = GridCell(&g, g.cursor_row, g.cursor_column).attribute & 31;
    RECT bar = {g.cursor_column * cw, g.cursor_row * ch, g.cursor_column * cw + 2,
                (g.cursor_row + 1) * ch};
    HBRUSH brush = CreateSolidBrush(screen->colours[attribute][0]);
    FillRect(dc, &bar, brush);
    DeleteObject(brush);
  }
  // The strip right of the grid takes each row's last background, the strip
  // below it the bottom row's colour.
  for (int row = row0; row < row1; row++) {
    RECT r = {g.columns * cw, row * ch, g.client_width, (row + 1) * ch};
    if (r.left < r.right) FillRect(dc, &r, brushes[GridCell(&g, row, g.columns - 1).attribute & 31]);
  }
  RECT below = {0, g.rows * ch, g.client_width, g.client_height};
  if (below.top < below.bottom) FillRect(dc, &below, brushes[2]);
  for (int pane = 0; pane < 2; pane++) {
    ScrollbarGeometry bar = PaneScrollbar(&g, pane);
    if (!bar.shown) continue;
    int top = g.panes[pane].top_row * ch;
    RECT track = {bar.left, top, bar.left + bar.width, top + bar.track_height};
    RECT thumb = {bar.left, top + bar.thumb_offset, bar.left + bar.width,
                  top + bar.thumb_offset + bar.thumb_height};
    HBRUSH track_brush = CreateSolidBrush(TRACK_COLOUR);
    HBRUSH thumb_brush = CreateSolidBrush(THUMB_COLOUR);
    FillRect(dc, &track, track_brush);
    FillRect(dc, &thumb, thumb_brush);
    DeleteObject(track_brush);
    DeleteObject(thumb_brush);
  }
  SelectObject(dc, old_font);
  for (HBRUSH brush : brushes) DeleteObject(brush);
}

void Blink(CellScreen* screen) {
  bool was_visible = screen->blink_phase != 0;
  screen->blink_phase = (screen->blink_phase + 1) % 3;
  if (screen->blink_phase == 0 && GetFocus() != screen->window) screen->blink_phase = 1;
  if (was_visible != (screen->blink_phase != 0)) {
    MarkCells(&screen->grid, screen->grid.cursor_row, screen->grid.cursor_column, 1, 1);
  }
}

void OnSize(CellScreen* screen) {
  LayOut(screen);
  if (screen->grid.resize_handler) {
    screen->grid.resize_handler(screen->grid.resize_context);
  } else {
    screen->grid.repaint_pending = true;
  }
}

void Forward(CellScreen* screen, MouseKind kind, WPARAM wparam, int x, int y, int wheel) {
  if (!screen->mouse_handler) return;
  MouseEvent event = {kind, x, y, (wparam & MK_SHIFT) != 0, (wparam & MK_LBUTTON) != 0, wheel};
  screen->mouse_handler(screen->mouse_context, event);
}

LPCWSTR CursorShapeAt(CellScreen* screen) {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(screen->window, &p);
  const CellGrid& g = screen->grid;
  int row = p.y / g.cell_height;
  if (g.split_row > 0 && row == g.split_row) return reinterpret_cast<LPCWSTR>(IDC_SIZENS);
  if (row == 0 || row == g.rows - 1) return reinterpret_cast<LPCWSTR>(IDC_ARROW);
  for (int pane = 0; pane < 2; pane++) {
    ScrollbarGeometry bar = PaneScrollbar(&g, pane);
    int top = g.panes[pane].top_row;
    if (bar.shown && p.x >= bar.left && row >= top && row < top + g.panes[pane].rows) {
      return reinterpret_cast<LPCWSTR>(IDC_ARROW);
    }
  }
  return reinterpret_cast<LPCWSTR>(IDC_IBEAM);
}

}  // namespace

bool RegisterCellScreenClass(HINSTANCE instance) {
  WNDCLASSW window_class = {};
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = CellScreenWindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.lpszClassName = CLASS_NAME;
  // A class this process registered before counts as registered.
  return RegisterClassW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void AttachCellScreen(CellScreen* screen, HWND control) {
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(screen));
  screen->window = control;
  FillColourTable(screen);
  ClearKeys(&screen->grid);
  screen->grid.cells.clear();
  screen->grid.invalidate = InvalidateCells;
  screen->grid.invalidate_context = screen;
  screen->blink_phase = 1;
  SetTimer(control, TIMER_CURSOR_BLINK, CURSOR_BLINK_MS, nullptr);
  if (!screen->font) {
    screen->font = CreateFontW(16, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_MODERN,
                               L"Courier New");
  }
  LayOut(screen);
  InvalidateRect(control, nullptr, FALSE);
}

int KeyCodeForKeyDown(WPARAM virtual_key, bool ctrl, bool alt) {
  switch (virtual_key) {
    case VK_BACK: return KEY_BACKSPACE;
    case VK_TAB: return KEY_TAB;
    case VK_RETURN: return KEY_ENTER;
    case VK_ESCAPE: return KEY_ESCAPE;
    case VK_PRIOR: return KEY_PPAGE;
    case VK_NEXT: return KEY_NPAGE;
    case VK_END: return KEY_END;
    case VK_HOME: return KEY_HOME;
    case VK_LEFT: return KEY_LEFT;
    case VK_UP: return KEY_UP;
    case VK_RIGHT: return KEY_RIGHT;
    case VK_DOWN: return KEY_DOWN;
    case VK_INSERT: return KEY_IC;
    case VK_DELETE: return KEY_DC;
    case VK_CONTROL: return -1;
  }
  if (virtual_key >= VK_F1 && virtual_key <= VK_F12) {
    return KEY_F1 + static_cast<int>(virtual_key - VK_F1);
  }
  if (ctrl && !alt) {
    if (virtual_key >= 'A' && virtual_key <= 'Z') return static_cast<int>(virtual_key - 'A' + 1);
    if (virtual_key == 91 || virtual_key == VK_OEM_4) return 27;
    if (virtual_key == 93 || virtual_key == VK_OEM_6) return 29;
  }
  return -1;
}

int KeyCodeForChar(WPARAM unit, WPARAM* pending_high_surrogate) {
  // A character beyond U+FFFF comes as two messages, its surrogates.
  WPARAM high = *pending_high_surrogate;
  *pending_high_surrogate = 0;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    *pending_high_surrogate = unit;
    return -1;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    if (!high) return -1;
    return TypedCharacterKey(0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) +
                             (static_cast<uint32_t>(unit) - 0xDC00));
  }
  return unit >= 32 && unit <= 0xFFFF ? TypedCharacterKey(static_cast<uint32_t>(unit)) : -1;
}

LRESULT CALLBACK CellScreenWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  static UINT wheel_message = RegisterWindowMessageW(L"MSWHEEL_ROLLMSG");
  CellScreen* screen = ScreenOf(window);
  if (!screen) return DefWindowProcW(window, message, wparam, lparam);
  if (message == wheel_message && wheel_message != 0) {
    message = WM_MOUSEWHEEL;
    wparam <<= 16;
  }
  int x = static_cast<short>(LOWORD(lparam));
  int y = static_cast<short>(HIWORD(lparam));
  switch (message) {
    case WM_CREATE:
      screen->window = window;
      SetTimer(window, TIMER_CURSOR_BLINK, CURSOR_BLINK_MS, nullptr);
      return 0;
    case WM_DESTROY:
      KillTimer(window, TIMER_CURSOR_BLINK);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (screen->window == window) screen->window = nullptr;
      return 0;
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) OnSize(screen);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc) PaintCells(screen, dc, paint.rcPaint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      if (wparam == TIMER_CURSOR_BLINK) Blink(screen);
      return 0;
    case WM_KEYDOWN: {
      bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
      bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
      int key = KeyCodeForKeyDown(wparam, ctrl, alt);
      if (key >= 0) PushKey(&screen->grid, key);
      return 0;
    }
    case WM_CHAR: {
      int key = KeyCodeForChar(wparam, &screen->pending_high_surrogate);
      if (key >= 0) PushKey(&screen->grid, key);
      return 0;
    }
    case WM_GETDLGCODE:
      return GetParent(window) ? DLGC_WANTALLKEYS : 0;
    case WM_GETMINMAXINFO: {
      MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize.x = 160;
      info->ptMinTrackSize.y = 120;
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) != HTCLIENT) break;
      SetCursor(LoadCursorW(nullptr, CursorShapeAt(screen)));
      return TRUE;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      SetCapture(window);
      Forward(screen, MOUSE_LEFT_DOWN, wparam, x, y, 0);
      return 0;
    case WM_LBUTTONDBLCLK:
      // A second press: on a scrollbar or the divider it may start a drag.
      SetFocus(window);
      SetCapture(window);
      Forward(screen, MOUSE_LEFT_DOUBLE, wparam, x, y, 0);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:   // the class takes double clicks: a second press
      SetFocus(window);
      Forward(screen, MOUSE_RIGHT_DOWN, wparam, x, y, 0);
      return 0;
    case WM_MOUSEMOVE:
      Forward(screen, MOUSE_MOVE, wparam, x, y, 0);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == window) ReleaseCapture();
      Forward(screen, MOUSE_LEFT_UP, wparam, x, y, 0);
      return 0;
    case WM_MOUSEWHEEL: {
      POINT p = {x, y};
      ScreenToClient(window, &p);
      Forward(screen, MOUSE_WHEEL, GET_KEYSTATE_WPARAM(wparam), p.x, p.y,
              GET_WHEEL_DELTA_WPARAM(wparam));
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// ---- the platform for the view ---------------------------------------------

bool WindowsViewPlatform::ShiftDown() {
  return (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

bool WindowsViewPlatform::CtrlDown() {
  return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

bool WindowsViewPlatform::AltDown() {
  return (GetKeyState(VK_MENU) & 0x8000) != 0;
}

bool WindowsViewPlatform::SetClipboardText(const std::string& text) {
  long units = Utf8ToUtf16(text.data(), text.size(), nullptr, 0, true);
  if (units < 0) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (static_cast<size_t>(units) + 1) * sizeof(wchar_t));
  if (!memory) return false;
  wchar_t* wide = static_cast<wchar_t*>(GlobalLock(memory));
  if (!wide) {
    GlobalFree(memory);
    return false;
  }
  Utf8ToUtf16(text.data(), text.size(), wide, static_cast<size_t>(units) + 1, true);
  GlobalUnlock(memory);
  if (!OpenClipboard(screen_->window)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  bool stored = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!stored) GlobalFree(memory);
  return stored;
}

std::string WindowsViewPlatform::ClipboardText() {
  std::string text;
  if (!OpenClipboard(screen_->window)) return text;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const wchar_t* wide = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  if (wide) {
    size_t length = Utf16Length(wide);
    long bytes = Utf16ToUtf8(wide, length, nullptr, 0);
    if (bytes > 0) {
      text.resize(static_cast<size_t>(bytes) + 1);
      Utf16ToUtf8(wide, length, &text[0], text.size());
      text.resize(static_cast<size_t>(bytes));
    }
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

void WindowsViewPlatform::OpenAddress(const std::string& address) {
  Utf8ShellExecute(screen_->window, "open", address.c_str(), "", SW_HIDE);
}

FILE* WindowsViewPlatform::OpenFile(const char* path, const char* mode) {
  return Utf8OpenFile(path, mode);
}
