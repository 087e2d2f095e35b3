#include "base/settings_store.h"

#include <gtest/gtest.h>

#include "base/app_state.h"
#include "tests/support/win_test_support.h"

namespace {

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("settings");
    ASSERT_FALSE(folder_.empty());
    g_app.settings_path = folder_ + "vistrel.ini";
  }
  void TearDown() override {
    DeleteTree(folder_);
    g_app.settings_path.clear();
  }
  std::string folder_;
};

}  // namespace

TEST_F(SettingsStore, MissingFileGivesDefaults) {
  EXPECT_EQ(ReadSettingInt("main_wnd_x", 50), 50);
  EXPECT_EQ(ReadSettingInt("main_wnd_w", 1024), 1024);
  EXPECT_FALSE(PathExists(g_app.settings_path));   // reading creates nothing
}

TEST_F(SettingsStore, WritesDecimalValuesIntoSectionVistrel) {
  EXPECT_TRUE(WriteSettingString("main_wnd_x", "-200"));
  EXPECT_TRUE(WriteSettingInt("main_wnd_w", 1280));
  EXPECT_EQ(ReadSettingInt("main_wnd_x", 50), -200);
  EXPECT_EQ(ReadSettingInt("main_wnd_w", 1024), 1280);
  EXPECT_EQ(ReadSettingInt("main_wnd_h", 768), 768);   // key absent
  std::string text;
  ASSERT_TRUE(ReadFileBytes(g_app.settings_path, &text));
  EXPECT_NE(text.find("[vistrel]"), std::string::npos);
  EXPECT_NE(text.find("main_wnd_x=-200"), std::string::npos);
  EXPECT_NE(text.find("main_wnd_w=1280"), std::string::npos);
}

TEST_F(SettingsStore, NothingIsCached) {
  EXPECT_EQ(ReadSettingInt("about_wnd_x", 0), 0);
  ASSERT_TRUE(WriteFileBytes(g_app.settings_path, "[vistrel]\r\nabout_wnd_x=321\r\n"));
  EXPECT_EQ(ReadSettingInt("about_wnd_x", 0), 321);
  ASSERT_TRUE(WriteFileBytes(g_app.settings_path, "[vistrel]\r\nabout_wnd_x=-5\r\n"));
  EXPECT_EQ(ReadSettingInt("about_wnd_x", 0), -5);
}

TEST_F(SettingsStore, OtherSectionsDoNotCount) {
  ASSERT_TRUE(WriteFileBytes(g_app.settings_path, "[other]\r\nmain_wnd_y=7\r\n"));
  EXPECT_EQ(ReadSettingInt("main_wnd_y", 50), 50);
  EXPECT_TRUE(WriteSettingString("main_wnd_y", "8"));
  EXPECT_EQ(ReadSettingInt("main_wnd_y", 50), 8);
  std::string text;
  ASSERT_TRUE(ReadFileBytes(g_app.settings_path, &text));
  EXPECT_NE(text.find("main_wnd_y=7"), std::string::npos);   // the other section stays
}

TEST_F(SettingsStore, NonAsciiSettingsPathUsesTheWideFunctions) {
  std::string unicode_folder = folder_ + "Einstellungen \xC3\xA4\xC3\xB6 \xE5\x86\x99\xE7\x9C\x9F";
  ASSERT_TRUE(CreateFolder(unicode_folder));
  g_app.settings_path = unicode_folder + "\\vistrel.ini";
  EXPECT_TRUE(WriteSettingString("main_wnd_maximized", "1"));
  EXPECT_EQ(ReadSettingInt("main_wnd_maximized", 0), 1);
  EXPECT_TRUE(PathExists(g_app.settings_path));
  EXPECT_EQ(IniValue(g_app.settings_path, "main_wnd_maximized"), "1");
}

TEST_F(SettingsStore, UnwritableLocationFailsQuietly) {
  g_app.settings_path = folder_ + "no such folder\\vistrel.ini";
  EXPECT_FALSE(WriteSettingString("main_wnd_x", "1"));
  EXPECT_EQ(ReadSettingInt("main_wnd_x", 50), 50);
}
