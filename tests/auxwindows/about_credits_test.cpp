// The credits table, the arithmetic of the roll and the fade, and the
// licence text's size rule.
#include "auxwindows/about_credits.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "auxwindows/license_text.h"

namespace {

std::vector<std::string> Rows() {
  return AboutCreditRows({"2.5", "Dec  7 2026 13:14:35", std::string(40, 'a'), "help@example.org"});
}

}  // namespace

TEST(AboutCredits, TableHasItsFixedRowsAndBlanks) {
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), static_cast<size_t>(ABOUT_ROW_COUNT));
  EXPECT_EQ(AboutBlankRows(rows), (std::vector<int>{4, 7, 10, 32, 45, 58, 62, 66, 69, 77, 80}));
  const std::pair<int, const char*> fixed[] = {
      {0, "Vistrel"}, {1, "Version: 2.5 (x64)"}, {2, "Build timestamp: Dec  7 2026 13:14:35"},
      {5, "Developed by:"}, {6, "The Vistrel developers"}, {11, "libpng:"}, {33, "jpeglib:"},
      {44, "Independent JPEG Group"}, {46, "giflib:"}, {59, "zlib:"}, {63, "Windows installer:"},
      {64, "Nullsoft Scriptable Install System (NSIS)"}, {65, "Compressor | ZLIB"},
      {67, "Windows portable:"}, {68, "Archive format | ZIP"},
      {70, "Vistrel wishes to thank the following"}, {71, "for their assistance:"}, {75, "and"},
      {78, "Contact | email:"}, {79, "help@example.org"}, {81, "Vistrel"}};
  for (const auto& row : fixed) EXPECT_EQ(rows[row.first], row.second) << "row " << row.first;
  EXPECT_EQ(rows[3], "Git commit: " + std::string(40, 'a'));
  EXPECT_EQ(rows[8].back(), ':');
  EXPECT_NE(rows[82].find("The Vistrel developers"), std::string::npos);
}

TEST(AboutCredits, RowsStandWhereTheRollPutsThem) {
  std::vector<std::string> rows = Rows();
  std::vector<int> tops;
  AboutRowTops(rows, 80, 0, &tops);
  EXPECT_EQ(tops[0], 194);
  EXPECT_EQ(tops[1], 210);
  EXPECT_EQ(tops[2], 226);
  EXPECT_EQ(tops[5], 242 + 32 + 16);                // 16 per row, 32 per blank
  EXPECT_EQ(tops[81], tops[79] + 150 + 32);         // the last blank is 150 tall
  EXPECT_EQ(tops[82], 1832);
  EXPECT_TRUE(IsAboutRowDrawn(tops[1]));
  EXPECT_FALSE(IsAboutRowDrawn(tops[2]));
  EXPECT_TRUE(IsAboutRowDrawn(-16));
  EXPECT_FALSE(IsAboutRowDrawn(-17));
  AboutRowTops(rows, 80, 100, &tops);
  EXPECT_EQ(tops[0], 94);
  EXPECT_EQ(AboutScrollLimit(1832, 18), 1727 + 18);
  EXPECT_EQ(AboutRowLeft(307, 101), 257);           // centring truncates toward zero
  EXPECT_EQ(AboutRowLeft(0, 3), -1);
}

TEST(AboutCredits, RollThenFadeThenStartAgainFromBelow) {
  AboutAnimation a;
  a.scroll_limit = 2;
  for (int i = 0; i < 3; ++i) AdvanceAboutAnimation(&a);
  EXPECT_EQ(a.scroll_offset, 3);                    // rolled while at or below the limit
  std::vector<int> levels;
  while (a.scroll_offset == 3 && levels.size() < 200) {
    AdvanceAboutAnimation(&a);
    levels.push_back(a.fade_level);
  }
  ASSERT_EQ(levels.size(), 35u + 11u);              // 254 ... 220 by 1, 200 ... 20 by 20, restart
  EXPECT_EQ(levels[0], 254);
  EXPECT_EQ(levels[34], 220);
  EXPECT_EQ(levels[35], 200);
  EXPECT_EQ(levels[44], 20);
  EXPECT_EQ(levels[45], 255);
  EXPECT_EQ(a.scroll_offset, -32);
  EXPECT_EQ(a.scroll_limit, 2);
}

TEST(AboutCredits, ControlShowsTheNamesInGreek) {
  std::vector<std::string> rows = Rows();
  std::string scratch;
  EXPECT_EQ(AboutRowText(rows[0], true, &scratch), "\xCE\x92\xCE\xAF\xCF\x83\xCF\x84\xCF\x81\xCE\xB5\xCE\xBB");
  EXPECT_EQ(AboutRowText(rows[6], true, &scratch), ABOUT_DEVELOPER_NAME_GREEK);
  EXPECT_EQ(AboutRowText(rows[81], true, &scratch), ABOUT_PROGRAM_NAME_GREEK);
  EXPECT_EQ(AboutRowText(rows[82], true, &scratch), rows[82]);
  EXPECT_EQ(AboutRowText(rows[0], false, &scratch), "Vistrel");
}

TEST(LicenseTextSize, FileMustFitAnIntWithItsTerminator) {
  EXPECT_EQ(LicenseTextBufferSize(0), 1);
  EXPECT_EQ(LicenseTextBufferSize(INT_MAX - 1), INT_MAX);
  EXPECT_EQ(LicenseTextBufferSize(INT_MAX), -1);
  EXPECT_EQ(LicenseTextBufferSize(int64_t{5} << 30), -1);
  EXPECT_EQ(LicenseTextBufferSize(-1), -1);
}
