#include "auxwindows/glyph_text.h"

#include <algorithm>
#include <cstring>

#include "raster/blitting.h"

namespace {

const size_t EXTENDED_LIST_STEP = 4096;
const size_t GLYPH_STORE_STEP = 65536;

bool IsContinuation(const unsigned char* text, size_t remaining, size_t index) {
  return index < remaining && (text[index] & 0xC0) == 0x80;
}

// One UTF-8 character; invalid or stray bytes come out as themselves.
uint32_t DecodeCharacter(const unsigned char* text, size_t remaining, size_t* consumed) {
  uint32_t lead = text[0];
  *consumed = 1;
  if (lead < 0xC2) return lead;
  if (lead <= 0xDF) {
    if (!IsContinuation(text, remaining, 1)) return lead;
    *consumed = 2;
    return ((lead & 0x1F) << 6) | (text[1] & 0x3F);
  }
  if (lead <= 0xEF) {
    if (!IsContinuation(text, remaining, 1) || !IsContinuation(text, remaining, 2)) return lead;
    *consumed = 3;
    return ((lead & 0x0F) << 12) | ((text[1] & 0x3Fu) << 6) | (text[2] & 0x3F);
  }
  if (lead <= 0xF4 && IsContinuation(text, remaining, 1) && IsContinuation(text, remaining, 2) &&
      IsContinuation(text, remaining, 3)) {
    // Characters outside the Basic Multilingual Plane are drawn as spaces.
    *consumed = 4;
    return 32;
  }
  return lead;
}

bool IsAsciiLetter(uint32_t code) {
  return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
}

GlyphEntry* ExtendedEntries(GlyphCache* cache) {
  return reinterpret_cast<GlyphEntry*>(cache->extended.data);
}

size_t ExtendedCount(const GlyphCache* cache) {
  return cache->extended.used / sizeof(GlyphEntry);
}

// Walks a text character by character: carriage returns are skipped, and a
// line feed is a space on a single line or a line break otherwise.
struct TextWalk {
  const unsigned char* text;
  size_t remaining;
  bool single_line;
};

enum WalkStep { WALK_END, WALK_GLYPH, WALK_NEW_LINE };

WalkStep NextStep(TextWalk* walk, uint32_t* code) {
  while (walk->remaining > 0) {
    size_t consumed = 1;
    uint32_t c = DecodeGlyphCode(walk->text, walk->remaining, &consumed);
    walk->text += consumed;
    walk->remaining -= consumed;
    if (c == '\r') continue;
    if (c == '\n') {
      if (!walk->single_line) return WALK_NEW_LINE;
      c = ' ';
    }
    *code = c;
    return WALK_GLYPH;
  }
  return WALK_END;
}

}  // namespace

uint32_t DecodeGlyphCode(const unsigned char* text, size_t remaining, size_t* consumed) {
  uint32_t code = DecodeCharacter(text, remaining, consumed);
  if (*consumed == 1 && IsAsciiLetter(code) && remaining > 2) {
    size_t mark_bytes = 1;
    uint32_t mark = DecodeCharacter(text + 1, remaining - 1, &mark_bytes);
    if (mark >= 0x300 && mark <= 0x36F) {
      *consumed += mark_bytes;
      return code + (mark << GLYPH_COMPOSITE_SHIFT);
    }
  }
  return code;
}

void InitGlyphCache(GlyphCache* cache) {
  std::memset(cache->direct, 0, sizeof cache->direct);
  cache->extended = MakeGrowableBuffer(EXTENDED_LIST_STEP);
  cache->store = MakeGrowableBuffer(GLYPH_STORE_STEP);
  cache->line_height = 0;
  cache->extra_line_spacing = 0;
}

void ClearGlyphCache(GlyphCache* cache) {
  std::memset(cache->direct, 0, sizeof cache->direct);
  SetBufferSize(&cache->extended, 0, false);
  SetBufferSize(&cache->store, 0, true);
}

void FreeGlyphCache(GlyphCache* cache) {
  FreeBuffer(&cache->extended);
  FreeBuffer(&cache->store);
}

GlyphEntry* FindGlyphEntry(GlyphCache* cache, uint32_t code) {
  if (code < 128) return &cache->direct[code];
  GlyphEntry* entries = ExtendedEntries(cache);
  size_t low = 0;
  size_t high = ExtendedCount(cache);
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    uint32_t key = static_cast<uint32_t>(entries[middle].code);
    if (key == code) return &entries[middle];
    if (key < code) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return nullptr;
}

GlyphEntry* AddGlyphEntry(GlyphCache* cache, uint32_t code) {
  GlyphEntry* found = FindGlyphEntry(cache, code);
  if (found) return found;
  GlyphEntry entry = {};
  entry.code = static_cast<int32_t>(code);
  if (!AppendToBuffer(&cache->extended, &entry, sizeof entry)) return nullptr;
  return &ExtendedEntries(cache)[ExtendedCount(cache) - 1];
}

void SortGlyphEntries(GlyphCache* cache) {
  GlyphEntry* entries = ExtendedEntries(cache);
  if (!entries) return;
  std::sort(entries, entries + ExtendedCount(cache), [](const GlyphEntry& a, const GlyphEntry& b) {
    return static_cast<uint32_t>(a.code) < static_cast<uint32_t>(b.code);
  });
}

void SetEmptyGlyph(GlyphEntry* entry) {
  entry->position = -1;
  entry->width = 0;
  entry->height = 0;
  entry->advance = 0;
  entry->overhang = 0;
}

int GlyphLeftPad(int line_height) {
  return std::max(line_height / 16, 0) + 2;
}

int GlyphRightPad(int line_height) {
  return std::max(line_height / 8, 0) + 2;
}

void StoreGlyphMask(GlyphCache* cache, GlyphEntry* entry, const Bitmap* scratch, int cell_width,
                    int height, int advance, int left_pad) {
  cell_width = std::min(cell_width, scratch->Width());
  height = std::min(height, scratch->Height());
  const uint32_t* bits = scratch->Bits();
  if (!bits || cell_width < 1 || height < 1 || advance < 1) {
    SetEmptyGlyph(entry);
    return;
  }
  size_t offset = cache->store.used;
  size_t cell_bytes = static_cast<size_t>(cell_width) * static_cast<size_t>(height);
  if (!SetBufferSize(&cache->store, offset + cell_bytes, false)) {
    SetEmptyGlyph(entry);
    return;
  }
  unsigned char* mask = cache->store.data + offset;
  int inked_left = cell_width;
  int inked_end = 0;
  for (int row = 0; row < height; ++row) {
    int source_row = scratch->IsFlipped() ? scratch->Height() - 1 - row : row;
    const uint32_t* pixels = bits + static_cast<size_t>(source_row) * scratch->RowSpan();
    unsigned char* out = mask + static_cast<size_t>(row) * cell_width;
    for (int column = 0; column < cell_width; ++column) {
      unsigned char coverage = static_cast<unsigned char>(pixels[column] >> 16);
      out[column] = coverage;
      if (coverage) {
        inked_left = std::min(inked_left, column);
        inked_end = std::max(inked_end, column + 1);
      }
    }
  }
  // Trim to the inked columns, but keep the advance's columns after the pad.
  int first = std::max(std::min(inked_left, left_pad), 0);
  int end = std::min(std::max(inked_end, left_pad + advance), cell_width);
  if (end < first) end = first;
  int width = end - first;
  if (first > 0 || end < cell_width) {
    for (int row = 0; row < height; ++row) {
      std::memmove(mask + static_cast<size_t>(row) * width,
                   mask + static_cast<size_t>(row) * cell_width + first, static_cast<size_t>(width));
    }
    SetBufferSize(&cache->store, offset + static_cast<size_t>(width) * height, false);
  }
  entry->position = static_cast<int32_t>(offset + 1);
  entry->width = width;
  entry->height = height;
  entry->advance = advance;
  entry->overhang = left_pad - first;
}

bool GlyphHasMask(const GlyphCache* cache, const GlyphEntry* entry) {
  if (!entry || entry->position < 1 || entry->width < 0 || entry->height < 0) return false;
  size_t offset = static_cast<size_t>(entry->position) - 1;
  size_t bytes = static_cast<size_t>(entry->width) * static_cast<size_t>(entry->height);
  return offset <= cache->store.used && bytes <= cache->store.used - offset;
}

size_t GlyphTextLength(const char* text, int count) {
  if (!text) return 0;
  if (count < 0) return std::strlen(text);
  return static_cast<size_t>(count);
}

void RenderMissingGlyphs(GlyphCache* cache, const char* text, size_t length, bool single_line,
                         GlyphRenderFunction render, void* context) {
  TextWalk walk = {reinterpret_cast<const unsigned char*>(text), length, single_line};
  uint32_t code = 0;
  for (WalkStep step; (step = NextStep(&walk, &code)) != WALK_END;) {
    if (step != WALK_GLYPH) continue;
    GlyphEntry* entry = FindGlyphEntry(cache, code);
    if (!entry || entry->position == 0) render(context, code);
  }
}

void MeasureGlyphText(GlyphCache* cache, const char* text, size_t length, bool single_line,
                      int* width, int* height) {
  TextWalk walk = {reinterpret_cast<const unsigned char*>(text), length, single_line};
  int64_t pen = 0;
  int64_t line_top = 0;
  int64_t widest = 0;
  int64_t deepest = 0;
  uint32_t code = 0;
  for (WalkStep step; (step = NextStep(&walk, &code)) != WALK_END;) {
    if (step == WALK_NEW_LINE) {
      pen = 0;
      line_top += cache->line_height + cache->extra_line_spacing;
      continue;
    }
    const GlyphEntry* entry = FindGlyphEntry(cache, code);
    if (!GlyphHasMask(cache, entry)) continue;
    widest = std::max({widest, pen + entry->advance, pen + entry->width - entry->overhang});
    deepest = std::max(deepest, line_top + entry->height);
    pen += entry->advance;
  }
  *width = static_cast<int>(std::min<int64_t>(widest, INT32_MAX));
  *height = static_cast<int>(std::min<int64_t>(deepest, INT32_MAX));
}

int DrawGlyphText(GlyphCache* cache, const char* text, size_t length, bool single_line, int x,
                  int y, GlyphDrawFunction draw, void* context) {
  TextWalk walk = {reinterpret_cast<const unsigned char*>(text), length, single_line};
  int64_t pen_x = x;
  int64_t pen_y = y;
  int64_t lowest = y;
  uint32_t code = 0;
  for (WalkStep step; (step = NextStep(&walk, &code)) != WALK_END;) {
    if (step == WALK_NEW_LINE) {
      pen_x = x;
      pen_y += cache->line_height + cache->extra_line_spacing;
      continue;
    }
    const GlyphEntry* entry = FindGlyphEntry(cache, code);
    if (!GlyphHasMask(cache, entry)) continue;
    if (pen_x < INT32_MIN || pen_x > INT32_MAX || pen_y > INT32_MAX) break;
    int advance = entry->advance;
    lowest = std::max(lowest, pen_y + entry->height);
    draw(context, code, static_cast<int>(pen_x), static_cast<int>(pen_y));
    pen_x += advance;
  }
  return static_cast<int>(std::min<int64_t>(lowest - y, INT32_MAX));
}

bool GlyphDrawingClip(const Bitmap* target, int left, int top, int right, int bottom, bool no_clip,
                      GlyphClip* clip) {
  if (no_clip) {
    *clip = {0, 0, target->Width(), target->Height()};
  } else {
    *clip = {std::max(left, 0), std::max(top, 0), std::min(right, target->Width()),
             std::min(bottom, target->Height())};
  }
  return clip->left < clip->right && clip->top < clip->bottom;
}

int BlendGlyphByte(int old_value, int k, int c, int alpha256) {
  if (alpha256 == 256) return (old_value - k) * (255 - c) / 256 + k;
  int weight = 256 - std::min(alpha256 * c / 256, 256);
  return k + (old_value - k) * weight / 256;
}

bool DrawGlyphMask(Bitmap* target, GlyphCache* cache, uint32_t code, int x, int y,
                   const GlyphClip& requested_clip, const GlyphInk& ink) {
  const GlyphEntry* entry = FindGlyphEntry(cache, code);
  if (!GlyphHasMask(cache, entry) || !target || !target->Bits()) return false;
  // The clip never reaches outside the target.
  GlyphClip clip = {std::max(requested_clip.left, 0), std::max(requested_clip.top, 0),
                    std::min(requested_clip.right, target->Width()),
                    std::min(requested_clip.bottom, target->Height())};
  int64_t left = static_cast<int64_t>(x) - entry->overhang;
  int64_t top = y;
  int64_t right = left + entry->width;
  int64_t bottom = top + entry->height;
  if (left >= clip.right || top >= clip.bottom || right <= clip.left || bottom <= clip.top) {
    return true;
  }
  int clipped_left = static_cast<int>(std::max<int64_t>(left, clip.left));
  int clipped_top = static_cast<int>(std::max<int64_t>(top, clip.top));
  int clipped_right = static_cast<int>(std::min<int64_t>(right, clip.right));
  int clipped_bottom = static_cast<int>(std::min<int64_t>(bottom, clip.bottom));
  if (clipped_left >= clipped_right || clipped_top >= clipped_bottom) return false;

  if (ink.background_mode == 2) {
    int mode = (ink.blend_mode & ~USE_SOURCE_ALPHA) | IGNORE_SCALE;
    FillBitmapRect(target, clipped_left, clipped_top, clipped_right - clipped_left,
                   clipped_bottom - clipped_top, ink.background, ink.opacity, mode);
  }
  // Opacity in 1/256 steps, truncated; anything that truncates to 0 draws nothing.
  int alpha256 = 0;
  if (ink.opacity > 0) alpha256 = ink.opacity >= 256.0f ? 65536 : static_cast<int>(ink.opacity * 256);
  if (alpha256 <= 0) return true;

  const unsigned char* mask = cache->store.data + (entry->position - 1);
  uint32_t* bits = target->Bits();
  int span = target->RowSpan();
  for (int py = clipped_top; py < clipped_bottom; ++py) {
    const unsigned char* coverage =
        mask + static_cast<size_t>(py - top) * entry->width + static_cast<size_t>(clipped_left - left);
    uint32_t* pixel = bits + static_cast<size_t>(py) * span + clipped_left;
    for (int px = clipped_left; px < clipped_right; ++px, ++coverage, ++pixel) {
      int c = *coverage;
      if (!c) continue;
      uint32_t old_pixel = *pixel;
      uint32_t result = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        int old_value = static_cast<int>((old_pixel >> shift) & 0xFF);
        int k = static_cast<int>((ink.foreground >> shift) & 0xFF);
        result |= static_cast<uint32_t>(BlendGlyphByte(old_value, k, c, alpha256)) << shift;
      }
      *pixel = result;
    }
  }
  return true;
}
