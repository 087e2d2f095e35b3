#include "raster/dib_bitmap.h"

// 256 (1.0) and a missing value both mean "no scale"; negative counts as 0.
static int ScaleFromData(void* data) {
  if (!data) return 0;
  int value = *static_cast<int*>(data);
  if (value == 256 || value < 0) return 0;
  return value;
}

DibBitmap::DibBitmap(int width, int height) {
  device_context_ = CreateCompatibleDC(nullptr);
  Resize(width, height);
}

DibBitmap::~DibBitmap() {
  ReleaseSection();
  if (device_context_) DeleteDC(device_context_);
}

void DibBitmap::ReleaseSection() {
  if (previous_object_ && device_context_) SelectObject(device_context_, previous_object_);
  previous_object_ = nullptr;
  if (section_) DeleteObject(section_);
  section_ = nullptr;
  bits_ = nullptr;
}

bool DibBitmap::Resize(int width, int height) {
  if (!device_context_) {
    width_ = 0;
    height_ = 0;
    bits_ = nullptr;
    return false;
  }
  if (width == width_ && height == height_) return false;
  int64_t w = width;
  int64_t h = height;
  if (scale_ > 0) {
    w = (w * scale_) >> 8;
    h = (h * scale_) >> 8;
  }
  // Computed in 64 bits: a width near INT_MAX would overflow (width + 3).
  int64_t span = (w + 3) & ~static_cast<int64_t>(3);
  bool fits = w <= INT32_MAX && h <= INT32_MAX && span <= INT32_MAX;
  width_ = fits ? static_cast<int>(w) : 0;
  height_ = fits ? static_cast<int>(h) : 0;

  // Shrinking within the section keeps it: painting resizes the frame every
  // time and must not allocate while the window does not grow.
  if (fits && span > 0 && h > 0 && allocated_span_ >= span && allocated_height_ >= h && bits_) return true;

  ReleaseSection();
  allocated_span_ = 0;
  allocated_height_ = 0;
  if (span < 1 || h < 1) {
    width_ = 0;
    height_ = 0;
    return false;
  }
  // A section whose byte count does not fit an int fails like CreateDIBSection would.
  if (!fits || BitmapByteCount(static_cast<int>(w), static_cast<int>(h)) < 0) {
    width_ = 0;
    height_ = 0;
    return true;
  }
  allocated_span_ = static_cast<int>(span);
  allocated_height_ = static_cast<int>(h);

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = allocated_span_;
  info.bmiHeader.biHeight = IsFlipped() ? allocated_height_ : -allocated_height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  section_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section_ && bits) {
    bits_ = static_cast<uint32_t*>(bits);
    previous_object_ = SelectObject(device_context_, section_);
  } else {
    if (section_) DeleteObject(section_);
    section_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
    allocated_span_ = 0;
    allocated_height_ = 0;
  }
  return true;
}

intptr_t DibBitmap::Extended(int code, void* data) {
  switch (code) {
    case SCALE_SET: {
      int scale = ScaleFromData(data);
      if (scale != scale_) {
        // Allocate afresh for the current size under the new scale.
        scale_ = scale;
        int width = width_;
        int height = height_;
        ReleaseSection();
        allocated_span_ = 0;
        allocated_height_ = 0;
        width_ = 0;
        height_ = 0;
        Resize(width, height);
      }
      return 1;
    }
    case SCALE_GET:
      return scale_;
    case SCALE_SET_ADVISORY:
      advisory_scale_ = ScaleFromData(data);
      return 1;
    case SCALE_GET_ADVISORY:
      return advisory_scale_;
    case SCALE_GET_EFFECTIVE:
      if (scale_ > 0) return advisory_scale_ <= 0 ? scale_ : (static_cast<int64_t>(scale_) * advisory_scale_) >> 8;
      return advisory_scale_;
    default:
      return 0;
  }
}
