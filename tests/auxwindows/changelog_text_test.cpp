// The Changelog's load rules (byte-order mark, line ends, long lines, tab
// width) and its key filter.
#include "auxwindows/changelog_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "auxwindows/changelog_view.h"
#include "auxwindows/key_codes.h"
#include "text_view_test_support.h"

namespace {

struct Loaded {
  std::vector<std::string> lines;
  int tab_width;
};

Loaded Load(const std::string& bytes) {
  FILE* file = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), file);
  rewind(file);
  TextLines text;
  int tab_width = 2;
  EXPECT_TRUE(LoadTextFile(file, &text, &tab_width));
  fclose(file);
  Loaded loaded;
  for (int i = 0; i < LineCount(text); i++) {
    loaded.lines.push_back(std::string(LineBytes(text, i), LineLength(text, i)));
  }
  loaded.tab_width = tab_width;
  FreeTextLines(&text);
  return loaded;
}

using Lines = std::vector<std::string>;

TEST(ChangelogLoad, LineEndsAndByteOrderMark) {
  EXPECT_EQ(Load("a\r\nb\r\n").lines, (Lines{"a", "b"}));
  EXPECT_EQ(Load("a\nb\n").lines, (Lines{"a", "b"}));
  EXPECT_EQ(Load("a\nb").lines, (Lines{"a", "b"}));
  EXPECT_EQ(Load("a\r\r\n\n\r\nb\r").lines, (Lines{"a", "", "", "b"}));
  EXPECT_EQ(Load("\xEF\xBB\xBFtitle\nnext").lines, (Lines{"title", "next"}));
  EXPECT_EQ(Load("x\n\xEF\xBB\xBFkept").lines, (Lines{"x", "\xEF\xBB\xBFkept"}));
  EXPECT_TRUE(Load("\xEF\xBB\xBF").lines.empty());
  EXPECT_EQ(Load("\xEF\xBB\xBF\n").lines, (Lines{""}));
  EXPECT_TRUE(Load("").lines.empty());
  EXPECT_EQ(Load(std::string("a\0b\n", 4)).lines, (Lines{std::string("a\0b", 3)}));
}

TEST(ChangelogLoad, LinesAcrossReadBlocksAndAnOverlongLineSplit) {
  std::string across(70000, 'q');
  EXPECT_EQ(Load(across + "\n" + across).lines, (Lines{across, across}));
  // An unbroken line is cut at the first whole piece beyond 32 MiB.
  EXPECT_EQ(LINE_SPLIT_LENGTH, 33558525u);
  std::string huge(LINE_SPLIT_LENGTH + 10, 'h');
  Loaded loaded = Load(huge + "\ntail");
  ASSERT_EQ(loaded.lines.size(), 3u);
  EXPECT_EQ(loaded.lines[0].size(), LINE_SPLIT_LENGTH);
  EXPECT_EQ(loaded.lines[1], std::string(10, 'h'));
  EXPECT_EQ(loaded.lines[2], "tail");
  // A line whose feed falls exactly on the cut stays whole.
  std::string exact(LINE_SPLIT_LENGTH - 1, 'e');
  EXPECT_EQ(Load(exact + "\nz").lines.size(), 2u);
}

TEST(ChangelogLoad, TabWidthIsDetectedForTabIndentedFiles) {
  // Tab-indented, the widest space run 3 after the tabs: still the least, 5.
  Loaded loaded = Load("\tone\n   two\n\t\tx\ty\n");
  EXPECT_EQ(loaded.tab_width, 5);
  EXPECT_EQ(loaded.lines, (Lines{"     one", "   two", "          x     y"}));
  EXPECT_EQ(Load("\ta\n      b\n").tab_width, 7);
  EXPECT_EQ(Load("\ta\n\t       b\n").tab_width, 8);
  // More than 7 spaces, or a tab after spaces: abandoned, width 2.
  EXPECT_EQ(Load("\ta\n        b\n").tab_width, 2);
  EXPECT_EQ(Load("\ta\n  \tb\n").tab_width, 2);
  EXPECT_EQ(Load("\ta\n  \tb\n").lines, (Lines{"  a", "    b"}));
  // Not indented with tabs: width 2 wherever the tabs stand.
  Loaded plain = Load("a\tb\n   c\n");
  EXPECT_EQ(plain.tab_width, 2);
  EXPECT_EQ(plain.lines, (Lines{"a  b", "   c"}));
}

TEST(ChangelogLoad, TheViewShowsTheFileFromItsFirstLine) {
  char path[] = "/tmp/changelog_view_testXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  FILE* file = fdopen(fd, "wb");
  fputs("\xEF\xBB\xBF" "Vistrel changelog\r\n\r\n\tfirst entry\r\n", file);
  fclose(file);
  CellGrid grid;
  ResizeGrid(&grid, 10, 40);
  FakePlatform platform;
  TextView view(&grid, &platform);
  view.Load(path);
  view.Draw();
  view.PlaceCursor(false, -1);
  EXPECT_EQ(RowTrimmed(grid, 1), "Vistrel changelog");
  EXPECT_EQ(RowTrimmed(grid, 3), "     first entry");
  EXPECT_EQ(view.tab_width, 5);
  EXPECT_NE(RowTrimmed(grid, 9).find("Line 1/3 [1-3]"), std::string::npos);
  remove(path);
  // A missing file leaves the view empty, its path on the title row.
  TextView missing(&grid, &platform);
  missing.Load("/nonexistent/changelog.txt");
  missing.Draw();
  missing.PlaceCursor(false, -1);
  EXPECT_EQ(RowTrimmed(grid, 0), "/nonexistent/changelog.txt");
  EXPECT_NE(RowTrimmed(grid, 9).find("Line 1/0"), std::string::npos);
}

// 100 MB of random bytes (NUL, stray and invalid sequences, CR, rare line
// feeds, lines of megabytes): loading, drawing, moving and searching finish,
// and the lines take memory in proportion to the file.
TEST(ChangelogLoad, AHostileHundredMegabyteFileIsSafe) {
  const size_t size = 100u * 1024 * 1024;
  std::string bytes(size, '\0');
  uint32_t seed = 7;
  for (size_t i = 0; i < size; i++) {
    seed = seed * 1664525u + 1013904223u;
    unsigned char b = static_cast<unsigned char>(seed >> 24);
    if (b == '\n' && (seed & 0xFF00) != 0) b = 'x';   // a feed about every 64 KB
    bytes[i] = static_cast<char>(b);
  }
  FILE* file = tmpfile();
  ASSERT_EQ(fwrite(bytes.data(), 1, size, file), size);
  rewind(file);
  CellGrid grid;
  ResizeGrid(&grid, 30, 75);
  FakePlatform platform;
  TextView view(&grid, &platform);
  ASSERT_TRUE(LoadTextFile(file, &view.text, &view.tab_width));
  fclose(file);
  std::string().swap(bytes);
  EXPECT_GT(LineCount(view.text), 100);
  EXPECT_LE(TextLinesMemory(&view.text), 3 * size);
  view.Draw();
  view.PlaceCursor(false, -1);
  platform.ctrl = true;
  view.HandleKey(KEY_END);
  view.HandleKey(KEY_RIGHT);
  view.HandleKey(KEY_LEFT);
  platform.ctrl = false;
  view.HandleKey(KEY_END);
  view.HandleKey(KEY_PPAGE);
  for (int mode : {0, 3, 4}) {
    g_search_mode = mode;
    view.search_text = "\x01\x02\x03 \x04\x05";
    view.Search(true);
    EXPECT_NE(RowTrimmed(grid, 29).find("not found"), std::string::npos);
    view.HandleKey(KEY_CTRL_L);
  }
  g_search_mode = 0;
}

// Many short lines cost little more than their bytes: a file of nothing but
// line feeds once took 32 bytes and list growth per line.
TEST(ChangelogLoad, LinesTakeAtMostAboutThreeTimesTheFile) {
  const size_t size = 16u << 20;
  struct Case {
    const char* name;
    std::string unit;
  };
  const Case cases[] = {{"line feeds", "\n"}, {"CR LF", "\r\n"}, {"one byte", "x\n"},
                        {"words", "a line of a changelog\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes;
    while (bytes.size() + c.unit.size() <= size) bytes += c.unit;
    FILE* file = tmpfile();
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    rewind(file);
    TextLines text;
    int tab_width = 2;
    ASSERT_TRUE(LoadTextFile(file, &text, &tab_width));
    fclose(file);
    int lines = static_cast<int>(bytes.size() / c.unit.size());
    ASSERT_EQ(LineCount(text), lines);
    EXPECT_LE(TextLinesMemory(&text), 3 * bytes.size());
    std::string last = c.unit.substr(0, c.unit.find_first_of("\r\n"));
    EXPECT_EQ(std::string(LineBytes(text, lines - 1), LineLength(text, lines - 1)), last);
    EXPECT_EQ(std::string(LineBytes(text, lines / 2), LineLength(text, lines / 2)), last);
    FreeTextLines(&text);
  }
}

TEST(ChangelogKeyFilter, PassesViewingKeysAndCtrlKeysOnlyWithCtrlHeld) {
  for (int key : {KEY_ESCAPE, KEY_CTRL_L, KEY_DOWN, KEY_UP, KEY_PPAGE, KEY_NPAGE, KEY_RIGHT,
                  KEY_LEFT, KEY_HOME, KEY_END, KEY_F1, KEY_F3, KEY_F12}) {
    EXPECT_TRUE(ChangelogKeyPasses(key, false)) << key;
  }
  for (int key : {KEY_CTRL_C, KEY_CTRL_F, KEY_CTRL_G, KEY_CTRL_O, KEY_CTRL_P}) {
    EXPECT_TRUE(ChangelogKeyPasses(key, true)) << key;
    EXPECT_FALSE(ChangelogKeyPasses(key, false)) << key;
  }
  for (int key : {TypedCharacterKey('a'), TypedCharacterKey(' '), TypedCharacterKey(0x20AC),
                  KEY_TYPED_CHARACTER + KEY_DOWN, int('a'), KEY_ENTER, KEY_TAB, KEY_BACKSPACE, KEY_IC, KEY_DC, 1, KEY_CTRL_V, 24,
                  26, 25, 19, KEY_CTRL_R, KEY_CTRL_J, KEY_CTRL_W, KEY_CTRL_CLOSE_BRACKET}) {
    EXPECT_FALSE(ChangelogKeyPasses(key, true)) << key;
  }
}

struct CloseCount {
  int closes = 0;
};

void CountClose(void* context) {
  static_cast<CloseCount*>(context)->closes++;
}

TEST(ChangelogKeyFilter, TheTextCannotChangeAndTheFindPromptTakesEveryKey) {
  CellGrid grid;
  ResizeGrid(&grid, 10, 60);
  FakePlatform platform;
  CloseCount count;
  ChangelogView view(&grid, &platform, CountClose, &count);
  SetLines(&view, {"alpha", "beta"});
  view.Draw();
  view.PlaceCursor(false, -1);
  for (int key : {TypedCharacterKey('x'), int('x'), KEY_ENTER, KEY_DC, KEY_BACKSPACE, KEY_TAB, KEY_CTRL_V, 24, 26}) {
    platform.ctrl = key < 32;
    EXPECT_EQ(view.HandleKey(key), 0);
  }
  platform.ctrl = false;
  EXPECT_EQ(RowTrimmed(grid, 1), "alpha");
  EXPECT_EQ(view.cursor.column, 0);
  // Ctrl+F counts only with Ctrl still held.
  view.HandleKey(KEY_CTRL_F);
  EXPECT_EQ(view.mode, MODE_NORMAL);
  platform.ctrl = true;
  view.HandleKey(KEY_CTRL_F);
  platform.ctrl = false;
  EXPECT_EQ(view.mode, MODE_FIND);
  for (char c : std::string("beta")) view.HandleKey(TypedCharacterKey(c));
  view.HandleKey(KEY_ENTER);
  EXPECT_EQ(view.cursor.line, 1);
  EXPECT_EQ(view.SelectedText(), "beta");
  // The replace prompt opens and closes, nothing else.
  platform.ctrl = true;
  view.HandleKey(KEY_CTRL_F);
  view.HandleKey(KEY_CTRL_R);
  EXPECT_EQ(view.mode, MODE_REPLACE);
  view.HandleKey(TypedCharacterKey('z'));
  view.HandleKey(KEY_ENTER);
  EXPECT_EQ(view.mode, MODE_REPLACE);
  platform.ctrl = false;
  view.HandleKey(KEY_ESCAPE);
  EXPECT_EQ(view.mode, MODE_NORMAL);
  EXPECT_EQ(RowTrimmed(grid, 2), "beta");
  // Ctrl+W closes the window (only with Ctrl held) and stops the run.
  EXPECT_EQ(view.HandleKey(KEY_CTRL_W), 0);
  EXPECT_EQ(count.closes, 0);
  platform.ctrl = true;
  EXPECT_NE(view.HandleKey(KEY_CTRL_W), 0);
  EXPECT_EQ(count.closes, 1);
}

struct DeletingClose {
  ChangelogView* view = nullptr;
};

void DeleteView(void* context) {
  DeletingClose* closing = static_cast<DeletingClose*>(context);
  delete closing->view;
  closing->view = nullptr;
}

TEST(ChangelogKeyFilter, TheRunStopsWhenCtrlWDeletesTheView) {
  CellGrid grid;
  ResizeGrid(&grid, 10, 60);
  FakePlatform platform;
  platform.ctrl = true;
  DeletingClose closing;
  closing.view = new ChangelogView(&grid, &platform, DeleteView, &closing);
  PushKey(&grid, KEY_CTRL_W);
  PushKey(&grid, KEY_DOWN);
  RunTextView(closing.view);
  EXPECT_EQ(closing.view, nullptr);
  EXPECT_EQ(grid.key_count, 1);
  EXPECT_EQ(grid.resize_handler, nullptr);
}

}  // namespace
