// The glyph font with real GDI fonts: glyph masks, drawing with the
// foreground's alpha, the ownership of font handles and the shared scratch bitmap.
#include "auxwindows/glyph_font.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "raster/memory_bitmap.h"

namespace {

HFONT Arial(int height) {
  LOGFONTA font = {height, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"};
  return CreateFontIndirectA(&font);
}

bool IsLive(HGDIOBJ object) {
  return GetObjectType(object) != 0;
}

uint32_t Brightest(const Bitmap& b) {
  uint32_t brightest = 0;
  for (int i = 0; i < b.Height() * b.RowSpan(); ++i) brightest = std::max(brightest, b.Bits()[i] & 0xFF);
  return brightest;
}

class GlyphFontTest : public ::testing::Test {
protected:
  void SetUp() override { font_.AttachFont(handle_, FONT_OWNS_HANDLE); }

  GlyphEntry* Rendered(const char* text) {
    RECT r = {0, 0, 0, 0};
    font_.DrawString(nullptr, text, -1, &r, GLYPH_DT_CALCRECT | GLYPH_DT_SINGLELINE);
    size_t used = 0;
    return FindGlyphEntry(font_.Cache(),
                          DecodeGlyphCode(reinterpret_cast<const unsigned char*>(text), std::strlen(text), &used));
  }

  HFONT handle_ = Arial(16);
  GlyphFont font_;
};

}  // namespace

TEST_F(GlyphFontTest, MasksFollowTheGdiRendering) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, handle_);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  RECT extent = {0, 0, 0, 0};
  DrawTextW(dc, L"W", 1, &extent, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_EQ(font_.LineHeight(), metrics.tmHeight);
  ASSERT_NE(GlyphScratchBitmap(), nullptr);
  EXPECT_GE(GlyphScratchBitmap()->Width(), 256);

  GlyphEntry* w = Rendered("W");
  ASSERT_GT(w->position, 0);
  EXPECT_EQ(w->advance, extent.right);
  EXPECT_EQ(w->height, extent.bottom);
  int line = font_.LineHeight();
  EXPECT_LE(w->width, w->advance + GlyphLeftPad(line) + GlyphRightPad(line));   // trimmed
  EXPECT_GE(w->width, w->advance + w->overhang);
  const unsigned char* mask = font_.Cache()->store.data + (w->position - 1);
  EXPECT_NE(std::memchr(mask, 255, static_cast<size_t>(w->width * w->height)), nullptr);
  for (const char* c : {"j", "f", "y", "\xCE\xB2", "e\xCC\x81"}) EXPECT_GE(Rendered(c)->overhang, 0) << c;
  GlyphEntry* space = Rendered(" ");
  ASSERT_GT(space->position, 0);                   // a valid, empty mask
  EXPECT_EQ(space->width, space->advance);
  // Past 1023 pixels of line height glyphs are empty.
  font_.AttachFont(Arial(1100), FONT_OWNS_HANDLE);
  EXPECT_EQ(Rendered("A")->position, -1);
}

TEST_F(GlyphFontTest, DrawsWithTheForegroundColourAndItsAlpha) {
  MemoryBitmap target(200, 40);
  ClearBitmap(&target, 0xFF000000);
  font_.SetForegroundColor(0xFFC0C0C0);
  RECT r = {5, 5, 200, 40};
  EXPECT_GT(font_.DrawString(&target, "Hello", -1, &r, GLYPH_DT_SINGLELINE), 10);
  EXPECT_EQ(Brightest(target), 0xC0u);
  for (int x = 0; x < 200 * 5; ++x) ASSERT_EQ(target.Bits()[x], 0xFF000000u);   // nothing above the rectangle

  const unsigned alpha = GLYPH_DT_SINGLELINE | TEXT_USE_COLOR_ALPHA | TEXT_KEEP_ALPHA;
  ClearBitmap(&target, 0xFF000000);
  font_.SetForegroundColor(0x00C0C0C0);            // alpha 0: nothing drawn, 0 returned
  EXPECT_EQ(font_.DrawString(&target, "Hello", -1, &r, alpha), 0);
  EXPECT_EQ(Brightest(target), 0u);
  font_.SetForegroundColor(0x80C0C0C0);            // half alpha: about half as bright
  font_.DrawString(&target, "Hello", -1, &r, alpha);
  EXPECT_GT(Brightest(target), 0x40u);
  EXPECT_LT(Brightest(target), 0x70u);

  ClearBitmap(&target, 0xFF000000);
  font_.SetForegroundColor(0xFFFFFFFF);
  RECT outside = {300, 0, 400, 40};
  EXPECT_EQ(font_.DrawString(&target, "Hello", -1, &outside, GLYPH_DT_SINGLELINE), 0);
  EXPECT_EQ(font_.DrawString(nullptr, "Hello", -1, &r, GLYPH_DT_SINGLELINE), 0);
  EXPECT_EQ(Brightest(target), 0u);
  RECT tiny = {5, 5, 6, 6};                        // DT_NOCLIP draws past the rectangle
  font_.DrawString(&target, "Hello", -1, &tiny, GLYPH_DT_SINGLELINE | GLYPH_DT_NOCLIP);
  EXPECT_EQ(Brightest(target), 0xFFu);
  RECT clip = {0, 0, 200, 40};
  EXPECT_FALSE(font_.DrawGlyph(&target, 0x4E2D, 0, 0, &clip));   // no entry
  EXPECT_TRUE(font_.DrawGlyph(&target, 'H', 0, 0, &clip));
}

TEST_F(GlyphFontTest, OwnedHandlesAreDeletedWhenReplacedButNotWhenAttachedAgain) {
  HFONT second = Arial(20);
  font_.AttachFont(second, FONT_OWNS_HANDLE);
  EXPECT_FALSE(IsLive(handle_));
  font_.AttachFont(second, FONT_OWNS_HANDLE);
  EXPECT_TRUE(IsLive(second));
  EXPECT_GT(Rendered("Q")->position, 0);
  font_.AttachFont(second, FONT_OWNS_HANDLE);      // the cache empties even so
  EXPECT_EQ(FindGlyphEntry(font_.Cache(), 'Q')->position, 0);
  HFONT third = Arial(12);
  font_.AttachFont(third, 0);
  font_.AttachFont(Arial(14), FONT_OWNS_HANDLE);
  EXPECT_TRUE(IsLive(third));                      // not owned: left alone
  DeleteObject(third);
}

TEST(GlyphFontLifetime, TheLastFontTakesTheScratchBitmapAndItsHandle) {
  EXPECT_EQ(GlyphScratchBitmap(), nullptr);
  GlyphFont* first = new GlyphFont();
  GlyphFont* second = new GlyphFont();
  HFONT handle = Arial(16);
  second->AttachFont(handle, FONT_OWNS_HANDLE);
  ASSERT_NE(GlyphScratchBitmap(), nullptr);
  delete second;
  EXPECT_FALSE(IsLive(handle));
  EXPECT_NE(GlyphScratchBitmap(), nullptr);
  delete first;
  EXPECT_EQ(GlyphScratchBitmap(), nullptr);
}
