// What the program shows of its build: the date in the compiler's form and
// the version of the project, in the Version box and in the About credits.
#include "app/build_info.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "app/build_timestamp.h"
#include "auxwindows/about_credits.h"

TEST(BuildInfo, TimestampHasTheCompilersFormWithTheDayPaddedByASpace) {
  const struct {
    BuildMoment moment;
    const char* text;
  } cases[] = {
      {{2026, 12, 7, 13, 4, 5}, "Dec  7 2026 13:04:05"},
      {{2026, 1, 1, 0, 0, 0}, "Jan  1 2026 00:00:00"},
      {{2026, 9, 9, 9, 9, 9}, "Sep  9 2026 09:09:09"},
      {{2027, 2, 10, 23, 59, 59}, "Feb 10 2027 23:59:59"},
      {{2026, 10, 31, 12, 30, 0}, "Oct 31 2026 12:30:00"},
      {{2026, 0, 7, 1, 2, 3}, "???  7 2026 01:02:03"},
      {{2026, 13, 7, 1, 2, 3}, "???  7 2026 01:02:03"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatBuildTimestamp(c.moment), c.text);
}

TEST(BuildInfo, VersionBoxAndCreditsShowTheProjectsVersionAndTheBuildsDate) {
  const std::string version = VISTREL_PROJECT_VERSION;   // from project() in CMakeLists.txt
  EXPECT_EQ(ProgramVersion(), version);
  std::regex date("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( [1-9]|[12][0-9]|3[01]) "
                  "[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
  EXPECT_TRUE(std::regex_match(BuildTimestamp(), date)) << BuildTimestamp();
  EXPECT_EQ(std::string(VersionText()), "Vistrel version: " + version + " (x64)\n\nBuild timestamp: " +
                                            BuildTimestamp() + "\nGit commit: " + CommitId());
  std::vector<std::string> rows =
      AboutCreditRows({ProgramVersion(), BuildTimestamp(), CommitId(), SupportAddress()});
  EXPECT_EQ(rows[1], "Version: " + version + " (x64)");
  EXPECT_EQ(rows[2], std::string("Build timestamp: ") + BuildTimestamp());
}
