#include "auxwindows/glyph_font.h"

#include <algorithm>

#include "raster/blitting.h"
#include "raster/dib_bitmap.h"

namespace {

DibBitmap* g_scratch = nullptr;
int g_live_fonts = 0;

// Makes the scratch bitmap at least size by size pixels, white ink on black.
DibBitmap* ScratchOfAtLeast(int size) {
  if (!g_scratch) g_scratch = new DibBitmap(0, 0);
  if (g_scratch->Width() < size || g_scratch->Height() < size) {
    g_scratch->Resize(std::max(g_scratch->Width(), size), std::max(g_scratch->Height(), size));
    HDC dc = g_scratch->DeviceContext();
    SetTextColor(dc, 0xFFFFFF);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, 0);
  }
  return g_scratch;
}

void RenderThroughFont(void* font, uint32_t code) {
  static_cast<GlyphFont*>(font)->RenderGlyph(code);
}

struct DrawContext {
  GlyphFont* font;
  Bitmap* target;
  RECT clip;
};

bool DrawThroughFont(void* context, uint32_t code, int x, int y) {
  DrawContext* c = static_cast<DrawContext*>(context);
  return c->font->DrawGlyph(c->target, code, x, y, &c->clip);
}

}  // namespace

DibBitmap* GlyphScratchBitmap() {
  return g_scratch;
}

GlyphFont::GlyphFont() {
  InitGlyphCache(&cache_);
  ++g_live_fonts;
}

GlyphFont::~GlyphFont() {
  if ((options_ & FONT_OWNS_HANDLE) && font_) DeleteObject(font_);
  if (--g_live_fonts == 0) {
    delete g_scratch;
    g_scratch = nullptr;
  }
  FreeGlyphCache(&cache_);
}

void GlyphFont::AttachFont(HFONT font, unsigned options) {
  if ((options_ & FONT_OWNS_HANDLE) && font_ && font_ != font) DeleteObject(font_);
  options_ = options;
  font_ = font;
  if (font_) {
    DibBitmap* scratch = ScratchOfAtLeast(256);
    HDC dc = scratch->DeviceContext();
    HGDIOBJ previous = SelectObject(dc, font_);
    TEXTMETRICW metrics = {};
    if (GetTextMetricsW(dc, &metrics)) cache_.line_height = metrics.tmHeight;
    SelectObject(dc, previous);
  }
  ClearGlyphCache(&cache_);
}

uint32_t GlyphFont::SetForegroundColor(uint32_t colour) {
  std::swap(foreground_, colour);
  return colour;
}

uint32_t GlyphFont::SetBackgroundColor(uint32_t colour) {
  std::swap(background_, colour);
  return colour;
}

uint32_t GlyphFont::SetEffectColor(uint32_t colour) {
  std::swap(effect_, colour);
  return colour;
}

int GlyphFont::SetBackgroundMode(int mode) {
  std::swap(background_mode_, mode);
  return mode;
}

void GlyphFont::SetBlendMode(int mode, float opacity) {
  blend_mode_ = mode;
  opacity_ = opacity;
}

uint32_t GlyphFont::ForegroundColor() {
  return foreground_;
}

HFONT GlyphFont::FontHandle() {
  return font_;
}

int GlyphFont::LineHeight() {
  return cache_.line_height;
}

void GlyphFont::SetExtraLineSpacing(int spacing) {
  cache_.extra_line_spacing = spacing;
}

void GlyphFont::RenderGlyph(uint32_t code) {
  GlyphEntry* entry = AddGlyphEntry(&cache_, code);
  if (!entry) return;
  int line_height = cache_.line_height;
  if (line_height > 1023 || !font_) {
    SetEmptyGlyph(entry);
    SortGlyphEntries(&cache_);
    return;
  }
  DibBitmap* scratch = ScratchOfAtLeast(2 * std::max(line_height, 1) + 8);
  HDC dc = scratch->DeviceContext();
  HGDIOBJ previous = SelectObject(dc, font_);

  wchar_t text[2];
  int units = 1;
  text[0] = static_cast<wchar_t>(code & 0xFFFFF);
  if (code >> GLYPH_COMPOSITE_SHIFT) {
    // A letter with its combining mark.
    text[0] = static_cast<wchar_t>(code & 0xFF);
    text[1] = static_cast<wchar_t>(code >> GLYPH_COMPOSITE_SHIFT);
    units = 2;
  }
  RECT extent = {0, 0, 0, 0};
  DrawTextW(dc, text, units, &extent, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE);
  int advance = extent.right;
  int height = extent.bottom;
  int left_pad = GlyphLeftPad(line_height);
  int cell_width = advance + left_pad + GlyphRightPad(line_height);

  FillBitmapRect(scratch, 0, 0, cell_width, height, 0, 1.0f, BLEND_COPY);
  RECT cell = {left_pad, 0, left_pad + advance, height};
  DrawTextW(dc, text, units, &cell, DT_NOPREFIX | DT_NOCLIP | DT_SINGLELINE);
  GdiFlush();

  advance = std::min(advance, scratch->Width());
  cell_width = std::min(cell_width, scratch->Width());
  height = std::min(height, scratch->Height());
  SelectObject(dc, previous);

  if (advance < 1 || height < 1) {
    SetEmptyGlyph(entry);
  } else {
    StoreGlyphMask(&cache_, entry, scratch, cell_width, height, advance, left_pad);
  }
  SortGlyphEntries(&cache_);
}

int GlyphFont::DrawString(Bitmap* target, const char* text, int count, RECT* rect, unsigned flags) {
  flags &= ~TEXT_KEEP_ALPHA;
  bool measuring = (flags & GLYPH_DT_CALCRECT) != 0;
  if (!rect || (!target && !measuring)) return 0;
  bool single_line = (flags & GLYPH_DT_SINGLELINE) != 0;
  size_t length = GlyphTextLength(text, count);
  RenderMissingGlyphs(&cache_, text, length, single_line, RenderThroughFont, this);

  if (measuring) {
    int width = 0;
    int height = 0;
    MeasureGlyphText(&cache_, text, length, single_line, &width, &height);
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return height;
  }

  float stored_opacity = opacity_;
  if (flags & TEXT_USE_COLOR_ALPHA) opacity_ = static_cast<float>(foreground_ >> 24) / 255.0f * opacity_;
  int result = 0;
  DrawContext context = {this, target, {}};
  GlyphClip clip;
  if (opacity_ != 0 && GlyphDrawingClip(target, rect->left, rect->top, rect->right, rect->bottom,
                                        (flags & GLYPH_DT_NOCLIP) != 0, &clip)) {
    context.clip = {clip.left, clip.top, clip.right, clip.bottom};
    result = DrawGlyphText(&cache_, text, length, single_line, rect->left, rect->top,
                           DrawThroughFont, &context);
  }
  opacity_ = stored_opacity;
  return result;
}

bool GlyphFont::DrawGlyph(Bitmap* target, uint32_t code, int x, int y, const RECT* clip) {
  if (!target || !clip) return false;
  GlyphClip glyph_clip = {clip->left, clip->top, clip->right, clip->bottom};
  GlyphInk ink = {foreground_, background_, background_mode_, blend_mode_, opacity_};
  return DrawGlyphMask(target, &cache_, code, x, y, glyph_clip, ink);
}
