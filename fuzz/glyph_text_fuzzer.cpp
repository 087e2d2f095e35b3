// The glyph text walk on any text: UTF-8 decoding against a reference
// decoder written from the rules, measuring, and drawing clipped into a
// bitmap. Glyphs come from a stand-in for GDI whose masks and advances
// follow the code, empty glyphs included. Drawing must leave every pixel
// outside the clip as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "auxwindows/glyph_text.h"
#include "raster/memory_bitmap.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

bool Continues(const uint8_t* text, size_t remaining, size_t index) {
  return index < remaining && (text[index] & 0xC0) == 0x80;
}

uint32_t ReferenceCharacter(const uint8_t* text, size_t remaining, size_t* consumed) {
  uint8_t lead = text[0];
  *consumed = 1;
  if (lead >= 0xC2 && lead <= 0xDF && Continues(text, remaining, 1)) {
    *consumed = 2;
    return ((lead & 0x1Fu) << 6) | (text[1] & 0x3Fu);
  }
  if (lead >= 0xE0 && lead <= 0xEF && Continues(text, remaining, 1) && Continues(text, remaining, 2)) {
    *consumed = 3;
    return ((lead & 0x0Fu) << 12) | ((text[1] & 0x3Fu) << 6) | (text[2] & 0x3Fu);
  }
  if (lead >= 0xF0 && lead <= 0xF4 && Continues(text, remaining, 1) && Continues(text, remaining, 2) &&
      Continues(text, remaining, 3)) {
    *consumed = 4;
    return 32;
  }
  return lead;
}

uint32_t ReferenceCode(const uint8_t* text, size_t remaining, size_t* consumed) {
  uint32_t code = ReferenceCharacter(text, remaining, consumed);
  bool letter = (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
  if (*consumed == 1 && letter && remaining > 2) {
    size_t mark_bytes = 0;
    uint32_t mark = ReferenceCharacter(text + 1, remaining - 1, &mark_bytes);
    if (mark >= 0x300 && mark <= 0x36F) {
      *consumed += mark_bytes;
      return code + (mark << 20);
    }
  }
  return code;
}

struct Glyphs {
  GlyphCache cache;
  MemoryBitmap scratch{48, 48};   // larger than any cell below
  MemoryBitmap* target;
  GlyphClip clip;
  GlyphInk ink;
  int drawn;
};

// A glyph whose advance, ink and height follow its code; every eleventh code
// has no ink and no advance.
void Render(void* context, uint32_t code) {
  Glyphs* g = static_cast<Glyphs*>(context);
  GlyphEntry* entry = AddGlyphEntry(&g->cache, code);
  if (!entry) return;
  int line_height = g->cache.line_height;
  int pad = GlyphLeftPad(line_height);
  int advance = code % 11 == 0 ? 0 : 1 + static_cast<int>(code % 13);
  int ink_from = static_cast<int>(code % 5);
  int ink_to = pad + advance + static_cast<int>(code % 3);
  int height = line_height;
  int cell_width = pad + advance + GlyphRightPad(line_height);
  for (int y = 0; y < height; y++) {
    uint32_t* row = g->scratch.Bits() + y * g->scratch.RowSpan();
    for (int x = 0; x < cell_width; x++) {
      bool ink = x >= ink_from && x < ink_to && y % 3 != 1;
      row[x] = ink ? 0xFF000000u | ((code * 37 + x) & 0xFFu) << 16 : 0xFF000000u;
    }
  }
  StoreGlyphMask(&g->cache, entry, &g->scratch, cell_width, height, advance, pad);
  SortGlyphEntries(&g->cache);
}

bool Draw(void* context, uint32_t code, int x, int y) {
  Glyphs* g = static_cast<Glyphs*>(context);
  g->drawn++;
  return DrawGlyphMask(g->target, &g->cache, code, x, y, g->clip, g->ink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  uint8_t flags = data[0];
  bool single_line = flags & 1;
  bool no_clip = flags & 2;
  int line_height = 1 + data[1] % 40;
  int width = 1 + data[2] % 64, height = 1 + data[3] % 64;
  int left = static_cast<int8_t>(data[4]), top = static_cast<int8_t>(data[5]);
  int right = left + data[6] % 96, bottom = top + data[7] % 96;
  float opacity = (data[8] % 5) / 4.0f;
  int background_mode = 1 + (data[9] & 1);
  const uint8_t* text = data + 10;
  size_t length = size - 10;

  // Decoding, character by character, against the reference.
  for (size_t at = 0; at < length;) {
    size_t consumed = 0, expected_consumed = 0;
    uint32_t code = DecodeGlyphCode(text + at, length - at, &consumed);
    uint32_t expected = ReferenceCode(text + at, length - at, &expected_consumed);
    Require(code == expected && consumed == expected_consumed);
    Require(consumed >= 1 && consumed <= length - at);
    at += consumed;
  }

  Glyphs g;
  InitGlyphCache(&g.cache);
  g.cache.line_height = line_height;
  g.cache.extra_line_spacing = flags >> 4;
  MemoryBitmap target(width, height);
  for (int i = 0; i < target.RowSpan() * height; i++) target.Bits()[i] = 0x12345678u + i;
  g.target = &target;
  g.ink = {0xFF20A0E0u, 0xFF000080u, background_mode, 0, opacity};
  g.drawn = 0;

  const char* chars = reinterpret_cast<const char*>(text);
  RenderMissingGlyphs(&g.cache, chars, length, single_line, Render, &g);
  int measured_width = -1, measured_height = -1;
  MeasureGlyphText(&g.cache, chars, length, single_line, &measured_width, &measured_height);
  Require(measured_width >= 0 && measured_height >= 0);

  if (GlyphDrawingClip(&target, left, top, right, bottom, no_clip, &g.clip)) {
    Require(g.clip.left >= 0 && g.clip.top >= 0 && g.clip.right <= width && g.clip.bottom <= height);
    int drawn_height = DrawGlyphText(&g.cache, chars, length, single_line, left, top, Draw, &g);
    Require(drawn_height >= 0);
    for (int y = 0; y < height; y++) {
      for (int x = 0; x < width; x++) {
        bool inside = x >= g.clip.left && x < g.clip.right && y >= g.clip.top && y < g.clip.bottom;
        int i = y * target.RowSpan() + x;
        if (!inside) Require(target.Bits()[i] == 0x12345678u + i);
      }
    }
  }
  FreeGlyphCache(&g.cache);
  return 0;
}
