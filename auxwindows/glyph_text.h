#pragma once
// The platform-free half of the glyph font: decoding UTF-8 into glyph codes,
// the glyph cache (entries and coverage masks), walking a text to measure or
// draw it, and blending one coverage mask into a bitmap. The GDI half that
// renders glyphs into the cache is glyph_font.h.
#include <cstddef>
#include <cstdint>

#include "base/growable_buffer.h"
#include "raster/bitmap.h"

// DrawString flags: the Windows DT_ values this font honours, and two of its own.
const unsigned GLYPH_DT_SINGLELINE = 0x20;
const unsigned GLYPH_DT_NOCLIP = 0x100;
const unsigned GLYPH_DT_CALCRECT = 0x400;
const unsigned GLYPH_DT_NOPREFIX = 0x800;
const unsigned TEXT_USE_COLOR_ALPHA = 0x40000000;
const unsigned TEXT_KEEP_ALPHA = 0x80000000;

// Font option: the font handle is deleted when replaced by another or when
// the font is destroyed.
const unsigned FONT_OWNS_HANDLE = 0x200;

// An ASCII letter followed by a combining mark is one glyph with this code:
// letter + (mark << 20).
const int GLYPH_COMPOSITE_SHIFT = 20;

struct GlyphEntry {
  int32_t position;   // 0 not rendered; -1 rendered and empty; else 1 + offset in the store
  int32_t width;      // mask size in pixels
  int32_t height;
  int32_t advance;    // pen movement after the glyph
  int32_t code;       // key in the extended list
  int32_t overhang;   // pixels the mask starts left of the pen (never negative)
};

struct GlyphCache {
  GlyphEntry direct[128];   // codes 0 to 127, by code
  GrowableBuffer extended;  // GlyphEntry records of all other codes, sorted by code
  GrowableBuffer store;     // every mask, one coverage byte per pixel, row by row
  int line_height;
  int extra_line_spacing;
};

// Decodes one character of text (remaining bytes available, at least 1):
// the glyph code, and the bytes it took in *consumed. A letter followed by a
// combining mark U+0300 to U+036F comes out as one composite code.
uint32_t DecodeGlyphCode(const unsigned char* text, size_t remaining, size_t* consumed);

void InitGlyphCache(GlyphCache* cache);
// Forgets every glyph: the direct entries zeroed, the list and the store emptied and freed.
void ClearGlyphCache(GlyphCache* cache);
// Frees the list and the store.
void FreeGlyphCache(GlyphCache* cache);

// The entry of code, or null when there is none. Pointers into the extended
// list stay valid only until the next entry is added.
GlyphEntry* FindGlyphEntry(GlyphCache* cache, uint32_t code);
// The entry of code, appending a zeroed one to the extended list when the code
// has none (the list is then unsorted until SortGlyphEntries). Null when the
// list cannot grow.
GlyphEntry* AddGlyphEntry(GlyphCache* cache, uint32_t code);
void SortGlyphEntries(GlyphCache* cache);

// Marks an entry rendered and empty: nothing to draw, no advance.
void SetEmptyGlyph(GlyphEntry* entry);

// Stores the mask of one rendered glyph: the red bytes of the cell (0, 0,
// cell_width, height) of the scratch bitmap (white ink on black), trimmed to
// the inked columns but never into the advance's columns after the left pad.
// The entry is made empty when the store cannot grow.
void StoreGlyphMask(GlyphCache* cache, GlyphEntry* entry, const Bitmap* scratch, int cell_width,
                    int height, int advance, int left_pad);

// The pads around a glyph's cell, from the line height.
int GlyphLeftPad(int line_height);
int GlyphRightPad(int line_height);

// True when the entry's mask lies within the store.
bool GlyphHasMask(const GlyphCache* cache, const GlyphEntry* entry);

// Called for every code of a text that has no rendered entry yet.
typedef void (*GlyphRenderFunction)(void* context, uint32_t code);
// Called to draw one glyph with the pen at (x, y).
typedef bool (*GlyphDrawFunction)(void* context, uint32_t code, int x, int y);

// Byte count of a DrawString call: a negative count means up to the terminating zero.
size_t GlyphTextLength(const char* text, int count);

// Renders (through render) every code of the text that has no entry yet.
void RenderMissingGlyphs(GlyphCache* cache, const char* text, size_t length, bool single_line,
                         GlyphRenderFunction render, void* context);

// The text's extent from (0, 0): widest x into *width, deepest y into
// *height. Codes without a rendered entry add nothing.
void MeasureGlyphText(GlyphCache* cache, const char* text, size_t length, bool single_line,
                      int* width, int* height);

// Walks the text from the pen (x, y) and draws each glyph with a mask
// through draw; returns the bottom of the lowest glyph drawn minus y (0 when
// none was drawn).
int DrawGlyphText(GlyphCache* cache, const char* text, size_t length, bool single_line, int x,
                  int y, GlyphDrawFunction draw, void* context);

struct GlyphClip {
  int left, top, right, bottom;
};

// The clip of a drawing: rect intersected with the bitmap, or the whole
// bitmap with no_clip. False when it is empty.
bool GlyphDrawingClip(const Bitmap* target, int left, int top, int right, int bottom, bool no_clip,
                      GlyphClip* clip);

// How one glyph is put into the target.
struct GlyphInk {
  uint32_t foreground;
  uint32_t background;
  int background_mode;   // 2: the glyph box is filled with the background first
  int blend_mode;
  float opacity;
};

// New value of one byte: old blended toward the ink byte k by coverage c at
// alpha256 = trunc(opacity * 256) (256 is full opacity). Divisions truncate
// toward zero.
int BlendGlyphByte(int old_value, int k, int c, int alpha256);

// Draws the mask of code with the pen at (x, y), clipped to clip. False when
// the code has no entry or nothing was left after clipping.
bool DrawGlyphMask(Bitmap* target, GlyphCache* cache, uint32_t code, int x, int y,
                   const GlyphClip& clip, const GlyphInk& ink);
