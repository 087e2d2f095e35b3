#include "base/utf8_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

Utf8Kind Kind(const std::string& s) {
  return ClassifyUtf8(s.data(), s.size());
}

std::u16string ToUtf16(const std::string& s, bool lenient, bool* ok = nullptr) {
  utf16_char out[64];
  long n = Utf8ToUtf16(s.data(), s.size(), out, 64, lenient);
  if (ok) *ok = n >= 0;
  if (n < 0) return u"";
  return std::u16string(reinterpret_cast<const char16_t*>(out), static_cast<size_t>(n));
}

}  // namespace

TEST(Utf8Text, Classification) {
  EXPECT_EQ(Kind(""), UTF8_ASCII);
  EXPECT_EQ(Kind("Vistrel 1.11"), UTF8_ASCII);
  EXPECT_EQ(Kind("Bilder \xC3\xA4"), UTF8_VALID);               // ä
  EXPECT_EQ(Kind("\xE5\x86\x99\xE7\x9C\x9F"), UTF8_VALID);      // 写真
  EXPECT_EQ(Kind("\xE0\xA0\x80"), UTF8_VALID);                  // U+0800, smallest 3-byte
  EXPECT_EQ(Kind("\xF0\x90\x80\x80"), UTF8_VALID);              // U+10000, smallest 4-byte
  EXPECT_EQ(Kind("\xF0\x9F\x98\x80"), UTF8_VALID);              // an emoji
  // Lead bytes outside 0xC2..0xF7.
  EXPECT_EQ(Kind("\xC0\x80"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xC1\xBF"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xF8\x88\x80\x80\x80"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xFC\x84\x80\x80\x80\x80"), UTF8_INVALID);
  EXPECT_EQ(Kind("\x80"), UTF8_INVALID);
  // Missing continuation bytes.
  EXPECT_EQ(Kind("\xC3"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xC3" "A"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xE5\x86"), UTF8_INVALID);
  // Overlong three- and four-byte forms.
  EXPECT_EQ(Kind("\xE0\x80\x80"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xE0\x9F\xBF"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xF0\x80\x80\x80"), UTF8_INVALID);
  EXPECT_EQ(Kind("\xF0\x8F\xBF\xBF"), UTF8_INVALID);
  // Windows-1252 text is not UTF-8.
  EXPECT_EQ(Kind("caf\xE9"), UTF8_INVALID);
}

TEST(Utf8Text, CensusCountsMultibyteAndInvalidBytes) {
  Utf8Census c;
  std::string s = "a\xC3\xA4\xFF\xE5\x86\x99";
  ClassifyUtf8(s.data(), s.size(), &c);
  EXPECT_EQ(c.total_bytes, 7u);
  EXPECT_EQ(c.multibyte_bytes, 5u);
  EXPECT_EQ(c.invalid_bytes, 1u);
}

TEST(Utf8Text, MostlyUtf8RuleForDisplayedTexts) {
  // Five times the invalid bytes: converted, invalid bytes dropped.
  EXPECT_EQ(DisplayTextRoute("\xC3\xA4\xC3\xA4\xC3\xA4\xFF"), ROUTE_WIDE_LENIENT);   // 6 vs 1
  // Fewer than five times, but three quarters of all bytes.
  EXPECT_EQ(DisplayTextRoute("\xC3\xA4\xC3\xA4\xC3\xA4\xFF\xFF"), ROUTE_WIDE_LENIENT);   // 6 of 8
  // Neither rule: the ANSI function gets the bytes.
  EXPECT_EQ(DisplayTextRoute("\xC3\xA4\xFF\xFF"), ROUTE_ANSI);
  EXPECT_EQ(DisplayTextRoute("abc\xC3\xA4\xFF"), ROUTE_ANSI);
  EXPECT_EQ(DisplayTextRoute("caf\xE9"), ROUTE_ANSI);
  EXPECT_EQ(DisplayTextRoute("Vistrel"), ROUTE_ANSI);
  EXPECT_EQ(DisplayTextRoute("Vistrel \xC3\xA4"), ROUTE_WIDE);
}

TEST(Utf8Text, PathRoute) {
  EXPECT_EQ(PathRoute("C:\\pictures\\a.jpg", true), ROUTE_ANSI);
  EXPECT_EQ(PathRoute("C:\\Bilder \xC3\xA4\\a.jpg", true), ROUTE_WIDE);
  std::string long_path = "C:\\" + std::string(253, 'a');
  EXPECT_EQ(long_path.size(), 256u);
  EXPECT_EQ(PathRoute(long_path.c_str(), true), ROUTE_WIDE);
  EXPECT_EQ(PathRoute(long_path.c_str(), false), ROUTE_ANSI);   // a name, not a path
  EXPECT_EQ(PathRoute(long_path.substr(1).c_str(), true), ROUTE_ANSI);   // 255 bytes
  EXPECT_EQ(PathRoute("C:\\caf\xE9", true), ROUTE_ANSI);
}

TEST(Utf8Text, StrictConversionToUtf16) {
  bool ok;
  EXPECT_EQ(ToUtf16("abc", false), u"abc");
  EXPECT_EQ(ToUtf16("\xC3\xA4", false), u"\u00E4");
  EXPECT_EQ(ToUtf16("\xE5\x86\x99\xE7\x9C\x9F", false), u"\u5199\u771F");
  // Above U+FFFF: a surrogate pair.
  EXPECT_EQ(ToUtf16("\xF0\x9F\x98\x80", false), std::u16string({0xD83D, 0xDE00}));
  ToUtf16("caf\xE9", false, &ok);
  EXPECT_FALSE(ok);
  ToUtf16("\xED\xA0\x80", false, &ok);   // an encoded surrogate
  EXPECT_FALSE(ok);
  ToUtf16("\xF4\x90\x80\x80", false, &ok);   // above U+10FFFF
  EXPECT_FALSE(ok);
}

TEST(Utf8Text, LenientConversionDropsInvalidBytes) {
  EXPECT_EQ(ToUtf16("\xC3\xA4\xFF\xC3\xB6", true), u"\u00E4\u00F6");
  // Five- and six-byte forms vanish whole.
  EXPECT_EQ(ToUtf16("a\xF8\x88\x80\x80\x80" "b\xFC\x84\x80\x80\x80\x80" "c", true), u"abc");
  EXPECT_EQ(ToUtf16("\xE0\x80\x80x", true), u"x");   // overlong form dropped
  EXPECT_EQ(ToUtf16("\xC3" "A", true), u"A");          // lead without continuation
}

TEST(Utf8Text, ConversionRespectsCapacity) {
  utf16_char out[4];
  EXPECT_EQ(Utf8ToUtf16("abc", 3, out, 4, false), 3);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(Utf8ToUtf16("abcd", 4, out, 4, false), -1);   // no room for the terminator
  EXPECT_EQ(Utf8ToUtf16("ab\xF0\x9F\x98\x80", 6, out, 4, false), -1);   // pair would not fit
  EXPECT_EQ(Utf8ToUtf16("ab\xF0\x9F\x98\x80", 6, nullptr, 0, false), 4);   // counting only
  char bytes[4];
  utf16_char wide[] = {0x5199, 0};
  EXPECT_EQ(Utf16ToUtf8(wide, 1, bytes, 4), 3);
  EXPECT_EQ(Utf16ToUtf8(wide, 1, bytes, 3), -1);
  EXPECT_EQ(Utf16ToUtf8(wide, 1, nullptr, 0), 3);
}

TEST(Utf8Text, ConversionFromUtf16) {
  char out[32];
  const utf16_char text[] = {'a', 0x00E4, 0x5199, 0xD83D, 0xDE00, 0};
  ASSERT_EQ(Utf16ToUtf8(text, 5, out, sizeof out), 10);
  EXPECT_STREQ(out, "a\xC3\xA4\xE5\x86\x99\xF0\x9F\x98\x80");
  const utf16_char lone_high[] = {'a', 0xD83D, 'b', 0};
  EXPECT_EQ(Utf16ToUtf8(lone_high, 3, out, sizeof out), -1);
  const utf16_char lone_low[] = {0xDE00, 0};
  EXPECT_EQ(Utf16ToUtf8(lone_low, 1, out, sizeof out), -1);
  const utf16_char high_at_end[] = {0xD83D, 0};
  EXPECT_EQ(Utf16ToUtf8(high_at_end, 1, out, sizeof out), -1);
  EXPECT_EQ(Utf16Length(text), 5u);
}

TEST(Utf8Text, RoundTripOfEveryCharacter) {
  for (unsigned long c = 1; c <= 0x10FFFF; c += (c < 0x3000 ? 1 : 97)) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    utf16_char wide[3];
    size_t n = 0;
    if (c > 0xFFFF) {
      wide[n++] = static_cast<utf16_char>(0xD800 + ((c - 0x10000) >> 10));
      wide[n++] = static_cast<utf16_char>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide[n++] = static_cast<utf16_char>(c);
    }
    char bytes[8];
    long len = Utf16ToUtf8(wide, n, bytes, sizeof bytes);
    ASSERT_GT(len, 0) << c;
    ASSERT_EQ(ClassifyUtf8(bytes, static_cast<size_t>(len)), c < 0x80 ? UTF8_ASCII : UTF8_VALID)
        << c;
    utf16_char back[4];
    ASSERT_EQ(Utf8ToUtf16(bytes, static_cast<size_t>(len), back, 4, false),
              static_cast<long>(n));
    ASSERT_EQ(memcmp(back, wide, n * sizeof(utf16_char)), 0) << c;
  }
}
