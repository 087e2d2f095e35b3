// The cell grid under the text viewer: UTF-8 decoding into cells, the key
// queue, size changes and the scrollbar figures.
#include "auxwindows/cell_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint16_t> Written(const std::string& bytes, int columns = 20) {
  CellGrid grid;
  ResizeGrid(&grid, 1, columns);
  WriteGridText(&grid, bytes.data(), bytes.size());
  std::vector<uint16_t> cells;
  for (int c = 0; c < grid.cursor_column; c++) cells.push_back(GridCell(&grid, 0, c).character);
  return cells;
}

TEST(CellGridText, DecodesSequencesAndShowsStrayBytesByValue) {
  EXPECT_EQ(Written("a\xC3\xA9\xE2\x82\xAC"), (std::vector<uint16_t>{'a', 0xE9, 0x20AC}));
  // Overlong forms are not characters: each byte shows by its value.
  EXPECT_EQ(Written("\xC0\xAF"), (std::vector<uint16_t>{0xC0, 0xAF}));
  EXPECT_EQ(Written("\xE0\x80\xAF"), (std::vector<uint16_t>{0xE0, 0x80, 0xAF}));
  // Five- and six-byte sequences show as "_".
  EXPECT_EQ(Written("\xF8\x88\x80\x80\x80x"), (std::vector<uint16_t>{'_', 'x'}));
  EXPECT_EQ(Written("\xFC\x84\x80\x80\x80\x80"), (std::vector<uint16_t>{'_'}));
  // A truncated sequence at the end.
  EXPECT_EQ(Written("\xE2\x82"), (std::vector<uint16_t>{0xE2, 0x82}));
  // Beyond U+FFFF a cell shows one character.
  EXPECT_EQ(Written("\xF0\x9F\x98\x80"), (std::vector<uint16_t>{0xFFFD}));
  // A NUL byte is a blank cell.
  EXPECT_EQ(Written(std::string("a\0b", 3)), (std::vector<uint16_t>{'a', 0, 'b'}));
}

TEST(CellGridText, WritingStopsAtTheRowEndAndClearingUsesItsAttribute) {
  CellGrid grid;
  ResizeGrid(&grid, 2, 4);
  grid.drawing_attribute = 5;
  WriteGridString(&grid, "abcdef");
  EXPECT_EQ(grid.cursor_column, 4);
  EXPECT_EQ(GridCell(&grid, 0, 3).character, 'd');
  EXPECT_EQ(GridCell(&grid, 1, 0).character, 0);
  MoveGridCursor(&grid, 0, 2);
  grid.clearing_attribute = 7;
  ClearToRowEnd(&grid);
  EXPECT_EQ(GridCell(&grid, 0, 1).attribute, 5);
  EXPECT_EQ(GridCell(&grid, 0, 2).character, 0);
  EXPECT_EQ(GridCell(&grid, 0, 3).attribute, 7);
}

struct Marks {
  int count = 0;
  int row = -1, column = -1, rows = 0, columns = 0;
};

void Mark(void* context, int row, int column, int rows, int columns) {
  Marks* marks = static_cast<Marks*>(context);
  marks->count++;
  marks->row = row;
  marks->column = column;
  marks->rows = rows;
  marks->columns = columns;
}

TEST(CellGridRepaint, MarksOnlyWrittenCellsAndOnceForAFullRedraw) {
  CellGrid grid;
  Marks marks;
  grid.invalidate = Mark;
  grid.invalidate_context = &marks;
  ResizeGrid(&grid, 3, 10);
  MoveGridCursor(&grid, 1, 2);
  WriteGridString(&grid, "abc");
  EXPECT_EQ(marks.count, 1);
  EXPECT_EQ(marks.row, 1);
  EXPECT_EQ(marks.column, 2);
  EXPECT_EQ(marks.columns, 3);
  BeginFullRedraw(&grid);
  WriteGridString(&grid, "def");
  ClearToRowEnd(&grid);
  EXPECT_EQ(marks.count, 1);
  EndFullRedraw(&grid);
  EXPECT_EQ(marks.count, 2);
  EXPECT_EQ(marks.rows, 3);
  EXPECT_EQ(marks.columns, 10);
}

TEST(CellGridSize, RebuildsBlankAndNeverBelowOne) {
  CellGrid grid;
  ResizeGrid(&grid, 5, 5);
  WriteGridString(&grid, "x");
  MoveGridCursor(&grid, 3, 3);
  ResizeGrid(&grid, 0, -4);
  EXPECT_EQ(grid.rows, 1);
  EXPECT_EQ(grid.columns, 1);
  EXPECT_EQ(grid.cells.size(), 1u);
  EXPECT_EQ(GridCell(&grid, 0, 0).character, 0);
  EXPECT_EQ(grid.cursor_row, 0);
  EXPECT_EQ(grid.cursor_column, 0);
}

TEST(CellGridKeys, SixtyFourKeysAreKeptAndTheOldestDropped) {
  CellGrid grid;
  EXPECT_EQ(ReadKey(&grid), -1);
  for (int k = 1; k <= 70; k++) PushKey(&grid, k);
  EXPECT_EQ(grid.key_count, 64);
  EXPECT_EQ(ReadKey(&grid), 7);   // 1 ... 6 are lost
  int last = 0;
  for (int key; (key = ReadKey(&grid)) >= 0;) last = key;
  EXPECT_EQ(last, 70);
}

TEST(CellGridKeys, APendingRepaintAsksForARedrawOnce) {
  CellGrid grid;
  Marks marks;
  grid.invalidate = Mark;
  grid.invalidate_context = &marks;
  grid.repaint_pending = true;
  PushKey(&grid, 'a');
  EXPECT_EQ(ReadKey(&grid), 'a');
  EXPECT_EQ(ReadKey(&grid), 12);
  EXPECT_EQ(marks.count, 1);
  EXPECT_EQ(ReadKey(&grid), -1);
}

TEST(CellGridScrollbar, ThumbFollowsTheFormulas) {
  CellGrid grid;
  ResizeGrid(&grid, 42, 75);
  grid.cell_width = 8;
  grid.cell_height = 16;
  grid.client_width = 75 * 8 + 5;   // 5 spare pixels: at least half a cell
  grid.line_count = 1000;
  grid.panes[0] = {1, 40, 0};
  ScrollbarGeometry bar = PaneScrollbar(&grid, 0);
  ASSERT_TRUE(bar.shown);
  EXPECT_EQ(bar.width, 8);   // 5 * 2 >= 8: one cell
  EXPECT_EQ(bar.track_height, 640);
  EXPECT_EQ(bar.thumb_height, 25);   // 40 * 40 * 16 / 1000 = 25.6
  EXPECT_EQ(bar.thumb_offset, 0);
  grid.panes[0].first_line = 960;
  EXPECT_EQ(PaneScrollbar(&grid, 0).thumb_offset, 615);
  grid.panes[0].first_line = 480;
  EXPECT_EQ(PaneScrollbar(&grid, 0).thumb_offset, 307);   // 615 * 480 / 960
  grid.panes[0].first_line = 5000;   // beyond: limited
  EXPECT_EQ(PaneScrollbar(&grid, 0).thumb_offset, 615);
  // Never below one cell; two cells wide with little spare width.
  grid.line_count = 100000;
  grid.client_width = 75 * 8 + 3;
  bar = PaneScrollbar(&grid, 0);
  EXPECT_EQ(bar.thumb_height, 16);
  EXPECT_EQ(bar.width, 16);
  EXPECT_EQ(bar.left, 75 * 8 + 3 - 16);
  // No bar when everything is visible or the pane is empty.
  grid.line_count = 40;
  EXPECT_FALSE(PaneScrollbar(&grid, 0).shown);
  grid.line_count = 100;
  grid.panes[1] = {0, 0, 0};
  EXPECT_FALSE(PaneScrollbar(&grid, 1).shown);
}

}  // namespace
