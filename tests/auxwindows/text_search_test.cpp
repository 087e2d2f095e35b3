// Searching: the six modes within a line, and the view's search forward and
// backward with wrapping, its messages and the shortened search text.
#include "auxwindows/text_search.h"

#include <gtest/gtest.h>

#include "auxwindows/key_codes.h"
#include "auxwindows/text_view.h"
#include "text_view_test_support.h"

namespace {

struct Found {
  bool found;
  size_t start, end;
};

Found Match(int mode, const std::string& needle, const std::string& line, size_t from,
            bool forward = true) {
  LineMatch m = {0, 0};
  bool found = MatchInLine(mode, needle, line.data(), line.size(), from, forward, &m);
  return {found, m.start, m.end};
}

bool operator==(const Found& a, const Found& b) {
  return a.found == b.found && (!a.found || (a.start == b.start && a.end == b.end));
}
std::ostream& operator<<(std::ostream& out, const Found& f) {
  return out << (f.found ? "found " : "none ") << f.start << "-" << f.end;
}
const Found NONE = {false, 0, 0};

TEST(SearchModes, SubstringIgnoresCaseOnlyInEvenModes) {
  EXPECT_EQ(Match(0, "abc", "xxABCabc", 0), (Found{true, 2, 5}));
  EXPECT_EQ(Match(1, "abc", "xxABCabc", 0), (Found{true, 5, 8}));
  EXPECT_EQ(Match(0, "abc", "xxABCabc", 3), (Found{true, 5, 8}));
  EXPECT_EQ(Match(1, "ABC", "xxABCabc", 3), NONE);
  // Backward: the last match starting at or before the column.
  EXPECT_EQ(Match(0, "abc", "xxABCabc", 5, false), (Found{true, 5, 8}));
  EXPECT_EQ(Match(0, "abc", "xxABCabc", 4, false), (Found{true, 2, 5}));
  EXPECT_EQ(Match(0, "abc", "xxABCabc", 1, false), NONE);
  // Only ASCII letters change case.
  EXPECT_EQ(Match(0, "\xC3\xA9", "\xC3\x89", 0), NONE);
}

TEST(SearchModes, WordMatchNeedsNoLetterOrDigitAround) {
  EXPECT_EQ(Match(2, "cat", "concat cat1 _cat_ Cat.", 0), (Found{true, 13, 16}));
  EXPECT_EQ(Match(3, "cat", "concat cat1 _cat_ Cat.", 14), NONE);
  EXPECT_EQ(Match(2, "cat", "concat cat1 _cat_ Cat.", 14), (Found{true, 18, 21}));
  EXPECT_EQ(Match(2, "cat", "concat cat1 _cat_ Cat.", 30, false), (Found{true, 18, 21}));
}

TEST(SearchModes, TokenMatchStartsAtATokenOrItsFirstDot) {
  EXPECT_EQ(Match(4, "bar baz", "foo.bar baz", 0), (Found{true, 4, 11}));
  EXPECT_EQ(Match(4, "bar  \tbaz", "x  foo.bar\t\tbaz qux", 0), (Found{true, 7, 15}));
  EXPECT_EQ(Match(4, ".bar baz", "foo.bar baz", 0), (Found{true, 3, 11}));
  EXPECT_EQ(Match(4, "foo.bar", "foo.bar baz", 0), (Found{true, 0, 7}));
  // Tokens must match whole: no partial tokens, no second dot.
  EXPECT_EQ(Match(4, "ba baz", "foo.bar baz", 0), NONE);
  EXPECT_EQ(Match(4, "bar ba", "foo.bar baz", 0), NONE);
  EXPECT_EQ(Match(4, "c", "a.b.c", 0), NONE);
  EXPECT_EQ(Match(4, "oo.bar", "foo.bar", 0), NONE);
  // Case.
  EXPECT_EQ(Match(4, "BAR", "foo.bar", 0), (Found{true, 4, 7}));
  EXPECT_EQ(Match(5, "BAR", "foo.bar", 0), NONE);
  // Backward takes the last start at or before the column.
  EXPECT_EQ(Match(4, "a", "a a a", 3, false), (Found{true, 2, 3}));
  EXPECT_EQ(Match(4, "a", "a a a", 5, false), (Found{true, 4, 5}));
  // Nothing to look for.
  EXPECT_EQ(Match(4, " \t ", "a b", 0), NONE);
}

// Near misses that once cost a comparison of the whole search text at every
// position: each mode reads the line once, and still finds what is there.
TEST(SearchModes, NearMissesOnALongLineAndOverlappingMatches) {
  std::string line(4u << 20, 'a');
  std::string near(10000, 'a');
  near += 'b';
  std::string tokens;
  for (int i = 0; i < 1000000; i++) tokens += "a ";
  std::string near_tokens;
  for (int i = 0; i < 5000; i++) near_tokens += "a ";
  near_tokens += "b";
  for (int mode = 0; mode < SEARCH_MODE_COUNT; mode++) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(Match(mode, near, line, 0), NONE);
    EXPECT_EQ(Match(mode, near, line, line.size(), false), NONE);
    EXPECT_EQ(Match(mode, near_tokens, tokens, 0), NONE);
    EXPECT_EQ(Match(mode, near_tokens, tokens, tokens.size(), false), NONE);
  }
  EXPECT_EQ(Match(1, near.substr(0, 10000), line, 5), (Found{true, 5, 10005}));
  EXPECT_EQ(Match(0, near.substr(0, 10000), line, line.size(), false),
            (Found{true, line.size() - 10000, line.size()}));
  EXPECT_EQ(Match(4, near_tokens.substr(0, 9), tokens, 3), (Found{true, 4, 13}));
  // Matches that overlap a failed one.
  EXPECT_EQ(Match(0, "aab", "aaab", 0), (Found{true, 1, 4}));
  EXPECT_EQ(Match(0, "abab", "ababab", 1), (Found{true, 2, 6}));
  EXPECT_EQ(Match(2, "aa", "aaa aa", 0), (Found{true, 4, 6}));
  EXPECT_EQ(Match(0, "AbA", "xabababa", 7, false), (Found{true, 5, 8}));
  EXPECT_EQ(Match(4, "a a", "a a a", 5, false), (Found{true, 2, 5}));
  EXPECT_EQ(Match(4, "x.y z", "w.x.y z", 0), (Found{true, 2, 7}));   // after the first dot
  EXPECT_EQ(Match(4, "x.y z", "x.y.x.y z", 0), NONE);   // not after a later dot
  EXPECT_EQ(Match(4, "y z", "x.y.x.y z", 0), NONE);
  EXPECT_EQ(Match(4, ".y.x.y z", "x.y.x.y z", 0), (Found{true, 1, 9}));
}

class ViewSearchTest : public ::testing::Test {
 protected:
  void Open(const std::vector<std::string>& lines) {
    ResizeGrid(&grid, 12, 100);
    SetLines(&view, lines);
    view.cursor = {0, 0};
    view.selection.active = false;
    view.Draw();
    view.PlaceCursor(false, -1);
  }
  void Find(const std::string& text, int mode) {
    g_search_mode = mode;
    view.HandleKey(KEY_CTRL_F);
    for (uint32_t c : Characters(text)) view.HandleKey(TypedCharacterKey(c));
    view.HandleKey(KEY_ENTER);
  }
  void Next(bool backward = false) {
    platform.shift = backward;
    view.HandleKey(KEY_F3);
    platform.shift = false;
  }
  std::string Bottom() { return RowTrimmed(grid, grid.rows - 1); }
  int At() { return view.cursor.line * 100 + view.cursor.column; }
  void TearDown() override { g_search_mode = 0; }

  CellGrid grid;
  FakePlatform platform;
  TextView view{&grid, &platform};
};

TEST_F(ViewSearchTest, EveryModeForwardAndBackwardWithWrap) {
  const std::vector<std::string> lines = {"Foo foo", "x.foo bar", "food", "FOO"};
  struct Case {
    int mode;
    std::vector<int> forward;    // cursor after each search from the start
    std::vector<int> backward;   // then each backward search
  };
  const Case cases[] = {
      {0, {4, 102, 200, 300, 0}, {300, 200, 102, 4}},
      {1, {4, 102, 200, 4}, {200, 102, 4, 200}},
      {2, {4, 102, 300, 0}, {300, 102, 4, 0}},
      {3, {4, 102, 4}, {102, 4, 102}},
      {4, {4, 102, 300, 0}, {300, 102, 4, 0}},
      {5, {4, 102, 4}, {102, 4, 102}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    Open(lines);
    Find("foo", c.mode);
    std::vector<int> forward = {At()};
    for (size_t i = 1; i < c.forward.size(); i++) {
      view.HandleKey(KEY_CTRL_G);
      forward.push_back(At());
    }
    EXPECT_EQ(forward, c.forward);
    std::vector<int> backward;
    for (size_t i = 0; i < c.backward.size(); i++) {
      Next(true);
      backward.push_back(At());
    }
    EXPECT_EQ(backward, c.backward);
  }
}

TEST_F(ViewSearchTest, TheOnlyMatchAtTheCursorIsFoundAgainAfterWrapping) {
  Open({"one", "two needle", "three"});
  Find("needle", 0);
  EXPECT_EQ(Bottom(), "Found @ Line 2 Col 5 'needle' (Shift+)F3|Ctrl+G:(prev)next");
  Next();
  EXPECT_EQ(At(), 104);
  EXPECT_EQ(Bottom(), "Found @ Line 2 Col 5 (wrapped) 'needle' (Shift+)F3|Ctrl+G:(prev)next");
  Next(true);
  EXPECT_EQ(At(), 104);
  EXPECT_NE(Bottom().find("(wrapped) 'needle'"), std::string::npos);
  EXPECT_EQ(view.SelectedText(), "needle");
}

TEST_F(ViewSearchTest, NotFoundAndLongSearchTextsShortened) {
  Open({"abc"});
  Find("zzz", 0);
  EXPECT_EQ(Bottom(), "substring 'zzz' not found");
  std::string long_text = "0123456789abcdefghijKLMNOPQRSTUVWXYZ-----the end";
  Find(long_text, 3);
  EXPECT_EQ(Bottom(), "WordMatch '0123456789abcdefghi...TUVWXYZ-----the end' not found");
  EXPECT_EQ(view.cursor.line, 0);
  EXPECT_EQ(view.cursor.column, 0);
}

TEST_F(ViewSearchTest, AMatchFarRightScrollsToShowItsEndAndAQuarterScreen) {
  std::string line(300, '.');
  line.replace(250, 4, "mark");
  Open({"start", line});
  Find("mark", 0);
  // end column 254 + 100 / 4 = 279 must be visible in 97 columns: 279 - 97 + 1.
  EXPECT_EQ(view.horizontal_scroll, 183);
  EXPECT_EQ(AttributeAt(grid, 2, 250 - 183), ATTR_SELECTION);
  EXPECT_EQ(RowText(grid, 2).substr(250 - 183, 4), "mark");
}

TEST_F(ViewSearchTest, AnEmptyTextFindsNothing) {
  Open({});
  Find("x", 0);
  EXPECT_EQ(Bottom(), "substring 'x' not found");
}

}  // namespace
