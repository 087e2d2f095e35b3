// The real Changelog window with its text viewer control, opened from the
// real main window in this process: keys through the window procedure and
// the message loop, the clipboard, painted colours, the singleton and the
// remembered position.
#include "auxwindows/changelog_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "auxwindows/cell_screen.h"
#include "auxwindows/key_codes.h"
#include "app/main_window.h"
#include "base/app_state.h"
#include "resources/resource_ids.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/win_test_support.h"

namespace {

const char CHANGELOG[] =
    "\xEF\xBB\xBFVistrel changelog\r\n"
    "\r\n"
    "1.11\r\n"
    "\tThe Changelog window finds a needle in the text.\r\n"
    "1.10\r\n"
    "\tPictures open faster.\r\n";

class ChangelogWindowTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    RegisterCellScreenClass(g_app.instance);
  }
  void TearDown() override {
    SetModifiers(false, false);
    MainWindowFixture::TearDown();
  }

  HWND OpenChangelog() {
    SendMessageA(g_app.main_window->window, WM_COMMAND, CMD_CHANGELOG, 0);
    PumpMessages(150);
    return g_app.changelog_window ? g_app.changelog_window->window : nullptr;
  }
  HWND Control() { return GetDlgItem(g_app.changelog_window->window, IDC_CHANGELOG_VIEW); }
  TextView* View() { return g_app.changelog_window->view; }

  // The modifier keys as this thread sees them.
  static void SetModifiers(bool ctrl, bool shift) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
  }
  // A key pressed while the Changelog window has the focus: posted into the
  // message loop, held until the window's timer has taken it.
  void Key(WORD key, bool ctrl = false, bool shift = false) {
    SetModifiers(ctrl, shift);
    PostMessageW(Control(), WM_KEYDOWN, key, 1);
    PumpUntil([] { return g_cell_screen.grid.key_count == 0; }, 1000);
    PumpMessages(60);
    SetModifiers(false, false);
  }
  void Type(const std::string& text) {
    for (char c : text) PostMessageW(Control(), WM_CHAR, static_cast<unsigned char>(c), 1);
    PumpMessages(200);
  }
  std::string Row(int row) {
    const CellGrid& g = g_cell_screen.grid;
    std::string text;
    for (int c = 0; c < g.columns; c++) {
      uint16_t ch = GridCell(&g, row, c).character;
      text.push_back(ch == 0 ? ' ' : ch < 128 ? static_cast<char>(ch) : '?');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  std::string BottomRow() { return Row(g_cell_screen.grid.rows - 1); }
};

TEST_F(ChangelogWindowTest, OpensOnceAtItsPlaceWithTheFileShown) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", CHANGELOG));
  OpenMainWindow();
  HWND dialog = OpenChangelog();
  ASSERT_NE(dialog, nullptr);
  char title[64];
  GetWindowTextA(dialog, title, sizeof title);
  EXPECT_STREQ(title, "Vistrel changelog");
  char class_name[64];
  GetClassNameA(dialog, class_name, sizeof class_name);
  EXPECT_STREQ(class_name, "changelog_superhost");
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), g_app.main_window->window);
  EXPECT_FALSE(GetWindowLongW(dialog, GWL_STYLE) & WS_THICKFRAME);
  RECT r;
  GetWindowRect(dialog, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 620);
  EXPECT_EQ(r.bottom - r.top, 505);
  GetClassNameA(Control(), class_name, sizeof class_name);
  EXPECT_STREQ(class_name, "CellScreenWindow");
  EXPECT_EQ(GetFocus(), Control());

  // The control fills the dialog; the grid fills the control.
  RECT client;
  GetClientRect(Control(), &client);
  const CellGrid& g = g_cell_screen.grid;
  EXPECT_EQ(g.rows, client.bottom / g.cell_height);
  EXPECT_EQ(g.columns, client.right / g.cell_width);
  EXPECT_EQ(Row(0), folder_ + "changelog.txt");
  EXPECT_EQ(Row(1), "Vistrel changelog");
  EXPECT_EQ(Row(4), "     The Changelog window finds a needle in the text.");
  EXPECT_NE(BottomRow().find("Line 1/6 [1-6] Col 1 [INS]"), std::string::npos);

  // A second command only gives the open window the focus.
  SetFocus(g_app.main_window->window);
  EXPECT_EQ(OpenChangelog(), dialog);
  EXPECT_TRUE(GetFocus() == dialog || IsChild(dialog, GetFocus()));
}

TEST_F(ChangelogWindowTest, TypedKeysMoveButNeverChangeTheText) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", CHANGELOG));
  OpenMainWindow();
  ASSERT_NE(OpenChangelog(), nullptr);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_END);
  EXPECT_EQ(View()->cursor.line, 2);
  EXPECT_EQ(View()->cursor.column, 4);
  Type("typed text");
  Key(VK_RETURN);
  Key(VK_DELETE);
  Key(VK_BACK);
  Key('V', true);
  Key('X', true);
  EXPECT_EQ(Row(3), "1.11");
  EXPECT_EQ(Row(2), "");
  EXPECT_EQ(LineCount(View()->text), 6);
  EXPECT_NE(BottomRow().find("Line 3/6 [1-6] Col 5 [INS]"), std::string::npos);
  // More than 64 keys between two runs: the oldest are lost.
  for (int i = 0; i < 70; i++) PushKey(&g_cell_screen.grid, KEY_DOWN);
  EXPECT_EQ(g_cell_screen.grid.key_count, 64);
}

TEST_F(ChangelogWindowTest, CtrlCPutsTheSelectionOnTheClipboardAsUnicodeText) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", CHANGELOG));
  OpenMainWindow();
  ASSERT_NE(OpenChangelog(), nullptr);
  ASSERT_TRUE(PutOnClipboard(L"before"));
  Key('C', true);
  EXPECT_EQ(BottomRow(), "No selection");
  EXPECT_EQ(ClipboardText(), "before");
  Key(VK_RIGHT);   // clears the message and moves
  Key(VK_END, false, true);
  Key(VK_DOWN, false, true);
  Key('C', true);
  EXPECT_EQ(ClipboardText(), "istrel changelog\r\n");
  EXPECT_EQ(BottomRow(), "Copied 18 bytes");
  // Ctrl+C without Ctrl held when the key is taken: nothing.
  ASSERT_TRUE(PutOnClipboard(L"after"));
  // Sent, not posted: the key is queued at once, before the feed timer can
  // run with Ctrl still down.
  SetModifiers(true, false);
  SendMessageW(Control(), WM_KEYDOWN, 'C', 1);
  SetModifiers(false, false);
  PumpMessages(200);
  EXPECT_EQ(ClipboardText(), "after");
}

// A line holding a stray byte (shown as its Latin-1 character), a NUL and a
// control character (shown blank): the clipboard holds exactly the cells.
TEST_F(ChangelogWindowTest, TheClipboardHoldsTheShownCells) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt",
                             std::string("ab\xE9" "c\0d\x01" "e \xE2\x82\xAC!\r\nnext\r\n", 21)));
  OpenMainWindow();
  ASSERT_NE(OpenChangelog(), nullptr);
  Key(VK_END, false, true);
  Key('C', true);
  const CellGrid& g = g_cell_screen.grid;
  std::wstring cells;
  for (int c = 0; c < 11; c++) {
    wchar_t ch = GridCell(&g, 1, c).character;
    cells.push_back(ch < 32 ? L' ' : ch);
  }
  EXPECT_EQ(cells, L"ab\u00E9c d e \u20AC!");
  EXPECT_EQ(ClipboardText(), Utf8(cells));
  EXPECT_EQ(BottomRow(), "Copied 13 bytes");
  // A right double click is a second right press: the cursor goes there.
  Key(VK_ESCAPE);
  int x = 3 * g.cell_width + 1, y = 2 * g.cell_height + 1;
  SendMessageW(Control(), WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(x, y));
  EXPECT_EQ(View()->cursor.line, 1);
  EXPECT_EQ(View()->cursor.column, 3);
}

TEST_F(ChangelogWindowTest, FindSelectsTheMatchAndItIsPaintedInTheHighlight) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", CHANGELOG));
  OpenMainWindow();
  ASSERT_NE(OpenChangelog(), nullptr);
  Key('F', true);
  EXPECT_EQ(View()->mode, MODE_FIND);
  Type("needle");
  Key(VK_RETURN);
  EXPECT_EQ(View()->cursor.line, 3);
  EXPECT_EQ(View()->cursor.column, 34);
  EXPECT_NE(BottomRow().find("Found @ Line 4 Col 35 'needle'"), std::string::npos);

  HWND control = Control();
  UpdateWindow(control);
  const CellGrid& g = g_cell_screen.grid;
  RECT client;
  GetClientRect(control, &client);
  HDC window_dc = GetDC(control);
  HDC memory = CreateCompatibleDC(window_dc);
  HBITMAP bitmap = CreateCompatibleBitmap(window_dc, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, client.right, client.bottom, window_dc, 0, 0, SRCCOPY);
  // The share of a cell's pixels in a colour.
  auto share = [&](int row, int column, COLORREF colour) {
    int hits = 0, total = 0;
    for (int y = row * g.cell_height; y < (row + 1) * g.cell_height; y++) {
      for (int x = column * g.cell_width; x < (column + 1) * g.cell_width; x++) {
        total++;
        if ((GetPixel(memory, x, y) & 0xFFFFFF) == colour) hits++;
      }
    }
    return total ? hits * 100 / total : 0;
  };
  EXPECT_GE(share(4, 34, 0xC0C000), 50);          // "n" of the selected match
  EXPECT_GE(share(4, 39, 0xC0C000), 50);          // its last "e"
  EXPECT_EQ(share(4, 33, 0xC0C000), 0);           // the blank before it
  EXPECT_EQ(share(4, 33, 0x000000), 100);
  EXPECT_GE(share(0, g.columns - 1, 0x0000C0), 100);   // red title row
  EXPECT_GE(share(g.rows - 1, g.columns - 2, 0xC0C000), 100);   // the message
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(control, window_dc);
}

// The second of two quick clicks arrives as a double click: on the scrollbar
// column it pages once more and selects nothing under the bar; on the
// divider it starts a drag.
TEST_F(ChangelogWindowTest, ADoubleClickOnTheScrollbarOrTheDividerIsAPressThere) {
  std::string text;
  for (int i = 0; i < 150; i++) {
    text += "line" + std::to_string(i) + "_" + std::string(300, 'w') + "\r\n";   // one word
  }
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", text));
  OpenMainWindow();
  ASSERT_NE(OpenChangelog(), nullptr);
  const CellGrid& g = g_cell_screen.grid;
  ScrollbarGeometry bar = PaneScrollbar(&g, 0);
  ASSERT_TRUE(bar.shown);
  int v = g.panes[0].rows;
  LPARAM at = MAKELPARAM(bar.left + 1, g.panes[0].top_row * g.cell_height + bar.track_height - 2);
  SendMessageW(Control(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(Control(), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(View()->pane_first[0], v);
  SendMessageW(Control(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(Control(), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(View()->pane_first[0], 2 * v);
  EXPECT_FALSE(View()->selection.active);

  Key('P', true);
  ASSERT_TRUE(View()->IsSplit());
  int divider = View()->PaneTopRow(0) + View()->PaneRows(0);
  int x = 5 * g.cell_width;
  SendMessageW(Control(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, divider * g.cell_height + 1));
  SendMessageW(Control(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 4 * g.cell_height + 1));
  SendMessageW(Control(), WM_LBUTTONUP, 0, MAKELPARAM(x, 4 * g.cell_height + 1));
  EXPECT_TRUE(View()->IsSplit());
  EXPECT_EQ(View()->PaneTopRow(0) + View()->PaneRows(0), 4);
  EXPECT_FALSE(View()->selection.active);
}

TEST_F(ChangelogWindowTest, CtrlWClosesRemembersThePlaceAndTheNextOpeningIsNew) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", CHANGELOG));
  OpenMainWindow();
  HWND dialog = OpenChangelog();
  ASSERT_NE(dialog, nullptr);
  SetWindowPos(dialog, nullptr, 140, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Key('W');   // without Ctrl: nothing
  ASSERT_TRUE(IsWindow(dialog));
  Key('W', true);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(g_app.changelog_window, nullptr);
  EXPECT_EQ(IniValue(g_app.settings_path, "changelog_wnd_x"), "140");
  EXPECT_EQ(IniValue(g_app.settings_path, "changelog_wnd_y"), "90");
  HWND again = OpenChangelog();
  ASSERT_NE(again, nullptr);
  RECT r;
  GetWindowRect(again, &r);
  EXPECT_EQ(r.left, 140);
  EXPECT_EQ(r.top, 90);
  // The close button closes it the same way; Escape does not.
  Key(VK_ESCAPE);
  EXPECT_TRUE(IsWindow(again));
  SendMessageW(again, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(again));
  EXPECT_EQ(g_app.changelog_window, nullptr);
}

TEST_F(ChangelogWindowTest, AMissingFileShowsLineOneOfZeroAndTheMainWindowClosesIt) {
  OpenMainWindow();
  HWND dialog = OpenChangelog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Row(0), folder_ + "changelog.txt");
  EXPECT_NE(BottomRow().find("Line 1/0 [1-0] Col 1 [INS]"), std::string::npos);
  SetWindowPos(dialog, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageA(g_app.main_window->window, WM_COMMAND, CMD_EXIT, 0);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(g_app.changelog_window, nullptr);
  EXPECT_EQ(IniValue(g_app.settings_path, "changelog_wnd_x"), "33");
  EXPECT_EQ(DrainQuit(), 0);
}

TEST_F(ChangelogWindowTest, ASizeChangeRebuildsTheGridAndRedrawsAtOnce) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", CHANGELOG));
  OpenMainWindow();
  ASSERT_NE(OpenChangelog(), nullptr);
  const CellGrid& g = g_cell_screen.grid;
  int columns = g.columns;
  SetWindowPos(Control(), nullptr, 0, 0, 30 * g.cell_width + 3, 12 * g.cell_height + 1,
               SWP_NOMOVE | SWP_NOZORDER);
  // No pumping: the view has drawn during the size change itself.
  EXPECT_EQ(g.rows, 12);
  EXPECT_EQ(g.columns, 30);
  EXPECT_NE(g.columns, columns);
  EXPECT_EQ(Row(1), "Vistrel changelog");
  EXPECT_EQ(Row(0).substr(0, 3), "...");
  EXPECT_NE(BottomRow().find("Line 1/6"), std::string::npos);
  // Never below one row and one column.
  SetWindowPos(Control(), nullptr, 0, 0, 2, 2, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(g.rows, 1);
  EXPECT_EQ(g.columns, 1);
  EXPECT_EQ(g.cells.size(), 1u);
}

TEST_F(ChangelogWindowTest, TheCursorBlinksOnlyWhileTheControlHasTheFocus) {
  ASSERT_TRUE(WriteFileBytes(folder_ + "changelog.txt", CHANGELOG));
  OpenMainWindow();
  ASSERT_NE(OpenChangelog(), nullptr);
  std::vector<int> phases;
  for (int i = 0; i < 4; i++) {
    SendMessageW(Control(), WM_TIMER, TIMER_CURSOR_BLINK, 0);
    phases.push_back(g_cell_screen.blink_phase);
  }
  EXPECT_NE(std::find(phases.begin(), phases.end(), 0), phases.end());
  SetFocus(g_app.main_window->window);
  for (int i = 0; i < 6; i++) {
    SendMessageW(Control(), WM_TIMER, TIMER_CURSOR_BLINK, 0);
    EXPECT_NE(g_cell_screen.blink_phase, 0);
  }
}

TEST(CellScreenKeys, TranslationOfKeyMessages) {
  EXPECT_EQ(KeyCodeForKeyDown(VK_BACK, false, false), 8);
  EXPECT_EQ(KeyCodeForKeyDown(VK_RETURN, false, false), 13);
  EXPECT_EQ(KeyCodeForKeyDown(VK_NEXT, false, false), 4099);
  EXPECT_EQ(KeyCodeForKeyDown(VK_DELETE, true, false), 4105);
  EXPECT_EQ(KeyCodeForKeyDown(VK_F12, false, false), 4117);
  EXPECT_EQ(KeyCodeForKeyDown(VK_CONTROL, true, false), -1);
  EXPECT_EQ(KeyCodeForKeyDown('A', true, false), 1);
  EXPECT_EQ(KeyCodeForKeyDown('Z', true, false), 26);
  EXPECT_EQ(KeyCodeForKeyDown('A', true, true), -1);
  EXPECT_EQ(KeyCodeForKeyDown('A', false, false), -1);
  EXPECT_EQ(KeyCodeForKeyDown(VK_OEM_4, true, false), 27);
  EXPECT_EQ(KeyCodeForKeyDown(VK_OEM_6, true, false), 29);
  // Typed characters come marked, apart from every key code; a character
  // beyond U+FFFF comes as its two surrogates.
  WPARAM pending = 0;
  EXPECT_EQ(KeyCodeForChar('a', &pending), TypedCharacterKey('a'));
  EXPECT_EQ(KeyCodeForChar(0xE9, &pending), TypedCharacterKey(0xE9));
  EXPECT_EQ(KeyCodeForChar(0x20AC, &pending), TypedCharacterKey(0x20AC));
  EXPECT_EQ(KeyCodeForChar(KEY_DOWN, &pending), TypedCharacterKey(0x1000));
  EXPECT_EQ(KeyCodeForChar(31, &pending), -1);
  EXPECT_EQ(KeyCodeForChar(0xD83D, &pending), -1);
  EXPECT_EQ(KeyCodeForChar(0xDE00, &pending), TypedCharacterKey(0x1F600));
  EXPECT_EQ(KeyCodeForChar(0xDE00, &pending), -1);   // a lone low surrogate
}

}  // namespace
