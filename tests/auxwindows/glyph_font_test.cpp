// The glyph font with real GDI fonts: glyph masks, measuring and drawing, the
// ownership of font handles and the shared scratch bitmap.
#include "auxwindows/glyph_font.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "raster/memory_bitmap.h"

namespace {

HFONT Arial(int height) {
  LOGFONTA font = {};
  font.lfHeight = height;
  font.lfWeight = 400;
  font.lfCharSet = DEFAULT_CHARSET;
  std::strcpy(font.lfFaceName, "Arial");
  return CreateFontIndirectA(&font);
}

bool IsLiveObject(HGDIOBJ object) {
  return GetObjectType(object) != 0;
}

// What GDI itself says about a text in a font: its extent from DrawTextW.
SIZE GdiExtent(HFONT font, const wchar_t* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r = {0, 0, 0, 0};
  DrawTextW(dc, text, -1, &r, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteDC(dc);
  return {r.right, r.bottom};
}

int CountNotBlack(const Bitmap& b) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += b.Bits()[y * b.RowSpan() + x] != 0xFF000000u;
  return n;
}

class GlyphFontTest : public ::testing::Test {
protected:
  void SetUp() override {
    font_ = new GlyphFont();
    handle_ = Arial(16);
    font_->AttachFont(handle_, FONT_OWNS_HANDLE);
  }
  void TearDown() override { delete font_; }

  int Measure(const char* text, int* width, unsigned flags = GLYPH_DT_SINGLELINE) {
    RECT r = {10, 20, 10, 20};
    int height = font_->DrawString(nullptr, text, -1, &r, flags | GLYPH_DT_CALCRECT);
    *width = r.right - r.left;
    EXPECT_EQ(r.bottom - r.top, height);
    return height;
  }

  GlyphFont* font_ = nullptr;
  HFONT handle_ = nullptr;
};

}  // namespace

TEST_F(GlyphFontTest, AttachingReadsTheLineHeightAndPreparesTheScratchBitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, handle_);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_EQ(font_->LineHeight(), metrics.tmHeight);
  EXPECT_EQ(font_->FontHandle(), handle_);
  ASSERT_NE(GlyphScratchBitmap(), nullptr);
  EXPECT_GE(GlyphScratchBitmap()->Width(), 256);
  EXPECT_GE(GlyphScratchBitmap()->Height(), 256);
}

TEST_F(GlyphFontTest, GlyphMasksFollowTheGdiRendering) {
  int width = 0;
  int height = Measure("W", &width);
  SIZE gdi = GdiExtent(handle_, L"W");
  GlyphEntry* w = FindGlyphEntry(font_->Cache(), 'W');
  ASSERT_NE(w, nullptr);
  EXPECT_GT(w->position, 0);
  EXPECT_EQ(w->advance, gdi.cx);
  EXPECT_EQ(w->height, gdi.cy);
  EXPECT_EQ(height, gdi.cy);
  EXPECT_GE(w->overhang, 0);
  // Trimmed: never wider than the cell, never narrower than the advance.
  int line = font_->LineHeight();
  EXPECT_LE(w->width, w->advance + GlyphLeftPad(line) + GlyphRightPad(line));
  EXPECT_GE(w->width, w->advance + w->overhang);
  // Some coverage is full, and the first and last columns hold ink or the advance.
  const unsigned char* mask = font_->Cache()->store.data + (w->position - 1);
  int full = 0;
  for (int i = 0; i < w->width * w->height; ++i) full += mask[i] == 255;
  EXPECT_GT(full, 0);
  // A space: a valid, empty mask as wide as its advance.
  Measure(" ", &width);
  GlyphEntry* space = FindGlyphEntry(font_->Cache(), ' ');
  ASSERT_GT(space->position, 0);
  EXPECT_EQ(space->width, space->advance);
  EXPECT_EQ(space->overhang, 0);
  const unsigned char* blank = font_->Cache()->store.data + (space->position - 1);
  for (int i = 0; i < space->width * space->height; ++i) ASSERT_EQ(blank[i], 0);
  // Letters that reach left of the pen keep a non-negative overhang.
  Measure("jfy", &width);
  for (char c : {'j', 'f', 'y'}) EXPECT_GE(FindGlyphEntry(font_->Cache(), c)->overhang, 0);
}

TEST_F(GlyphFontTest, MeasuresLinesCompositesAndGreek) {
  int width = 0;
  EXPECT_EQ(Measure("", &width), 0);
  EXPECT_EQ(width, 0);
  int one_line_width = 0;
  int one_line = Measure("a\nb", &one_line_width);
  int spaced_width = 0;
  Measure("a b", &spaced_width);
  EXPECT_EQ(one_line_width, spaced_width);
  font_->SetExtraLineSpacing(5);
  int two_lines = Measure("a\nb", &width, 0);
  EXPECT_EQ(two_lines, one_line + font_->LineHeight() + 5);
  // e with a combining acute accent: one glyph, one advance.
  Measure("e\xCC\x81", &width);
  GlyphEntry* composite = FindGlyphEntry(font_->Cache(), 'e' + (0x301u << GLYPH_COMPOSITE_SHIFT));
  ASSERT_NE(composite, nullptr);
  EXPECT_EQ(width, std::max(composite->advance, composite->width - composite->overhang));
  // A 4-byte character measures as a space.
  int emoji = 0, space = 0;
  Measure("\xF0\x9F\x98\x80", &emoji);
  Measure(" ", &space);
  EXPECT_EQ(emoji, space);
  int greek = 0;
  Measure("\xCE\x92\xCE\xAF\xCF\x83\xCF\x84\xCF\x81\xCE\xB5\xCE\xBB", &greek);
  EXPECT_GT(greek, 30);
  EXPECT_NE(FindGlyphEntry(font_->Cache(), 0x3BB), nullptr);
}

TEST_F(GlyphFontTest, DrawsWithTheForegroundColourAndItsAlpha) {
  MemoryBitmap target(200, 40);
  ClearBitmap(&target, 0xFF000000);
  font_->SetForegroundColor(0xFFC0C0C0);
  RECT r = {5, 5, 200, 40};
  int height = font_->DrawString(&target, "Hello", -1, &r, GLYPH_DT_SINGLELINE);
  EXPECT_GT(height, 10);
  int full = 0;
  for (int i = 0; i < 200 * 40; ++i) {
    uint32_t p = target.Bits()[i];
    ASSERT_LE(p & 0xFF, 0xC0u);
    full += p == 0xFFC0C0C0u;
  }
  EXPECT_GT(full, 20);
  // Nothing is drawn left of or above the rectangle.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 200; ++x) ASSERT_EQ(target.Bits()[y * target.RowSpan() + x], 0xFF000000u);

  // Foreground alpha 0 with TEXT_USE_COLOR_ALPHA: nothing drawn, 0 returned.
  ClearBitmap(&target, 0xFF000000);
  font_->SetForegroundColor(0x00C0C0C0);
  EXPECT_EQ(font_->DrawString(&target, "Hello", -1, &r, GLYPH_DT_SINGLELINE | TEXT_USE_COLOR_ALPHA), 0);
  EXPECT_EQ(CountNotBlack(target), 0);
  // Half alpha: darker than full ink.
  font_->SetForegroundColor(0x80C0C0C0);
  font_->DrawString(&target, "Hello", -1, &r, GLYPH_DT_SINGLELINE | TEXT_USE_COLOR_ALPHA | TEXT_KEEP_ALPHA);
  uint32_t brightest = 0;
  for (int i = 0; i < 200 * 40; ++i) brightest = std::max(brightest, target.Bits()[i] & 0xFF);
  EXPECT_GT(brightest, 0x40u);
  EXPECT_LT(brightest, 0x70u);

  // A rectangle wholly outside the target, and a null target: nothing, 0.
  RECT outside = {300, 0, 400, 40};
  font_->SetForegroundColor(0xFFFFFFFF);
  ClearBitmap(&target, 0xFF000000);
  EXPECT_EQ(font_->DrawString(&target, "Hello", -1, &outside, GLYPH_DT_SINGLELINE), 0);
  EXPECT_EQ(font_->DrawString(nullptr, "Hello", -1, &r, GLYPH_DT_SINGLELINE), 0);
  EXPECT_EQ(CountNotBlack(target), 0);
  // DT_NOCLIP draws outside the rectangle.
  RECT tiny = {5, 5, 6, 6};
  font_->DrawString(&target, "Hello", -1, &tiny, GLYPH_DT_SINGLELINE | GLYPH_DT_NOCLIP);
  EXPECT_GT(CountNotBlack(target), 50);
  // DrawGlyph: false for a code without an entry.
  RECT clip = {0, 0, 200, 40};
  EXPECT_FALSE(font_->DrawGlyph(&target, 0x4E2D, 0, 0, &clip));
  EXPECT_TRUE(font_->DrawGlyph(&target, 'H', 0, 0, &clip));
}

TEST_F(GlyphFontTest, OwnedHandlesAreDeletedWhenReplacedButNotWhenAttachedAgain) {
  HFONT second = Arial(20);
  font_->AttachFont(second, FONT_OWNS_HANDLE);
  EXPECT_FALSE(IsLiveObject(handle_));   // the previous handle went
  EXPECT_TRUE(IsLiveObject(second));
  font_->AttachFont(second, FONT_OWNS_HANDLE);
  EXPECT_TRUE(IsLiveObject(second));     // the same handle stays
  // Attaching empties the cache, even for the same handle.
  int width = 0;
  Measure("Q", &width);
  EXPECT_GT(FindGlyphEntry(font_->Cache(), 'Q')->position, 0);
  font_->AttachFont(second, FONT_OWNS_HANDLE);
  EXPECT_EQ(FindGlyphEntry(font_->Cache(), 'Q')->position, 0);
  // Without the option the font leaves handles alone.
  HFONT third = Arial(12);
  font_->AttachFont(third, 0);
  EXPECT_FALSE(IsLiveObject(second));    // the owned one was still deleted on the way
  HFONT fourth = Arial(14);
  font_->AttachFont(fourth, 0);
  EXPECT_TRUE(IsLiveObject(third));
  font_->AttachFont(fourth, FONT_OWNS_HANDLE);
  delete font_;
  font_ = nullptr;
  EXPECT_FALSE(IsLiveObject(fourth));    // deleted with the font
  EXPECT_TRUE(IsLiveObject(third));
  DeleteObject(third);
}

TEST(GlyphFontLifetime, ScratchBitmapGoesWithTheLastFont) {
  EXPECT_EQ(GlyphScratchBitmap(), nullptr);
  GlyphFont* first = new GlyphFont();
  GlyphFont* second = new GlyphFont();
  EXPECT_EQ(GlyphScratchBitmap(), nullptr);   // created on first need
  first->AttachFont(Arial(16), FONT_OWNS_HANDLE);
  ASSERT_NE(GlyphScratchBitmap(), nullptr);
  delete first;
  EXPECT_NE(GlyphScratchBitmap(), nullptr);
  delete second;
  EXPECT_EQ(GlyphScratchBitmap(), nullptr);
}

TEST(GlyphFontLifetime, LineHeightOver1023GivesEmptyGlyphs) {
  GlyphFont font;
  font.AttachFont(Arial(1100), FONT_OWNS_HANDLE);
  ASSERT_GT(font.LineHeight(), 1023);
  RECT r = {0, 0, 0, 0};
  EXPECT_EQ(font.DrawString(nullptr, "A", -1, &r, GLYPH_DT_CALCRECT), 0);
  EXPECT_EQ(FindGlyphEntry(font.Cache(), 'A')->position, -1);
}
