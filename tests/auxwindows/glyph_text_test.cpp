// The glyph font's platform-free half: decoding, the cache and its trimmed
// masks, measuring, clipping and the two blend formulas.
#include "auxwindows/glyph_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "raster/memory_bitmap.h"

namespace {

struct Decoded {
  uint32_t code;
  size_t consumed;
};

Decoded Decode(const std::string& bytes, size_t budget = std::string::npos) {
  size_t consumed = 0;
  size_t remaining = budget == std::string::npos ? bytes.size() : budget;
  uint32_t code =
      DecodeGlyphCode(reinterpret_cast<const unsigned char*>(bytes.data()), remaining, &consumed);
  return {code, consumed};
}

void ExpectDecoded(const std::string& bytes, uint32_t code, size_t consumed,
                   size_t budget = std::string::npos) {
  Decoded d = Decode(bytes, budget);
  EXPECT_EQ(d.code, code) << "bytes of length " << bytes.size();
  EXPECT_EQ(d.consumed, consumed) << "bytes of length " << bytes.size();
}

// A cache filled by a stand-in for GDI: every glyph is a block of ink
// `advance` pixels wide (a space has no ink), drawn at the left pad of a cell
// in a scratch bitmap as the real rendering does.
class FakeGlyphs {
public:
  explicit FakeGlyphs(int line_height) : scratch_(64, 64) {
    InitGlyphCache(&cache_);
    cache_.line_height = line_height;
  }
  ~FakeGlyphs() { FreeGlyphCache(&cache_); }

  static int AdvanceOf(uint32_t code) {
    if (code == ' ') return 4;
    if (code == 'i') return 3;
    if (code >> GLYPH_COMPOSITE_SHIFT) return 7;   // a letter with its mark
    return 6;
  }

  static void Render(void* context, uint32_t code) {
    FakeGlyphs* self = static_cast<FakeGlyphs*>(context);
    ++self->renders;
    GlyphCache* cache = &self->cache_;
    GlyphEntry* entry = AddGlyphEntry(cache, code);
    int advance = AdvanceOf(code);
    int left_pad = GlyphLeftPad(cache->line_height);
    int cell_width = advance + left_pad + GlyphRightPad(cache->line_height);
    int height = cache->line_height;
    uint32_t* bits = self->scratch_.Bits();
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        bool ink = code != ' ' && x >= left_pad && x < left_pad + advance - 1 && y >= 2 && y < height;
        bits[y * self->scratch_.RowSpan() + x] = ink ? 0xFFFFFFFF : 0xFF000000;
      }
    }
    StoreGlyphMask(cache, entry, &self->scratch_, cell_width, height, advance, left_pad);
    SortGlyphEntries(cache);
  }

  void RenderAll(const char* text, bool single_line) {
    RenderMissingGlyphs(&cache_, text, std::strlen(text), single_line, Render, this);
  }

  // Width and height of the text, rendering its glyphs first.
  void Measure(const char* text, bool single_line, int* width, int* height) {
    RenderAll(text, single_line);
    MeasureGlyphText(&cache_, text, std::strlen(text), single_line, width, height);
  }

  GlyphCache cache_;
  MemoryBitmap scratch_;
  int renders = 0;
};

uint32_t Pixel(const Bitmap& b, int x, int y) {
  return b.Bits()[y * b.RowSpan() + x];
}

}  // namespace

TEST(GlyphDecoding, EveryLeadByteClass) {
  ExpectDecoded("A", 'A', 1);
  ExpectDecoded(std::string(1, '\0'), 0, 1);
  // Stray continuation bytes and the overlong leads 0xC0, 0xC1 stand for themselves.
  ExpectDecoded("\x80", 0x80, 1);
  ExpectDecoded("\xBF\x80", 0xBF, 1);
  ExpectDecoded("\xC1\x81", 0xC1, 1);
  // Two bytes.
  ExpectDecoded("\xC3\xA9", 0xE9, 2);
  ExpectDecoded("\xDF\xBF", 0x7FF, 2);
  ExpectDecoded("\xC3" "A", 0xC3, 1);            // no continuation
  ExpectDecoded("\xC3\xA9", 0xC3, 1, 1);          // the budget ends before it
  // Three bytes.
  ExpectDecoded("\xE2\x82\xAC", 0x20AC, 3);
  ExpectDecoded("\xCE\x92", 0x392, 2);
  ExpectDecoded("\xE2\x82" "A", 0xE2, 1);
  ExpectDecoded("\xE2\x82\xAC", 0xE2, 1, 2);
  // Four bytes: drawn as a space.
  ExpectDecoded("\xF0\x9F\x98\x80", 32, 4);
  ExpectDecoded("\xF4\x8F\xBF\xBF", 32, 4);
  ExpectDecoded("\xF0\x9F\x98\x80", 0xF0, 1, 3);
  ExpectDecoded("\xF0\x9F\x98" "A", 0xF0, 1);
  // Leads above 0xF4 stand for themselves.
  ExpectDecoded("\xF5\x80\x80\x80", 0xF5, 1);
  ExpectDecoded("\xFF", 0xFF, 1);
}

TEST(GlyphDecoding, LetterWithCombiningMarkIsOneComposite) {
  ExpectDecoded("e\xCC\x81", 'e' + (0x301u << 20), 3);
  ExpectDecoded("Z\xCD\xAF", 'Z' + (0x36Fu << 20), 3);
  ExpectDecoded("a\xCC\x80x", 'a' + (0x300u << 20), 3);
  ExpectDecoded("e\xCC\x81", 'e', 1, 2);          // no room for the mark
  ExpectDecoded("e\xCD\xB0", 'e', 1);             // U+0370 is no combining mark
  ExpectDecoded("1\xCC\x81", '1', 1);             // only letters combine
  ExpectDecoded("\xC3\xA9\xCC\x81", 0xE9, 2);     // nor do non-ASCII letters
}

TEST(GlyphCacheTest, ExtendedEntriesStaySortedAndAreFound) {
  GlyphCache cache;
  InitGlyphCache(&cache);
  EXPECT_EQ(FindGlyphEntry(&cache, 0x3A9), nullptr);
  const uint32_t codes[] = {0x3A9, 0x100, 0x20AC, 0x392, 'e' + (0x301u << 20)};
  for (uint32_t code : codes) {
    ASSERT_NE(AddGlyphEntry(&cache, code), nullptr);
    SortGlyphEntries(&cache);
  }
  for (uint32_t code : codes) {
    GlyphEntry* entry = FindGlyphEntry(&cache, code);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(entry->code), code);
  }
  EXPECT_EQ(AddGlyphEntry(&cache, 0x392), FindGlyphEntry(&cache, 0x392));   // no duplicate
  EXPECT_EQ(cache.extended.used, 5 * sizeof(GlyphEntry));
  // Codes below 128 index the direct table.
  EXPECT_EQ(FindGlyphEntry(&cache, 'a'), &cache.direct['a']);
  ClearGlyphCache(&cache);
  EXPECT_EQ(FindGlyphEntry(&cache, 0x3A9), nullptr);
  EXPECT_EQ(cache.store.data, nullptr);
  FreeGlyphCache(&cache);
}

TEST(GlyphCacheTest, MasksAreTrimmedToInkedColumnsButKeepTheAdvance) {
  MemoryBitmap scratch(32, 8);
  GlyphCache cache;
  InitGlyphCache(&cache);
  auto paint = [&scratch](int from, int to) {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 32; ++x)
        scratch.Bits()[y * scratch.RowSpan() + x] = (x >= from && x < to && y == 3) ? 0xFF40C0FF : 0xFF000000;
  };
  // Left pad 2, advance 4, cell 9: ink from column 1 (left of the pen) to 3.
  paint(1, 4);
  GlyphEntry a = {};
  StoreGlyphMask(&cache, &a, &scratch, 9, 8, 4, 2);
  EXPECT_EQ(a.position, 1);
  EXPECT_EQ(a.width, 5);      // columns 1 to 5: up to left pad + advance
  EXPECT_EQ(a.height, 8);
  EXPECT_EQ(a.advance, 4);
  EXPECT_EQ(a.overhang, 1);
  EXPECT_EQ(cache.store.used, 40u);
  // The red byte is the coverage.
  EXPECT_EQ(cache.store.data[3 * 5 + 0], 0x40);
  EXPECT_EQ(cache.store.data[3 * 5 + 3], 0);
  // Ink past the advance (into the right pad) is kept.
  paint(3, 9);
  GlyphEntry b = {};
  StoreGlyphMask(&cache, &b, &scratch, 9, 8, 4, 2);
  EXPECT_EQ(b.position, 41);
  EXPECT_EQ(b.width, 7);
  EXPECT_EQ(b.overhang, 0);
  // No ink (a space): the advance's columns only.
  paint(0, 0);
  GlyphEntry space = {};
  StoreGlyphMask(&cache, &space, &scratch, 9, 8, 4, 2);
  EXPECT_EQ(space.width, 4);
  EXPECT_EQ(space.overhang, 0);
  EXPECT_TRUE(GlyphHasMask(&cache, &space));
  EXPECT_EQ(cache.store.used, 40u + 56u + 32u);
  FreeGlyphCache(&cache);
}

TEST(GlyphMeasuring, EmptyTextHasNoExtent) {
  FakeGlyphs glyphs(16);
  int w = -1, h = -1;
  glyphs.Measure("", true, &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(GlyphTextLength("abc", -1), 3u);
  EXPECT_EQ(GlyphTextLength("abc", 2), 2u);
  EXPECT_EQ(GlyphTextLength(nullptr, -1), 0u);
}

TEST(GlyphMeasuring, LineFeedIsASpaceOnASingleLineAndABreakOtherwise) {
  FakeGlyphs glyphs(16);
  glyphs.cache_.extra_line_spacing = 3;
  int w = 0, h = 0, w2 = 0, h2 = 0;
  glyphs.Measure("a\nb", true, &w, &h);
  glyphs.Measure("a b", true, &w2, &h2);
  EXPECT_EQ(w, w2);
  EXPECT_EQ(h, h2);
  EXPECT_EQ(w, 6 + 4 + 6);
  EXPECT_EQ(h, 16);
  glyphs.Measure("a\nbb", false, &w, &h);
  EXPECT_EQ(w, 12);
  EXPECT_EQ(h, 16 + 3 + 16);   // one line height plus the extra spacing apart
  // Carriage returns are skipped.
  glyphs.Measure("a\r\r", true, &w, &h);
  EXPECT_EQ(w, 6);
}

TEST(GlyphMeasuring, FourByteCharacterIsOneSpaceAndCompositeOneGlyph) {
  FakeGlyphs glyphs(16);
  int w = 0, h = 0, w2 = 0, h2 = 0;
  glyphs.Measure("a\xF0\x9F\x98\x80" "b", true, &w, &h);
  glyphs.Measure("a b", true, &w2, &h2);
  EXPECT_EQ(w, w2);
  int renders = glyphs.renders;
  glyphs.Measure("e\xCC\x81", true, &w, &h);
  EXPECT_EQ(w, 7);   // one glyph, one advance
  EXPECT_EQ(glyphs.renders, renders + 1);
  // Rendered glyphs are not rendered again.
  glyphs.Measure("e\xCC\x81 ab", true, &w, &h);
  EXPECT_EQ(glyphs.renders, renders + 1);
}

TEST(GlyphDrawing, WalkPlacesEveryGlyphAtThePen) {
  FakeGlyphs glyphs(10);
  glyphs.RenderAll("ai\nb", false);
  struct Call {
    uint32_t code;
    int x, y;
  };
  std::vector<Call> calls;
  auto record = [](void* context, uint32_t code, int x, int y) {
    static_cast<std::vector<Call>*>(context)->push_back({code, x, y});
    return true;
  };
  int height = DrawGlyphText(&glyphs.cache_, "ai\nb", 4, false, 5, 7, record, &calls);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].x, 5);
  EXPECT_EQ(calls[1].x, 11);
  EXPECT_EQ(calls[1].code, static_cast<uint32_t>('i'));
  EXPECT_EQ(calls[2].x, 5);
  EXPECT_EQ(calls[2].y, 17);
  EXPECT_EQ(height, 20);
  // Codes without a rendered entry are skipped without advancing.
  calls.clear();
  DrawGlyphText(&glyphs.cache_, "aZa", 3, true, 0, 0, record, &calls);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].x, 6);
}

TEST(GlyphBlending, FullOpacityFormulaWithTruncatingDivision) {
  EXPECT_EQ(BlendGlyphByte(0, 255, 128, 256), 129);
  EXPECT_EQ(BlendGlyphByte(37, 200, 255, 256), 200);    // full coverage: the ink exactly
  EXPECT_EQ(BlendGlyphByte(200, 100, 64, 256), 174);   // 100 * 191 / 256 = 74.6 -> 74
  EXPECT_EQ(BlendGlyphByte(10, 200, 100, 256), 85);    // -190 * 155 / 256 = -115.04 -> -115
  EXPECT_EQ(BlendGlyphByte(255, 0, 1, 256), 253);      // 255 * 254 / 256 = 253.01 -> 253
}

TEST(GlyphBlending, PartialOpacityFormulaWithTruncatingDivision) {
  // a = 128: w = 256 - 127 = 129; 255 - 255 * 129 / 256 = 255 - 128 (not 129).
  EXPECT_EQ(BlendGlyphByte(0, 255, 255, 128), 127);
  // a = 200, c = 100: w = 256 - 78 = 178; 255 * 178 / 256 = 177.3 -> 177.
  EXPECT_EQ(BlendGlyphByte(255, 0, 100, 200), 177);
  // a * c / 256 is capped at 256: with a above 256 full coverage gives the ink.
  EXPECT_EQ(BlendGlyphByte(17, 90, 255, 600), 90);
  EXPECT_EQ(BlendGlyphByte(17, 90, 1, 1), 17);         // weight 256: unchanged
}

class GlyphMaskTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitGlyphCache(&cache_);
    // A 4 x 2 glyph 'x' with coverage 255, and 128 in its second row.
    GlyphEntry* entry = AddGlyphEntry(&cache_, 'x');
    const unsigned char mask[8] = {255, 255, 255, 255, 128, 128, 128, 128};
    AppendToBuffer(&cache_.store, mask, sizeof mask);
    *entry = {1, 4, 2, 4, 'x', 0};
  }
  void TearDown() override { FreeGlyphCache(&cache_); }

  bool Draw(int x, int y, GlyphClip clip, float opacity = 1.0f) {
    ClearTarget();
    GlyphInk ink = {0xFFC0C0C0, 0xFFFFFFFF, 1, 0, opacity};
    return DrawGlyphMask(&target_, &cache_, 'x', x, y, clip, ink);
  }
  void ClearTarget() {
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) target_.Bits()[y * target_.RowSpan() + x] = 0xFF000000;
  }
  // The columns of a row that are no longer black.
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
  // Coverage 128 over black: (0 - 192) * 127 / 256 + 192 = 97 (0x61); alpha stays 255.
  EXPECT_EQ(Pixel(target_, 5, 4), 0xFF616161u);
  EXPECT_EQ(Pixel(target_, 6, 3), 0xFF000000u);
  // Half opacity: a = 128; coverage 255 gives w = 129: 192 - 192 * 129 / 256 = 96.
  ASSERT_TRUE(Draw(2, 3, {0, 0, 10, 10}, 0.5f));
  EXPECT_EQ(Pixel(target_, 2, 3), 0xFF606060u);
  // An opacity that truncates to 0 leaves everything as it was.
  EXPECT_TRUE(Draw(2, 3, {0, 0, 10, 10}, 0.003f));
  EXPECT_EQ(InkedColumns(3), "..........");
  // An overhang moves the mask left of the pen.
  FindGlyphEntry(&cache_, 'x')->overhang = 2;
  ASSERT_TRUE(Draw(2, 3, {0, 0, 10, 10}));
  EXPECT_EQ(InkedColumns(3), "####......");
}

TEST_F(GlyphMaskTest, ClipsAtEveryEdge) {
  GlyphClip clip = {2, 2, 8, 8};
  ASSERT_TRUE(Draw(0, 3, clip));                  // left edge
  EXPECT_EQ(InkedColumns(3), "..##......");
  ASSERT_TRUE(Draw(6, 3, clip));                  // right edge
  EXPECT_EQ(InkedColumns(3), "......##..");
  ASSERT_TRUE(Draw(3, 1, clip));                  // top edge: only the second row
  EXPECT_EQ(InkedColumns(1), "..........");
  EXPECT_EQ(InkedColumns(2), "...####...");
  EXPECT_EQ(Pixel(target_, 3, 2), 0xFF616161u);
  ASSERT_TRUE(Draw(3, 7, clip));                  // bottom edge: only the first row
  EXPECT_EQ(InkedColumns(7), "...####...");
  EXPECT_EQ(InkedColumns(8), "..........");
  // Wholly outside: nothing drawn, but reported as handled.
  EXPECT_TRUE(Draw(8, 3, clip));
  EXPECT_TRUE(Draw(-2, 3, clip));
  EXPECT_TRUE(Draw(3, 8, clip));
  EXPECT_TRUE(Draw(3, 0, clip));
  for (int y = 0; y < 10; ++y) EXPECT_EQ(InkedColumns(y), "..........");
  // A clip beyond the target is cut to it.
  ASSERT_TRUE(Draw(8, 9, {0, 0, 100, 100}));
  EXPECT_EQ(InkedColumns(9), "........##");
  // A code with no entry.
  GlyphInk ink = {0xFFFFFFFF, 0, 1, 0, 1.0f};
  EXPECT_FALSE(DrawGlyphMask(&target_, &cache_, 'y', 0, 0, {0, 0, 10, 10}, ink));
}

TEST_F(GlyphMaskTest, OpaqueBackgroundFillsTheClippedBox) {
  ClearTarget();
  GlyphInk ink = {0xFF000000, 0xFF0000FF, 2, 0, 1.0f};
  ASSERT_TRUE(DrawGlyphMask(&target_, &cache_, 'x', 7, 0, {0, 0, 9, 10}, ink));
  EXPECT_EQ(Pixel(target_, 8, 1), 0xFF00007Eu);   // blue under coverage 128 of black: 255 * 127 / 256
  EXPECT_EQ(Pixel(target_, 9, 1), 0xFF000000u);   // outside the clip
  EXPECT_EQ(Pixel(target_, 8, 2), 0xFF000000u);   // below the glyph box
}

TEST(GlyphClipTest, RectangleMeetsTheTarget) {
  MemoryBitmap target(20, 10);
  GlyphClip clip;
  ASSERT_TRUE(GlyphDrawingClip(&target, -5, 2, 30, 8, false, &clip));
  EXPECT_EQ(clip.left, 0);
  EXPECT_EQ(clip.top, 2);
  EXPECT_EQ(clip.right, 20);
  EXPECT_EQ(clip.bottom, 8);
  EXPECT_FALSE(GlyphDrawingClip(&target, 25, 0, 40, 5, false, &clip));   // wholly outside
  EXPECT_FALSE(GlyphDrawingClip(&target, 3, 3, 3, 9, false, &clip));     // empty
  ASSERT_TRUE(GlyphDrawingClip(&target, 25, 0, 40, 5, true, &clip));     // DT_NOCLIP: the whole target
  EXPECT_EQ(clip.right, 20);
  EXPECT_EQ(clip.bottom, 10);
}
