// The credits table and the arithmetic of the roll and the fade.
#include "auxwindows/about_credits.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "auxwindows/license_text.h"

namespace {

std::vector<std::string> Rows() {
  AboutBuildFacts facts;
  facts.build_timestamp = "Dec 07 2026 13:14:35";
  facts.commit_id = std::string(40, 'a');
  facts.support_address = "help@example.org";
  return AboutCreditRows(facts);
}

}  // namespace

TEST(AboutCredits, TableHasItsFixedRowsAndBlanks) {
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), static_cast<size_t>(ABOUT_ROW_COUNT));
  EXPECT_EQ(AboutBlankRows(rows), (std::vector<int>{4, 7, 10, 32, 45, 58, 62, 66, 69, 77, 80}));
  EXPECT_EQ(rows[0], "Vistrel");
  EXPECT_EQ(rows[1], "Version: 1.11 (x64)");
  EXPECT_EQ(rows[2], "Build timestamp: Dec 07 2026 13:14:35");
  EXPECT_EQ(rows[3], "Git commit: " + std::string(40, 'a'));
  EXPECT_EQ(rows[5], "Developed by:");
  EXPECT_EQ(rows[6], ABOUT_DEVELOPER_NAME);
  EXPECT_EQ(rows[8].back(), ':');
  EXPECT_EQ(rows[11], "libpng:");
  EXPECT_EQ(rows[33], "jpeglib:");
  EXPECT_EQ(rows[44], "Independent JPEG Group");
  EXPECT_EQ(rows[46], "giflib:");
  EXPECT_EQ(rows[59], "zlib:");
  EXPECT_EQ(rows[60], "Jean-loup Gailly");
  EXPECT_EQ(rows[61], "Mark Adler");
  EXPECT_EQ(rows[63], "Windows installer:");
  EXPECT_EQ(rows[64], "Nullsoft Scriptable Install System (NSIS)");
  EXPECT_EQ(rows[65], "Compressor | ZLIB");
  EXPECT_EQ(rows[67], "Windows portable:");
  EXPECT_EQ(rows[68], "Archive format | ZIP");
  EXPECT_EQ(rows[70], "Vistrel wishes to thank the following");
  EXPECT_EQ(rows[71], "for their assistance:");
  EXPECT_EQ(rows[75], "and");
  EXPECT_EQ(rows[78], "Contact | email:");
  EXPECT_EQ(rows[79], "help@example.org");
  EXPECT_EQ(rows[81], "Vistrel");
  EXPECT_NE(rows[82].find("The Vistrel developers"), std::string::npos);
  // Every author row of a library names a different entry.
  std::set<std::string> png(rows.begin() + 12, rows.begin() + 32);
  EXPECT_EQ(png.size(), 20u);
  std::set<std::string> jpeg(rows.begin() + 34, rows.begin() + 44);
  EXPECT_EQ(jpeg.size(), 10u);
}

TEST(AboutCredits, RowsStandWhereTheRollPutsThem) {
  std::vector<std::string> rows = Rows();
  std::vector<int> tops;
  AboutRowTops(rows, 80, 0, &tops);
  EXPECT_EQ(tops[0], 194);
  EXPECT_EQ(tops[1], 210);
  EXPECT_EQ(tops[2], 226);
  EXPECT_EQ(tops[5], 242 + 32 + 16);   // 16 per row, 32 per blank
  EXPECT_EQ(tops[79], tops[78] + 16);
  EXPECT_EQ(tops[81], tops[79] + 150 + 32);          // the last blank is 150 tall
  EXPECT_EQ(tops[82], 1832);
  // The first frame draws rows 0 and 1 only.
  EXPECT_TRUE(IsAboutRowDrawn(tops[0]));
  EXPECT_TRUE(IsAboutRowDrawn(tops[1]));
  EXPECT_FALSE(IsAboutRowDrawn(tops[2]));
  EXPECT_TRUE(IsAboutRowDrawn(-16));
  EXPECT_FALSE(IsAboutRowDrawn(-17));
  AboutRowTops(rows, 80, 100, &tops);
  EXPECT_EQ(tops[0], 94);
  // The limit: row 82's top at offset 0 plus its height, less 105.
  EXPECT_EQ(AboutScrollLimit(1832, 18), 1727 + 18);
  // Centring truncates toward zero.
  EXPECT_EQ(AboutRowLeft(307, 101), 257);
  EXPECT_EQ(AboutRowLeft(0, 3), -1);
}

TEST(AboutCredits, RollThenFadeThenStartAgainFromBelow) {
  AboutAnimation a;
  a.scroll_limit = 2;
  a.limit_pending = false;
  AdvanceAboutAnimation(&a);
  AdvanceAboutAnimation(&a);
  AdvanceAboutAnimation(&a);
  EXPECT_EQ(a.scroll_offset, 3);   // rolled while at or below the limit
  EXPECT_EQ(a.fade_level, 255);
  std::vector<int> levels;
  for (int i = 0; i < 200 && a.scroll_offset == 3; ++i) {
    AdvanceAboutAnimation(&a);
    levels.push_back(a.fade_level);
  }
  // 35 steps of 1 down to 220, then 200, 180, ..., 20, then the restart.
  ASSERT_EQ(levels.size(), 35u + 11u);
  EXPECT_EQ(levels[0], 254);
  EXPECT_EQ(levels[34], 220);
  EXPECT_EQ(levels[35], 200);
  EXPECT_EQ(levels[44], 20);
  EXPECT_EQ(levels[45], 255);
  EXPECT_EQ(a.scroll_offset, -32);
  EXPECT_EQ(a.scroll_limit, 2);
  AdvanceAboutAnimation(&a);
  EXPECT_EQ(a.scroll_offset, -31);
}

TEST(AboutCredits, ControlShowsTheNamesInGreek) {
  std::vector<std::string> rows = Rows();
  std::string scratch;
  EXPECT_EQ(AboutRowText(rows[0], true, &scratch), "\xCE\x92\xCE\xAF\xCF\x83\xCF\x84\xCF\x81\xCE\xB5\xCE\xBB");
  EXPECT_EQ(AboutRowText(rows[6], true, &scratch), ABOUT_DEVELOPER_NAME_GREEK);
  EXPECT_EQ(AboutRowText(rows[81], true, &scratch), ABOUT_PROGRAM_NAME_GREEK);
  EXPECT_EQ(AboutRowText(rows[82], true, &scratch), rows[82]);
  EXPECT_EQ(AboutRowText(rows[70], true, &scratch), rows[70]);
  EXPECT_EQ(AboutRowText(rows[0], false, &scratch), "Vistrel");
}

TEST(LicenseTextSize, FileMustFitAnIntWithItsTerminator) {
  EXPECT_EQ(LicenseTextBufferSize(0), 1);
  EXPECT_EQ(LicenseTextBufferSize(10), 11);
  EXPECT_EQ(LicenseTextBufferSize(INT_MAX - 1), INT_MAX);
  EXPECT_EQ(LicenseTextBufferSize(INT_MAX), -1);
  EXPECT_EQ(LicenseTextBufferSize(int64_t{5} << 30), -1);
  EXPECT_EQ(LicenseTextBufferSize(-1), -1);
}
