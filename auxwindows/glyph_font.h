#pragma once
// Draws UTF-8 text onto bitmaps in software. Each character is rendered once
// through GDI, white on black, into a scratch bitmap shared by all fonts; its
// red channel is kept as a coverage mask, and drawing blends the masks into
// the target with the foreground colour and an opacity.
#include <windows.h>

#include <cstdint>

#include "auxwindows/glyph_text.h"
#include "raster/bitmap.h"

class DibBitmap;

class GlyphFont {
public:
  GlyphFont();
  virtual ~GlyphFont();
  GlyphFont(const GlyphFont&) = delete;
  GlyphFont& operator=(const GlyphFont&) = delete;

  // Discards every cached glyph, even when the handle is the same one.
  virtual void AttachFont(HFONT font, unsigned options);
  virtual uint32_t SetForegroundColor(uint32_t colour);
  virtual uint32_t SetBackgroundColor(uint32_t colour);
  virtual uint32_t SetEffectColor(uint32_t colour);
  virtual int SetBackgroundMode(int mode);
  virtual void SetBlendMode(int mode, float opacity);
  // Measures (DT_CALCRECT: rect's right and bottom receive the extent) or
  // draws the first count bytes of text (all of it when count is negative).
  // Returns the height of the measured or drawn text.
  virtual int DrawString(Bitmap* target, const char* text, int count, RECT* rect, unsigned flags);
  virtual uint32_t ForegroundColor();
  virtual HFONT FontHandle();
  virtual int LineHeight();
  virtual void SetExtraLineSpacing(int spacing);
  virtual bool DrawGlyph(Bitmap* target, uint32_t code, int x, int y, const RECT* clip);

  // Renders the glyph of code into the cache (or marks it empty).
  void RenderGlyph(uint32_t code);
  GlyphCache* Cache() { return &cache_; }

private:
  uint32_t foreground_ = 0;
  uint32_t background_ = 0xFFFFFFFF;
  uint32_t effect_ = 0xFFFFFFFF;
  int background_mode_ = 1;
  int blend_mode_ = 0;
  float opacity_ = 1.0f;
  unsigned options_ = 0;
  GlyphCache cache_;
  HFONT font_ = nullptr;
};

// The scratch bitmap all fonts render their glyphs into: null until a font
// needs it, deleted with the last font.
DibBitmap* GlyphScratchBitmap();
