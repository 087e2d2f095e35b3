#include "base/long_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string Expand(const std::u16string& path, size_t extra = 16, bool* ok = nullptr) {
  std::vector<utf16_char> buffer(path.size() + extra + 1, 0);
  for (size_t i = 0; i < path.size(); ++i) buffer[i] = static_cast<utf16_char>(path[i]);
  bool result = ExpandLongPath(buffer.data(), buffer.size());
  if (ok) *ok = result;
  std::u16string out;
  for (size_t i = 0; buffer[i]; ++i) out.push_back(static_cast<char16_t>(buffer[i]));
  return out;
}

std::u16string Repeat(const std::u16string& part, size_t times) {
  std::u16string s;
  for (size_t i = 0; i < times; ++i) s += part;
  return s;
}

}  // namespace

TEST(LongPath, DrivePathGainsPrefixAndBackslashes) {
  std::u16string path = u"C:/" + Repeat(u"folder/", 42) + u"pic.jpg";   // 3 + 294 + 7
  ASSERT_EQ(path.size(), 304u);
  std::u16string expected = u"\\\\?\\C:\\" + Repeat(u"folder\\", 42) + u"pic.jpg";
  EXPECT_EQ(Expand(path), expected);
}

TEST(LongPath, UncPathGainsUncPrefix) {
  std::u16string path = u"\\\\server\\share\\" + Repeat(u"a", 285);
  ASSERT_EQ(path.size(), 300u);
  EXPECT_EQ(Expand(path), u"\\\\?\\UNC\\server\\share\\" + Repeat(u"a", 285));
  std::u16string slashes = u"\\\\server/share/" + Repeat(u"b/", 143);
  EXPECT_EQ(Expand(slashes), u"\\\\?\\UNC\\server\\share\\" + Repeat(u"b\\", 143));
}

TEST(LongPath, RelativeAndShortPathsAreUnchanged) {
  std::u16string relative = Repeat(u"dir/", 75);
  EXPECT_EQ(Expand(relative), relative);
  std::u16string short_path = u"C:/" + Repeat(u"x", 252);   // 255 characters
  EXPECT_EQ(Expand(short_path), short_path);
  std::u16string limit = u"C:/" + Repeat(u"x", 253);        // 256 characters
  EXPECT_EQ(Expand(limit), u"\\\\?\\C:\\" + Repeat(u"x", 253));
  EXPECT_EQ(Expand(u"C:\\a.jpg"), u"C:\\a.jpg");
}

TEST(LongPath, AlreadyPrefixedPathsAreUnchanged) {
  std::u16string prefixed = u"\\\\?\\C:\\" + Repeat(u"y", 300);
  EXPECT_EQ(Expand(prefixed), prefixed);
  std::u16string device = u"\\\\.\\" + Repeat(u"z", 300);
  EXPECT_EQ(Expand(device), device);
}

TEST(LongPath, TooSmallABufferLeavesThePathAlone) {
  std::u16string path = u"C:\\" + Repeat(u"q", 300);
  bool ok = true;
  EXPECT_EQ(Expand(path, 3, &ok), path);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Expand(path, 4, &ok), u"\\\\?\\" + path);
  EXPECT_TRUE(ok);
}
