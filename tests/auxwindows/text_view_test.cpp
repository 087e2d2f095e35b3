// The text view driven by key codes and mouse events, its grid read back as
// text and attributes: rows, status, title, panes, movement, selection,
// copying, prompts and messages.
#include "auxwindows/text_view.h"

#include <gtest/gtest.h>

#include "auxwindows/key_codes.h"
#include "text_view_test_support.h"

namespace {

class TextViewTest : public ::testing::Test {
 protected:
  void Open(const std::vector<std::string>& lines, int rows = 42, int columns = 80) {
    ResizeGrid(&grid, rows, columns);
    grid.client_width = columns * grid.cell_width;
    grid.client_height = rows * grid.cell_height;
    view.path = "C:\\Program Files\\Vistrel\\changelog.txt";
    view.cursor = {0, 0};
    SetLines(&view, lines);
    view.Draw();
    view.PlaceCursor(false, -1);
  }
  void Keys(std::initializer_list<int> keys) {
    for (int key : keys) view.HandleKey(key);
  }
  void Ctrl(int key) {
    platform.ctrl = true;
    view.HandleKey(key);
    platform.ctrl = false;
  }
  void Shift(int key) {
    platform.shift = true;
    view.HandleKey(key);
    platform.shift = false;
  }
  // Typed characters, given as UTF-8.
  void Type(const std::string& text) {
    for (uint32_t c : Characters(text)) view.HandleKey(TypedCharacterKey(c));
  }
  std::string Bottom() { return RowTrimmed(grid, grid.rows - 1); }
  void Mouse(MouseKind kind, int row, int column, bool shift = false) {
    MouseEvent event = {kind, column * grid.cell_width + 1, row * grid.cell_height + 1, shift,
                        kind == MOUSE_MOVE, 0};
    view.HandleMouse(event);
  }

  CellGrid grid;
  FakePlatform platform;
  TextView view{&grid, &platform};
};

TEST_F(TextViewTest, StatusOfShortAndLongTextsAtTheStart) {
  Open(NumberedLines(10));
  EXPECT_EQ(view.StatusText(), "Line 1/10 [1-10] Col 1 [INS]");
  std::string status = "Line 1/10 [1-10] Col 1 [INS]";
  EXPECT_EQ(RowText(grid, 41).substr(80 - status.size() - 1), status + " ");
  Open(NumberedLines(100));
  EXPECT_EQ(view.StatusText(), "Line 1/100 [1-41] Col 1 [INS]");
}

TEST_F(TextViewTest, AnEmptyTextShowsLineOneOfZero) {
  Open({});
  EXPECT_NE(Bottom().find("Line 1/0 [1-0] Col 1 [INS]"), std::string::npos);
}

TEST_F(TextViewTest, RowsTitleAndBottomInTheirAttributes) {
  Open({"first", "second"});
  EXPECT_EQ(RowTrimmed(grid, 0), "C:\\Program Files\\Vistrel\\changelog.txt");
  EXPECT_EQ(AttributeAt(grid, 0, 0), ATTR_TITLE_PATH);
  EXPECT_EQ(AttributeAt(grid, 0, 79), ATTR_TITLE_REST);
  EXPECT_EQ(RowTrimmed(grid, 1), "first");
  EXPECT_EQ(RowTrimmed(grid, 2), "second");
  EXPECT_EQ(RowTrimmed(grid, 3), "");
  EXPECT_EQ(AttributeAt(grid, 1, 0), ATTR_TEXT);
  // Hints with their hotkey letters.
  EXPECT_EQ(Bottom().substr(0, 25), "Ctrl+(Pane Find/Replace )");
  EXPECT_EQ(AttributeAt(grid, 41, 0), ATTR_BAR);
  EXPECT_EQ(AttributeAt(grid, 41, 6), ATTR_BAR_HOTKEY);   // P
  EXPECT_EQ(AttributeAt(grid, 41, 7), ATTR_BAR);
  EXPECT_EQ(AttributeAt(grid, 41, 11), ATTR_BAR_HOTKEY);  // F
  EXPECT_EQ(AttributeAt(grid, 41, 16), ATTR_BAR_HOTKEY);  // R
  EXPECT_EQ(AttributeAt(grid, 41, 40), ATTR_BAR);
}

TEST_F(TextViewTest, ALongPathShowsItsEndAfterThreeDots) {
  Open({"x"}, 10, 20);
  view.path = "C:\\a\\very\\long\\folder\\changelog.txt";
  view.Draw();
  // 20 columns: "..." and the last 15 characters.
  EXPECT_EQ(RowTrimmed(grid, 0), "...r\\changelog.txt");
  view.path = "C:\\short\\1234567.tx";   // 19 characters fit in 19 columns
  view.Draw();
  EXPECT_EQ(RowTrimmed(grid, 0), "C:\\short\\1234567.tx");
  view.path = "C:\\short\\12345678.tx";   // 20 do not
  view.Draw();
  EXPECT_EQ(RowTrimmed(grid, 0), "...ort\\12345678.tx");
}

TEST_F(TextViewTest, AShorterStatusBlanksTheRestOfTheLonger) {
  std::vector<std::string> lines = NumberedLines(120);
  lines[99] = std::string(30, 'x');
  Open(lines);
  for (int i = 0; i < 99; i++) Keys({KEY_DOWN});
  Keys({KEY_END});
  EXPECT_EQ(view.StatusText(), "Line 100/120 [61-101] Col 31 [INS]");
  Keys({KEY_HOME});
  std::string status = "Line 100/120 [61-101] Col 1 [INS]";
  EXPECT_EQ(RowText(grid, 41).substr(80 - status.size() - 2), " " + status + " ");
  EXPECT_EQ(AttributeAt(grid, 41, 80 - static_cast<int>(status.size()) - 2), ATTR_BAR);
}

TEST_F(TextViewTest, PageDownAndPageUpFollowTheirRules) {
  Open(NumberedLines(100), 12, 40);   // 10 text rows
  Keys({KEY_NPAGE});
  EXPECT_EQ(view.cursor.line, 9);   // to the last visible line
  EXPECT_EQ(view.pane_first[0], 0);
  Keys({KEY_NPAGE});   // on the last line: first visible = cursor - 1
  EXPECT_EQ(view.pane_first[0], 8);
  EXPECT_EQ(view.cursor.line, 17);
  EXPECT_EQ(RowTrimmed(grid, 1), "line 9");
  Keys({KEY_PPAGE});   // to the first visible line
  EXPECT_EQ(view.cursor.line, 8);
  EXPECT_EQ(view.pane_first[0], 8);
  Keys({KEY_PPAGE});   // already there: a page up, not below 0
  EXPECT_EQ(view.pane_first[0], 0);
  EXPECT_EQ(view.cursor.line, 0);
  // Not beyond the last line.
  for (int i = 0; i < 20; i++) Keys({KEY_NPAGE});
  EXPECT_EQ(view.cursor.line, 99);
  EXPECT_EQ(view.StatusText(), "Line 100/100 [97-100] Col 1 [INS]");
}

// Panes of one, two and three rows: every page key moves the cursor at least
// one line its way while there is one, and never the other way.
TEST_F(TextViewTest, PageKeysMoveInPanesOfOneTwoAndThreeRows) {
  for (int pane_rows : {1, 2, 3}) {
    SCOPED_TRACE("pane rows " + std::to_string(pane_rows));
    Open(NumberedLines(7), pane_rows + 2, 40);
    std::vector<int> down, up;
    for (int i = 0; i < 8; i++) {
      int before = view.cursor.line;
      Keys({KEY_NPAGE});
      EXPECT_GE(view.cursor.line, before);
      if (before < 6) {
        EXPECT_GT(view.cursor.line, before);
      }
      down.push_back(view.cursor.line);
      EXPECT_GE(view.cursor.line, view.pane_first[0]);   // still in view
      EXPECT_LT(view.cursor.line, view.pane_first[0] + pane_rows);
    }
    for (int i = 0; i < 8; i++) {
      int before = view.cursor.line;
      Keys({KEY_PPAGE});
      EXPECT_LE(view.cursor.line, before);
      if (before > 0) {
        EXPECT_LT(view.cursor.line, before);
      }
      up.push_back(view.cursor.line);
      EXPECT_GE(view.cursor.line, view.pane_first[0]);
      EXPECT_LT(view.cursor.line, view.pane_first[0] + pane_rows);
    }
    // Three rows keep the written rule: last visible line, then first
    // visible = cursor - 1.
    if (pane_rows == 3) {
      EXPECT_EQ(down, (std::vector<int>{2, 3, 4, 5, 6, 6, 6, 6}));
      EXPECT_EQ(up, (std::vector<int>{5, 2, 0, 0, 0, 0, 0, 0}));
    }
    if (pane_rows == 1) {
      EXPECT_EQ(down, (std::vector<int>{1, 2, 3, 4, 5, 6, 6, 6}));
    }
  }
  // The cursor scrolled out above the pane by the wheel: Page Up still moves up.
  Open(NumberedLines(40), 7, 40);   // 5 text rows
  Keys({KEY_DOWN, KEY_DOWN, KEY_DOWN});
  MouseEvent wheel = {MOUSE_WHEEL, 10, 20, false, false, -240};
  view.HandleMouse(wheel);
  ASSERT_EQ(view.pane_first[0], 12);
  Keys({KEY_PPAGE});
  EXPECT_EQ(view.cursor.line, 0);
}

TEST_F(TextViewTest, CtrlUpAndDownScrollAndPullTheCursorAlong) {
  Open(NumberedLines(12), 7, 40);   // 5 text rows
  for (int i = 0; i < 20; i++) Ctrl(KEY_DOWN);
  EXPECT_EQ(view.pane_first[0], 10);   // while first < 12 - 5 + 3
  EXPECT_EQ(view.cursor.line, 10);
  Ctrl(KEY_UP);
  Ctrl(KEY_UP);
  Ctrl(KEY_UP);
  Ctrl(KEY_UP);
  Ctrl(KEY_UP);
  Ctrl(KEY_UP);
  EXPECT_EQ(view.pane_first[0], 4);
  EXPECT_EQ(view.cursor.line, 8);
}

TEST_F(TextViewTest, LeftAndRightCrossLineEndsAndStopAtTheTextEnds) {
  Open({"ab", "c"});
  Keys({KEY_LEFT});
  EXPECT_EQ(view.cursor.line, 0);
  EXPECT_EQ(view.cursor.column, 0);
  Keys({KEY_RIGHT, KEY_RIGHT, KEY_RIGHT});
  EXPECT_EQ(view.cursor.line, 1);
  EXPECT_EQ(view.cursor.column, 0);
  Keys({KEY_RIGHT, KEY_RIGHT});
  EXPECT_EQ(view.cursor.column, 1);
  Keys({KEY_LEFT, KEY_LEFT});
  EXPECT_EQ(view.cursor.line, 0);
  EXPECT_EQ(view.cursor.column, 2);
}

TEST_F(TextViewTest, CtrlRightAndLeftStepByByteClasses) {
  Open({"  foo_1;; x.y \xC3\xA9t\xC3\xA9", "next"});
  std::vector<int> stops;
  for (int i = 0; i < 7; i++) {
    Ctrl(KEY_RIGHT);
    stops.push_back(view.cursor.line * 100 + view.cursor.column);
  }
  // from a blank: foo_1 | ;; | x | . | y | é (its bytes are "other") | t
  EXPECT_EQ(stops, (std::vector<int>{2, 7, 10, 11, 12, 14, 15}));
  Keys({KEY_END});
  Ctrl(KEY_RIGHT);
  EXPECT_EQ(view.cursor.line, 1);
  EXPECT_EQ(view.cursor.column, 0);
  Ctrl(KEY_LEFT);
  EXPECT_EQ(view.cursor.line, 0);
  EXPECT_EQ(view.cursor.column, 16);   // the final "é"
  Ctrl(KEY_LEFT);
  EXPECT_EQ(view.cursor.column, 15);
  Ctrl(KEY_LEFT);
  Ctrl(KEY_LEFT);
  EXPECT_EQ(view.cursor.column, 12);   // "y"
  Keys({KEY_HOME});
  EXPECT_EQ(view.cursor.column, 2);
  Ctrl(KEY_LEFT);
  EXPECT_EQ(view.cursor.column, 0);
}

TEST_F(TextViewTest, HomeEndAndTheDesiredColumn) {
  Open({"   indented", "", "a longer line here"});
  Keys({KEY_END});
  EXPECT_EQ(view.cursor.column, 11);
  Keys({KEY_HOME});
  EXPECT_EQ(view.cursor.column, 3);
  Keys({KEY_HOME});
  EXPECT_EQ(view.cursor.column, 0);
  Keys({KEY_HOME});
  EXPECT_EQ(view.cursor.column, 3);
  Keys({KEY_END, KEY_DOWN});
  EXPECT_EQ(view.cursor.column, 0);
  Keys({KEY_DOWN});
  EXPECT_EQ(view.cursor.column, 11);   // the wanted column comes back
  Ctrl(KEY_END);
  EXPECT_EQ(view.cursor.column, 18);
  Ctrl(KEY_HOME);
  EXPECT_EQ(view.cursor.line, 0);
  EXPECT_EQ(view.cursor.column, 0);
}

TEST_F(TextViewTest, ShiftSelectsAndTheHighlightCoversCharactersOnly) {
  Open({"abcdef", "", "ghi"});
  Keys({KEY_RIGHT});
  Shift(KEY_RIGHT);
  Shift(KEY_RIGHT);
  EXPECT_EQ(RowTrimmed(grid, 1), "abcdef");
  EXPECT_EQ(AttributeAt(grid, 1, 0), ATTR_TEXT);
  EXPECT_EQ(AttributeAt(grid, 1, 1), ATTR_SELECTION);
  EXPECT_EQ(AttributeAt(grid, 1, 2), ATTR_SELECTION);
  EXPECT_EQ(AttributeAt(grid, 1, 3), ATTR_TEXT);
  EXPECT_EQ(Bottom().substr(0, 47), "SELECTING  ESC:cancel Ctrl+(Copy X:cut V:paste)");
  EXPECT_EQ(AttributeAt(grid, 41, 28), ATTR_BAR_HOTKEY);   // C
  // Down to the empty line: the selection ends at its column 0.
  Shift(KEY_DOWN);
  EXPECT_EQ(AttributeAt(grid, 1, 5), ATTR_SELECTION);
  EXPECT_EQ(AttributeAt(grid, 1, 6), ATTR_TEXT);   // no highlight past the line's end
  EXPECT_EQ(AttributeAt(grid, 2, 0), ATTR_SELECTION);
  EXPECT_EQ(AttributeAt(grid, 2, 1), ATTR_TEXT);
  Shift(KEY_DOWN);
  EXPECT_EQ(AttributeAt(grid, 2, 0), ATTR_TEXT);   // an empty line inside: nothing to cover
  EXPECT_EQ(AttributeAt(grid, 3, 2), ATTR_SELECTION);   // the wanted column 3 came back
  EXPECT_EQ(AttributeAt(grid, 3, 3), ATTR_TEXT);
  // Without Shift, Up jumps to the selection's start.
  Keys({KEY_UP});
  EXPECT_FALSE(view.selection.active);
  EXPECT_EQ(view.cursor.line, 0);
  EXPECT_EQ(view.cursor.column, 1);
  EXPECT_EQ(AttributeAt(grid, 1, 1), ATTR_TEXT);
}

TEST_F(TextViewTest, EscapeDropsTheSelectionButNotWithShiftOrAlt) {
  Open({"abc"});
  Shift(KEY_END);
  platform.alt = true;
  Keys({KEY_ESCAPE});
  platform.alt = false;
  EXPECT_TRUE(view.selection.active);
  Shift(KEY_ESCAPE);
  EXPECT_TRUE(view.selection.active);
  Keys({KEY_ESCAPE});
  EXPECT_FALSE(view.selection.active);
}

TEST_F(TextViewTest, CopyJoinsLinesWithCrLfAndReportsItsBytes) {
  Open({"h\xC3\xA9llo", "world", "!"});
  Keys({KEY_CTRL_C});
  EXPECT_EQ(Bottom(), "No selection");
  EXPECT_EQ(AttributeAt(grid, 41, 0), ATTR_MESSAGE);
  EXPECT_EQ(AttributeAt(grid, 41, 79), ATTR_MESSAGE);
  EXPECT_EQ(platform.clipboard, "(untouched)");
  Keys({KEY_RIGHT});   // the message goes with the next key, which still moves
  EXPECT_EQ(view.cursor.column, 1);
  EXPECT_NE(Bottom().find("Line 1/3"), std::string::npos);
  Shift(KEY_DOWN);
  Shift(KEY_END);
  Keys({KEY_CTRL_C});
  EXPECT_EQ(platform.clipboard, "\xC3\xA9llo\r\nworld");
  EXPECT_EQ(Bottom(), "Copied 12 bytes");
  EXPECT_TRUE(view.selection.active);
  // With Shift or Alt Ctrl+C does nothing.
  platform.clipboard = "";
  Shift(KEY_CTRL_C);
  EXPECT_EQ(platform.clipboard, "");
}

// The clipboard gets what the cells show: a stray byte as its Latin-1
// character, a NUL and other control characters as blanks; the message
// counts the selection's bytes.
TEST_F(TextViewTest, CopyPutsTheShownCharactersOnTheClipboard) {
  Open({std::string("a\xE9\0b\x01\xE2\x82\xAC\xF8\x88\x80\x80\x80z", 14), "next"});
  Shift(KEY_END);
  Keys({KEY_CTRL_C});
  EXPECT_EQ(platform.clipboard, "a\xC3\xA9 b \xE2\x82\xAC_z");
  EXPECT_EQ(Bottom(), "Copied 14 bytes");
  // A clipboard that refuses: no message of copying.
  platform.refuse_clipboard = true;
  Shift(KEY_DOWN);
  Keys({KEY_CTRL_C});
  EXPECT_EQ(Bottom().find("Copied"), std::string::npos);
}

TEST_F(TextViewTest, MessagesAreCutToTheWidthLessTwo) {
  Open({"abc"}, 10, 12);
  view.ShowMessage("0123456789ABCDEF");
  EXPECT_EQ(RowText(grid, 9), "0123456789  ");
  EXPECT_EQ(view.mode, MODE_MESSAGE);
}

TEST_F(TextViewTest, TwoPanesSplitTheRowsAndCarryTheStatusOnTheDivider) {
  Open(NumberedLines(100), 42, 80);
  Keys({KEY_CTRL_P});
  ASSERT_TRUE(view.IsSplit());
  // trunc((42 - 3) * 0.5) = 19 rows above, the divider on row 20, 20 below.
  EXPECT_EQ(view.PaneRows(0), 19);
  EXPECT_EQ(view.PaneRows(1), 20);
  EXPECT_EQ(RowTrimmed(grid, 19), "line 19");
  EXPECT_EQ(RowTrimmed(grid, 21), "line 1");
  EXPECT_NE(RowText(grid, 20).find("Upper pane: Line 1/100 [1-20] Col 1 [INS]"),
            std::string::npos);
  EXPECT_EQ(Bottom().substr(0, 45), "Ctrl+(Otherpane noPanes Find/Replace )");
  Keys({KEY_CTRL_O});
  EXPECT_EQ(view.active_pane, 1);
  for (int i = 0; i < 30; i++) Keys({KEY_DOWN});
  EXPECT_EQ(view.pane_first[1], 11);
  EXPECT_EQ(view.pane_first[0], 0);
  EXPECT_NE(RowText(grid, 20).find("Lower pane: Line 31/100 [12-32]"), std::string::npos);
  // Back to one pane: the upper pane takes the lower one's scroll.
  Keys({KEY_CTRL_P});
  EXPECT_FALSE(view.IsSplit());
  EXPECT_EQ(view.pane_first[0], 11);
  EXPECT_EQ(RowTrimmed(grid, 1), "line 12");
  // Ctrl+O with one pane splits first.
  Keys({KEY_CTRL_O});
  EXPECT_TRUE(view.IsSplit());
  EXPECT_EQ(view.active_pane, 1);
}

TEST_F(TextViewTest, TheDividerFollowsTheMouseAndAtAnEdgeLeavesOnePane) {
  Open(NumberedLines(100), 42, 80);
  Keys({KEY_CTRL_P});
  Mouse(MOUSE_LEFT_DOWN, 20, 5);   // the divider row
  Mouse(MOUSE_MOVE, 30, 5);
  EXPECT_EQ(view.PaneRows(0), 29);
  EXPECT_NE(RowText(grid, 30).find("Upper pane:"), std::string::npos);
  Mouse(MOUSE_MOVE, 8, 5);
  EXPECT_EQ(view.PaneRows(0), 7);
  Mouse(MOUSE_MOVE, 0, 5);
  EXPECT_FALSE(view.IsSplit());
  Mouse(MOUSE_LEFT_UP, 0, 5);
  // Switching panes brings the cursor into the newly active pane's lines.
  Keys({KEY_CTRL_O});
  for (int i = 0; i < 10; i++) Ctrl(KEY_DOWN);
  EXPECT_EQ(view.cursor.line, 10);
  Keys({KEY_CTRL_O});
  EXPECT_EQ(view.active_pane, 0);
  EXPECT_EQ(view.cursor.line, 10);   // still within lines 1 to 19 of the upper pane
  Keys({KEY_CTRL_O});
  for (int i = 0; i < 40; i++) Ctrl(KEY_DOWN);
  Keys({KEY_CTRL_O});
  EXPECT_EQ(view.cursor.line, 18);   // the upper pane's last visible line
}

TEST_F(TextViewTest, FindPromptTakesTheSelectionAndTypedText) {
  Open({"alpha beta gamma"}, 42, 80);
  Shift(KEY_RIGHT);
  Shift(KEY_RIGHT);
  Keys({KEY_CTRL_F});
  EXPECT_EQ(view.mode, MODE_FIND);
  EXPECT_EQ(Bottom(), "Find substring (Up/Down:mode Ctrl+R:replace ESC:cancel): al");
  EXPECT_EQ(AttributeAt(grid, 41, 0), ATTR_MESSAGE);
  Type("ga");   // the first typed character replaces the offered text
  EXPECT_EQ(view.search_text, "ga");
  Keys({KEY_BACKSPACE});
  EXPECT_EQ(view.search_text, "g");
  Keys({KEY_DOWN, KEY_DOWN});
  EXPECT_EQ(Bottom(), "Find wordmatch (Up/Down:mode Ctrl+R:replace ESC:cancel): g");
  Keys({KEY_UP, KEY_UP, KEY_UP});
  EXPECT_EQ(Bottom(), "Find TokenMatch (Up/Down:mode Ctrl+R:replace ESC:cancel): g");
  Keys({KEY_DOWN});
  // Clipboard text: its first line is appended.
  platform.clipboard = "amma\r\nsecond";
  Keys({KEY_CTRL_V});
  EXPECT_EQ(view.search_text, "gamma");
  Keys({1, 9});   // other control characters are ignored
  EXPECT_EQ(view.search_text, "gamma");
  Keys({KEY_CTRL_R});
  EXPECT_EQ(view.mode, MODE_REPLACE);
  EXPECT_EQ(Bottom(), "Replace all (substring) 'gamma':");
  Keys({KEY_CTRL_F});
  EXPECT_EQ(view.mode, MODE_FIND);
  Keys({KEY_ENTER});
  EXPECT_EQ(view.mode, MODE_MESSAGE);
  EXPECT_EQ(view.cursor.column, 11);
  EXPECT_EQ(Bottom(), "Found @ Line 1 Col 12 'gamma' (Shift+)F3|Ctrl+G:(prev)next");
  EXPECT_EQ(AttributeAt(grid, 1, 11), ATTR_SELECTION);
  EXPECT_EQ(AttributeAt(grid, 1, 15), ATTR_SELECTION);
  EXPECT_EQ(AttributeAt(grid, 1, 10), ATTR_TEXT);
}

// Typed characters of every kind reach the prompt, none taken for a key:
// U+1000 and up were once read as key codes.
TEST_F(TextViewTest, TypedCharactersAboveU0FFFAreSearchedForAndFound) {
  const std::string words[] = {"\xE2\x82\xAC", "\xE2\x80\xA6", "\xE6\xBC\xA2",
                               "\xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1", "\xE1\x80\x80",
                               "\xF0\x9F\x98\x80"};
  Open({"price 5 \xE2\x82\xAC, wait\xE2\x80\xA6", "\xE6\xBC\xA2\xE5\xAD\x97 and \xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1",
        "\xE1\x80\x80 \xF0\x9F\x98\x80"});
  const int found_at[] = {8, 15, 100, 107, 200, 202};
  for (size_t i = 0; i < 6; i++) {
    SCOPED_TRACE(i);
    Ctrl(KEY_HOME);
    Keys({KEY_CTRL_F});
    Type("x");   // replaced by the first typed character below
    Keys({KEY_BACKSPACE});
    Type(words[i]);
    EXPECT_EQ(view.search_text, words[i]);
    Keys({KEY_ENTER});
    EXPECT_EQ(view.cursor.line * 100 + view.cursor.column, found_at[i]);
    EXPECT_EQ(view.SelectedText(), words[i]);
  }
  // Key codes never come out as characters, nor characters as keys.
  Keys({KEY_CTRL_F});
  Keys({KEY_TYPED_CHARACTER + KEY_DOWN});
  EXPECT_EQ(view.search_text, "\xE1\x80\x80");
  EXPECT_EQ(g_search_mode, 0);
  Keys({KEY_DOWN});
  EXPECT_EQ(g_search_mode, 1);
  Keys({KEY_UP, KEY_ESCAPE});
}

// Ctrl+F3 is a document switch, Ctrl+Esc is Ctrl+[ (one document: nothing);
// Ctrl+Shift+F and Ctrl+Alt+G do nothing; Shift+F3 searches backward.
TEST_F(TextViewTest, ModifiersOfTheKeyTableAreChecked) {
  Open({"one two", "two one", "one"});
  view.search_text = "one";
  Shift(KEY_END);
  platform.ctrl = true;
  Keys({KEY_F3, KEY_ESCAPE});
  platform.shift = true;
  Keys({KEY_CTRL_F, KEY_F3});
  platform.shift = false;
  platform.alt = true;
  Keys({KEY_CTRL_G});
  platform.alt = false;
  platform.ctrl = false;
  EXPECT_EQ(view.mode, MODE_NORMAL);
  EXPECT_TRUE(view.selection.active);
  EXPECT_EQ(view.cursor.column, 7);
  EXPECT_EQ(view.SelectedText(), "one two");
  Keys({KEY_F3});
  EXPECT_EQ(view.cursor.line * 100 + view.cursor.column, 104);
  Shift(KEY_F3);
  EXPECT_EQ(view.cursor.line * 100 + view.cursor.column, 0);
  Ctrl(KEY_CTRL_G);
  EXPECT_EQ(view.cursor.line * 100 + view.cursor.column, 104);
}

TEST_F(TextViewTest, PromptHelpDependsOnTheWidth) {
  Open({"x"}, 10, 70);
  Keys({KEY_CTRL_F});
  EXPECT_EQ(Bottom(), "Find substring(U/D:mode Ctrl+R:repl):");
  Keys({KEY_ESCAPE});
  EXPECT_EQ(view.mode, MODE_NORMAL);
  Open({"x"}, 10, 40);
  Keys({KEY_CTRL_F});
  EXPECT_EQ(Bottom(), "Find substring:");
  // Ctrl+R with no search text leaves the prompt.
  Keys({KEY_CTRL_R});
  EXPECT_EQ(view.mode, MODE_NORMAL);
  // Ctrl+G without a search text opens the prompt.
  Keys({KEY_CTRL_G});
  EXPECT_EQ(view.mode, MODE_FIND);
  Keys({KEY_CTRL_F});
  EXPECT_EQ(view.mode, MODE_NORMAL);
}

TEST_F(TextViewTest, ClickMovesTheCursorAndShiftClickSelects) {
  Open({"first line", "second line", "third"});
  Mouse(MOUSE_LEFT_DOWN, 2, 3);
  EXPECT_EQ(view.cursor.line, 1);
  EXPECT_EQ(view.cursor.column, 3);
  Mouse(MOUSE_LEFT_UP, 2, 3);
  Mouse(MOUSE_LEFT_DOWN, 3, 40, true);   // beyond the line: clamped
  EXPECT_EQ(view.cursor.line, 2);
  EXPECT_EQ(view.cursor.column, 5);
  EXPECT_TRUE(view.selection.active);
  EXPECT_EQ(AttributeAt(grid, 2, 3), ATTR_SELECTION);
  EXPECT_EQ(AttributeAt(grid, 3, 4), ATTR_SELECTION);
  Mouse(MOUSE_LEFT_UP, 3, 40);
  // Dragging selects once the mouse leaves the pressed cell.
  Mouse(MOUSE_LEFT_DOWN, 1, 0);
  EXPECT_FALSE(view.selection.active);
  Mouse(MOUSE_MOVE, 1, 0);
  EXPECT_FALSE(view.selection.active);
  Mouse(MOUSE_MOVE, 1, 5);
  EXPECT_TRUE(view.selection.active);
  EXPECT_EQ(view.SelectedText(), "first");
  Mouse(MOUSE_LEFT_UP, 1, 5);
}

// Beyond a short line's end the cells differ though the clamped positions do
// not; dragging past the right edge scrolls, and what shows follows.
TEST_F(TextViewTest, DraggingBeyondAShortLineSelectsAndScrollingRedraws) {
  std::string long_line(100, 'x');
  long_line.replace(60, 4, "mark");
  Open({"ab", long_line}, 10, 40);
  Mouse(MOUSE_LEFT_DOWN, 1, 10);
  EXPECT_EQ(view.cursor.column, 2);
  Mouse(MOUSE_MOVE, 1, 10);
  EXPECT_FALSE(view.selection.active);
  Mouse(MOUSE_MOVE, 1, 12);
  EXPECT_TRUE(view.selection.active);
  EXPECT_EQ(Bottom().substr(0, 9), "SELECTING");
  Mouse(MOUSE_LEFT_UP, 1, 12);
  // On the long line, drag past the right edge until "mark" shows.
  Mouse(MOUSE_LEFT_DOWN, 2, 30);
  for (int i = 0; i < 40 && view.horizontal_scroll < 30; i++) {
    MouseEvent past = {MOUSE_MOVE, 40 * grid.cell_width + 5, 2 * grid.cell_height + 1, false,
                       true, 0};
    view.HandleMouse(past);
  }
  ASSERT_GE(view.horizontal_scroll, 30);
  std::string shown = RowText(grid, 2);
  EXPECT_EQ(shown.substr(60 - view.horizontal_scroll, 4), "mark");
  Mouse(MOUSE_LEFT_UP, 2, 30);
}

TEST_F(TextViewTest, DoubleClickOpensAddressesOfTenBytesAndSelectsWordsOtherwise) {
  Open({"see http://a.b/c?d=1 (http://x.y) or \"http://abc\" and http://ab",
        "xhttp://abcdefgh.org here"});
  Mouse(MOUSE_LEFT_DOUBLE, 1, 10);
  ASSERT_EQ(platform.opened.size(), 1u);
  EXPECT_EQ(platform.opened[0], "http://a.b/c?d=1");
  Mouse(MOUSE_LEFT_DOUBLE, 1, 25);   // inside "(http://x.y)": 10 bytes
  ASSERT_EQ(platform.opened.size(), 2u);
  EXPECT_EQ(platform.opened[1], "http://x.y");
  Mouse(MOUSE_LEFT_DOUBLE, 1, 62);   // "http://ab": 9 bytes, a word is selected
  EXPECT_EQ(platform.opened.size(), 2u);
  EXPECT_EQ(view.SelectedText(), "ab");
  Mouse(MOUSE_LEFT_DOUBLE, 1, 40);   // "http://abc" inside quotes: 10 bytes
  ASSERT_EQ(platform.opened.size(), 3u);
  EXPECT_EQ(platform.opened[2], "http://abc");
  Mouse(MOUSE_LEFT_DOUBLE, 2, 3);    // preceded by a letter: a word
  EXPECT_EQ(platform.opened.size(), 3u);
  EXPECT_EQ(view.SelectedText(), "xhttp");
}

TEST_F(TextViewTest, WheelScrollsSixLinesANotchWithinItsLimits) {
  Open(NumberedLines(30), 12, 40);   // 10 text rows
  MouseEvent wheel = {MOUSE_WHEEL, 10, 40, false, false, -120};
  view.HandleMouse(wheel);
  EXPECT_EQ(view.pane_first[0], 6);
  view.HandleMouse(wheel);
  view.HandleMouse(wheel);
  view.HandleMouse(wheel);
  EXPECT_EQ(view.pane_first[0], 24);   // 30 - 10 + 4
  EXPECT_EQ(RowTrimmed(grid, 1), "line 25");
  wheel.wheel_delta = 360;
  view.HandleMouse(wheel);
  view.HandleMouse(wheel);
  EXPECT_EQ(view.pane_first[0], 0);
}

TEST_F(TextViewTest, ScrollbarClicksPageAndTheThumbDrags) {
  Open(NumberedLines(100), 12, 40);
  grid.cell_width = 8;
  grid.cell_height = 16;
  grid.client_width = 40 * 8;
  view.Draw();
  ScrollbarGeometry bar = PaneScrollbar(&grid, 0);
  ASSERT_TRUE(bar.shown);
  int x = bar.left + 1;
  MouseEvent press = {MOUSE_LEFT_DOWN, x, 16 + bar.thumb_height + 5, false, false, 0};
  view.HandleMouse(press);   // below the thumb: a page down
  EXPECT_EQ(view.pane_first[0], 10);
  bar = PaneScrollbar(&grid, 0);
  press.y = 16 + bar.thumb_offset + 1;   // on the thumb: drag it to the bottom
  view.HandleMouse(press);
  MouseEvent drag = {MOUSE_MOVE, x, 16 + 160 + 50, false, true, 0};
  view.HandleMouse(drag);
  EXPECT_EQ(view.pane_first[0], 90);
  view.HandleMouse({MOUSE_LEFT_UP, x, 0, false, false, 0});
  press.y = 16 + 1;   // above the thumb: a page up
  view.HandleMouse(press);
  EXPECT_EQ(view.pane_first[0], 80);
}

TEST_F(TextViewTest, ASizeChangeRedrawsAtOnce) {
  Open(NumberedLines(5), 10, 40);
  ResizeGrid(&grid, 20, 60);
  ASSERT_TRUE(grid.resize_handler);
  grid.resize_handler(grid.resize_context);
  EXPECT_EQ(RowTrimmed(grid, 1), "line 1");
  EXPECT_NE(RowText(grid, 19).find("Line 1/5 [1-5]"), std::string::npos);
  EXPECT_EQ(RowText(grid, 19).size(), 60u);
}

TEST_F(TextViewTest, HostileLinesDrawAndMoveWithoutTrouble) {
  std::string huge(3 * 1024 * 1024, 'a');
  huge[2 * 1024 * 1024] = '\0';
  std::string broken = "\xFF\xFE\xC3\x28\xF8\x88\x80\x80\x80\xE2\x82";
  Open({huge, broken});
  Ctrl(KEY_END);
  EXPECT_EQ(view.cursor.line, 1);
  EXPECT_EQ(RowTrimmed(grid, 2).size() > 0, true);
  Keys({KEY_UP, KEY_END});
  EXPECT_EQ(view.cursor.column, 3 * 1024 * 1024);
  EXPECT_EQ(view.horizontal_scroll, 3 * 1024 * 1024 - 77 + 1);
  Keys({KEY_DOWN});
  EXPECT_EQ(view.cursor.column, 7);   // FF FE C3 ( _ E2 82: 7 characters
}

}  // namespace
