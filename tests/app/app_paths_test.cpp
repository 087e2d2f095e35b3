#include "app/app_paths.h"

#include <gtest/gtest.h>

TEST(AppPaths, ExeFolderKeepsTheSeparator) {
  EXPECT_EQ(ExeFolderFromModulePath("C:\\Program Files\\Vistrel\\vistrel.exe"),
            "C:\\Program Files\\Vistrel\\");
  EXPECT_EQ(ExeFolderFromModulePath("C:/tools/vistrel.exe"), "C:/tools/");
  EXPECT_EQ(ExeFolderFromModulePath("C:\\a/b\\vistrel.exe"), "C:\\a/b\\");
  EXPECT_EQ(ExeFolderFromModulePath("C:\\vistrel.exe"), "C:\\");
  EXPECT_EQ(ExeFolderFromModulePath("\\\\server\\share\\v.exe"), "\\\\server\\share\\");
}

TEST(AppPaths, ExeFolderNeedsASeparatorPastTheFirstCharacter) {
  EXPECT_EQ(ExeFolderFromModulePath("vistrel.exe"), "");
  EXPECT_EQ(ExeFolderFromModulePath("\\vistrel.exe"), "");
  EXPECT_EQ(ExeFolderFromModulePath(""), "");
  EXPECT_EQ(ExeFolderFromModulePath("a\\"), "a\\");
}

TEST(AppPaths, PortableMarkerIsExactAndCaseSensitive) {
  EXPECT_TRUE(IsPortableMarkerName("portable"));
  EXPECT_FALSE(IsPortableMarkerName("Portable"));
  EXPECT_FALSE(IsPortableMarkerName("PORTABLE"));
  EXPECT_FALSE(IsPortableMarkerName("portable "));
  EXPECT_FALSE(IsPortableMarkerName("portable.txt"));
  EXPECT_FALSE(IsPortableMarkerName("portabl"));
}

TEST(AppPaths, SettingsLocations) {
  EXPECT_EQ(PortableSettingsFolder("D:\\stick\\"), "D:\\stick\\portable\\");
  EXPECT_EQ(RoamingSettingsFolder("C:\\Users\\ann\\AppData\\Roaming"),
            "C:\\Users\\ann\\AppData\\Roaming\\Vistrel\\");
  EXPECT_EQ(SettingsPathIn("D:\\stick\\portable\\"), "D:\\stick\\portable\\vistrel.ini");
}
