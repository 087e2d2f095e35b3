// A bitmap whose pixels are a top-down 32-bit DIB section selected into a
// memory device context of its own, so GDI and the raster operations share
// the same pixels.
#pragma once

#include <windows.h>

#include "raster/bitmap.h"

class DibBitmap : public Bitmap {
public:
  DibBitmap(int width, int height);
  ~DibBitmap() override;
  DibBitmap(const DibBitmap&) = delete;
  DibBitmap& operator=(const DibBitmap&) = delete;

  uint32_t* Bits() const override { return bits_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return allocated_span_; }
  bool Resize(int width, int height) override;
  HDC DeviceContext() override { return device_context_; }
  intptr_t Extended(int code, void* data) override;

private:
  void ReleaseSection();

  int width_ = 0;
  int height_ = 0;
  HDC device_context_ = nullptr;
  uint32_t* bits_ = nullptr;
  int allocated_span_ = 0;
  int allocated_height_ = 0;
  HBITMAP section_ = nullptr;
  HGDIOBJ previous_object_ = nullptr;
  int scale_ = 0;
  int advisory_scale_ = 0;
};
