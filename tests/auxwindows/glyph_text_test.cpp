// The glyph font's platform-free half: decoding, the cache and its trimmed
// masks, measuring, clipping and the two blend formulas.
#include "auxwindows/glyph_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "raster/memory_bitmap.h"

namespace {

void ExpectDecoded(const std::string& bytes, uint32_t code, size_t consumed, size_t budget = 0) {
  size_t used = 0;
  uint32_t got = DecodeGlyphCode(reinterpret_cast<const unsigned char*>(bytes.data()),
                                 budget ? budget : bytes.size(), &used);
  EXPECT_EQ(got, code) << "bytes of length " << bytes.size();
  EXPECT_EQ(used, consumed) << "bytes of length " << bytes.size();
}

// Fills a scratch bitmap's rows 2 to height - 1 with white ink in columns [from, to).
void Paint(MemoryBitmap* scratch, int from, int to, int height) {
  for (int y = 0; y < scratch->Height(); ++y)
    for (int x = 0; x < scratch->Width(); ++x)
      scratch->Bits()[y * scratch->RowSpan() + x] =
          x >= from && x < to && y >= 2 && y < height ? 0xFFFFFFFF : 0xFF000000;
}

// A glyph cache filled by a stand-in for GDI: every glyph is ink one pixel
// narrower than its advance at the left pad of its cell (a space has none).
struct FakeGlyphs {
  GlyphCache cache;
  MemoryBitmap scratch{64, 64};
  FakeGlyphs() {
    InitGlyphCache(&cache);
    cache.line_height = 16;
  }
  ~FakeGlyphs() { FreeGlyphCache(&cache); }

  static void Render(void* context, uint32_t code) {
    FakeGlyphs* self = static_cast<FakeGlyphs*>(context);
    int advance = code == ' ' ? 4 : (code >> GLYPH_COMPOSITE_SHIFT) ? 7 : 6;
    int pad = GlyphLeftPad(16);
    Paint(&self->scratch, pad, code == ' ' ? pad : pad + advance - 1, 16);
    GlyphEntry* entry = AddGlyphEntry(&self->cache, code);
    StoreGlyphMask(&self->cache, entry, &self->scratch, advance + pad + GlyphRightPad(16), 16, advance, pad);
    SortGlyphEntries(&self->cache);
  }
  void Measure(const char* text, bool single_line, int* width, int* height) {
    RenderMissingGlyphs(&cache, text, std::strlen(text), single_line, Render, this);
    MeasureGlyphText(&cache, text, std::strlen(text), single_line, width, height);
  }
};

uint32_t Pixel(const Bitmap& b, int x, int y) {
  return b.Bits()[y * b.RowSpan() + x];
}

}  // namespace

TEST(GlyphDecoding, EveryByteClassAndTheComposite) {
  ExpectDecoded("A", 'A', 1);
  ExpectDecoded("\x80", 0x80, 1);                  // stray continuation bytes: Latin-1
  ExpectDecoded("\xC1\x81", 0xC1, 1);              // overlong leads likewise
  ExpectDecoded("\xC3\xA9", 0xE9, 2);
  ExpectDecoded("\xC3" "A", 0xC3, 1);              // no continuation
  ExpectDecoded("\xC3\xA9", 0xC3, 1, 1);           // the budget ends first
  ExpectDecoded("\xE2\x82\xAC", 0x20AC, 3);
  ExpectDecoded("\xE2\x82" "A", 0xE2, 1);
  ExpectDecoded("\xF0\x9F\x98\x80", 32, 4);        // outside the BMP: a space
  ExpectDecoded("\xF0\x9F\x98" "A", 0xF0, 1);
  ExpectDecoded("\xF5\x80\x80\x80", 0xF5, 1);
  ExpectDecoded("\xFF", 0xFF, 1);
  ExpectDecoded("e\xCC\x81", 'e' + (0x301u << 20), 3);
  ExpectDecoded("Z\xCD\xAF" "x", 'Z' + (0x36Fu << 20), 3);
  ExpectDecoded("e\xCC\x81", 'e', 1, 2);           // no room for the mark
  ExpectDecoded("e\xCD\xB0", 'e', 1);              // U+0370 is no combining mark
  ExpectDecoded("1\xCC\x81", '1', 1);              // only ASCII letters combine
}

TEST(GlyphCacheTest, SortedListAndMasksTrimmedToTheInkedColumns) {
  GlyphCache cache;
  InitGlyphCache(&cache);
  for (uint32_t code : {0x3A9u, 0x100u, 0x20ACu, 'e' + (0x301u << 20)}) {
    AddGlyphEntry(&cache, code);
    SortGlyphEntries(&cache);
  }
  for (uint32_t code : {0x3A9u, 0x100u, 0x20ACu, 'e' + (0x301u << 20)})
    EXPECT_EQ(static_cast<uint32_t>(FindGlyphEntry(&cache, code)->code), code);
  EXPECT_EQ(FindGlyphEntry(&cache, 0x101), nullptr);
  EXPECT_EQ(FindGlyphEntry(&cache, 'a'), &cache.direct['a']);

  // Left pad 2, advance 4, cell 9. Ink in columns 1 to 3 (left of the pen):
  // kept from column 1 up to the end of the advance.
  MemoryBitmap scratch(32, 8);
  Paint(&scratch, 1, 4, 8);
  GlyphEntry a = {};
  StoreGlyphMask(&cache, &a, &scratch, 9, 8, 4, 2);
  EXPECT_EQ(a.position, 1);
  EXPECT_EQ(a.width, 5);
  EXPECT_EQ(a.overhang, 1);
  EXPECT_EQ(cache.store.data[2 * 5], 0xFF);        // the red byte is the coverage
  EXPECT_EQ(cache.store.data[2 * 5 + 3], 0);
  // Ink into the right pad is kept; no ink keeps just the advance.
  Paint(&scratch, 3, 9, 8);
  GlyphEntry b = {};
  StoreGlyphMask(&cache, &b, &scratch, 9, 8, 4, 2);
  EXPECT_EQ(b.position, 41);
  EXPECT_EQ(b.width, 7);
  EXPECT_EQ(b.overhang, 0);
  Paint(&scratch, 0, 0, 8);
  GlyphEntry space = {};
  StoreGlyphMask(&cache, &space, &scratch, 9, 8, 4, 2);
  EXPECT_EQ(space.width, 4);
  EXPECT_EQ(cache.store.used, 40u + 56u + 32u);
  ClearGlyphCache(&cache);
  EXPECT_EQ(FindGlyphEntry(&cache, 0x3A9), nullptr);
  EXPECT_EQ(cache.store.data, nullptr);
  FreeGlyphCache(&cache);
}

TEST(GlyphMeasuring, EmptyLineFeedsFourByteCharactersAndComposites) {
  FakeGlyphs glyphs;
  glyphs.cache.extra_line_spacing = 3;
  int w = -1, h = -1, w2 = 0, h2 = 0;
  glyphs.Measure("", true, &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  glyphs.Measure("a b", true, &w2, &h2);
  EXPECT_EQ(w2, 6 + 4 + 6);
  glyphs.Measure("a\nb", true, &w, &h);            // a line feed on a single line is a space
  EXPECT_EQ(w, w2);
  EXPECT_EQ(h, h2);
  glyphs.Measure("a\nbb", false, &w, &h);          // otherwise a new line
  EXPECT_EQ(w, 12);
  EXPECT_EQ(h, 16 + 3 + 16);
  glyphs.Measure("a\xF0\x9F\x98\x80" "b\r", true, &w, &h);
  EXPECT_EQ(w, w2);
  glyphs.Measure("e\xCC\x81", true, &w, &h);       // one glyph, one advance
  EXPECT_EQ(w, 7);
  EXPECT_EQ(GlyphTextLength("abc", -1), 3u);
  EXPECT_EQ(GlyphTextLength("abc", 2), 2u);
}

TEST(GlyphBlending, BothFormulasTruncateTowardZero) {
  // Full opacity: (old - k) * (255 - c) / 256 + k.
  EXPECT_EQ(BlendGlyphByte(0, 255, 128, 256), 129);
  EXPECT_EQ(BlendGlyphByte(37, 200, 255, 256), 200);   // full coverage: the ink exactly
  EXPECT_EQ(BlendGlyphByte(200, 100, 64, 256), 174);   // 74.6 -> 74
  EXPECT_EQ(BlendGlyphByte(10, 200, 100, 256), 85);    // -115.04 -> -115, not -116
  // Otherwise w = 256 - min(a * c / 256, 256), new = k + (old - k) * w / 256.
  EXPECT_EQ(BlendGlyphByte(0, 255, 255, 128), 127);    // w 129: -128.5 -> -128
  EXPECT_EQ(BlendGlyphByte(255, 0, 100, 200), 177);    // w 178: 177.3 -> 177
  EXPECT_EQ(BlendGlyphByte(17, 90, 255, 600), 90);     // a * c / 256 capped at 256
}

class GlyphMaskTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitGlyphCache(&cache_);
    // A 4 x 2 glyph: coverage 255 in its first row, 128 in its second.
    const unsigned char mask[8] = {255, 255, 255, 255, 128, 128, 128, 128};
    AppendToBuffer(&cache_.store, mask, sizeof mask);
    *AddGlyphEntry(&cache_, 'x') = {1, 4, 2, 4, 'x', 0};
  }
  void TearDown() override { FreeGlyphCache(&cache_); }

  bool Draw(int x, int y, GlyphClip clip, float opacity = 1.0f) {
    for (int i = 0; i < 10 * target_.RowSpan(); ++i) target_.Bits()[i] = 0xFF000000;
    return DrawGlyphMask(&target_, &cache_, 'x', x, y, clip, {0xFFC0C0C0, 0xFFFFFFFF, 1, 0, opacity});
  }
  std::string InkedColumns(int row) {
    std::string s;
    for (int x = 0; x < 10; ++x) s += Pixel(target_, x, row) != 0xFF000000 ? '#' : '.';
    return s;
  }

  GlyphCache cache_;
  MemoryBitmap target_{10, 10};
};

TEST_F(GlyphMaskTest, BlendsEveryByteTowardTheInk) {
  ASSERT_TRUE(Draw(2, 3, {0, 0, 10, 10}));
  EXPECT_EQ(Pixel(target_, 2, 3), 0xFFC0C0C0u);
  EXPECT_EQ(Pixel(target_, 5, 4), 0xFF616161u);   // -192 * 127 / 256 + 192 = 97
  ASSERT_TRUE(Draw(2, 3, {0, 0, 10, 10}, 0.5f));
  EXPECT_EQ(Pixel(target_, 2, 3), 0xFF606060u);   // 192 - 192 * 129 / 256 = 96
  EXPECT_TRUE(Draw(2, 3, {0, 0, 10, 10}, 0.003f)); // opacity truncating to 0: nothing
  EXPECT_EQ(InkedColumns(3), "..........");
  FindGlyphEntry(&cache_, 'x')->overhang = 2;      // the mask starts left of the pen
  ASSERT_TRUE(Draw(2, 3, {0, 0, 10, 10}));
  EXPECT_EQ(InkedColumns(3), "####......");
}

TEST_F(GlyphMaskTest, ClipsAtEveryEdge) {
  GlyphClip clip = {2, 2, 8, 8};
  ASSERT_TRUE(Draw(0, 3, clip));
  EXPECT_EQ(InkedColumns(3), "..##......");
  ASSERT_TRUE(Draw(6, 3, clip));
  EXPECT_EQ(InkedColumns(3), "......##..");
  ASSERT_TRUE(Draw(3, 1, clip));                   // only the second row is inside
  EXPECT_EQ(InkedColumns(1), "..........");
  EXPECT_EQ(Pixel(target_, 3, 2), 0xFF616161u);
  ASSERT_TRUE(Draw(3, 7, clip));                   // only the first row is inside
  EXPECT_EQ(InkedColumns(7), "...####...");
  EXPECT_EQ(InkedColumns(8), "..........");
  for (auto at : {std::make_pair(8, 3), std::make_pair(-2, 3), std::make_pair(3, 8), std::make_pair(3, 0)}) {
    EXPECT_TRUE(Draw(at.first, at.second, clip));  // wholly outside: handled, nothing drawn
    for (int y = 0; y < 10; ++y) EXPECT_EQ(InkedColumns(y), "..........");
  }
  ASSERT_TRUE(Draw(8, 9, {0, 0, 100, 100}));       // a clip beyond the target is cut to it
  EXPECT_EQ(InkedColumns(9), "........##");
  EXPECT_FALSE(DrawGlyphMask(&target_, &cache_, 'y', 0, 0, clip, {0, 0, 1, 0, 1.0f}));

  GlyphClip drawing;
  ASSERT_TRUE(GlyphDrawingClip(&target_, -5, 2, 30, 8, false, &drawing));
  EXPECT_EQ(drawing.left, 0);
  EXPECT_EQ(drawing.right, 10);
  EXPECT_FALSE(GlyphDrawingClip(&target_, 25, 0, 40, 5, false, &drawing));
  EXPECT_TRUE(GlyphDrawingClip(&target_, 25, 0, 40, 5, true, &drawing));   // DT_NOCLIP
}
