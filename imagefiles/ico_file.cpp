#include "imagefiles/ico_file.h"

#include <windows.h>

#include <cstring>

#include "base/utf8_platform.h"
#include "imagefiles/image_loader_guard.h"
#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "raster/memory_bitmap.h"

namespace {

bool BitmapSize(HBITMAP bitmap, int* width, int* height) {
  BITMAP info;
  memset(&info, 0, sizeof info);
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return false;
  *width = info.bmWidth;
  *height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  return *width > 0 && *height > 0;
}

// The icon's size from its bitmaps: the colour bitmap's, else the mask's.
void IconSize(HICON icon, int* width, int* height) {
  *width = *height = 16;
  ICONINFO info;
  memset(&info, 0, sizeof info);
  if (!GetIconInfo(icon, &info)) return;
  int w = 0, h = 0;
  if (BitmapSize(info.hbmColor, &w, &h)) {
    *width = w;
    *height = h;
  } else if (BitmapSize(info.hbmMask, &w, &h)) {
    // A monochrome icon keeps its AND and XOR masks one above the other
    // in a bitmap of twice the icon's height.
    *width = w;
    *height = info.hbmColor ? h : (h / 2 > 0 ? h / 2 : h);
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
}

// Alpha and colour from the icon drawn on black and on white: a pixel that
// lets a of 255 of the background through shows red on black - red on white
// = 255 - a.
uint32_t RecoverPixel(uint32_t on_black, uint32_t on_white) {
  int red_black = on_black >> 16 & 0xFF;
  int red_white = on_white >> 16 & 0xFF;
  int a = red_black - red_white + 255;
  if (a >= 255) return 0xFF000000u | (on_black & 0xFFFFFF);
  if (a <= 0) return on_black & 0xFFFFFF;
  uint32_t pixel = static_cast<uint32_t>(a) << 24;
  for (int shift = 0; shift <= 16; shift += 8) {
    int value = (on_black >> shift & 0xFF) * 255 / a;
    pixel |= static_cast<uint32_t>(value < 255 ? value : 255) << shift;
  }
  return pixel;
}

}  // namespace

Bitmap* LoadIcoFile(const char* path, Bitmap* target) {
  if (!path || !IcoFitsItsFile(path)) return nullptr;
  HICON icon = static_cast<HICON>(Utf8LoadImageFile(path, IMAGE_ICON, 16, 0));
  if (!icon) return nullptr;
  int width = 16, height = 16;
  IconSize(icon, &width, &height);

  Bitmap* result = nullptr;
  DibBitmap* dib = new DibBitmap(2 * width, height);
  if (dib->Width() == 2 * width && dib->Height() == height && dib->Bits()) {
    HDC dc = dib->DeviceContext();
    FillBitmapRect(dib, 0, 0, width, height, 0xFF000000u, 1.0f, BLEND_COPY);
    GdiFlush();
    DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    FillBitmapRect(dib, width, 0, width, height, 0xFFFFFFFFu, 1.0f, BLEND_COPY);
    GdiFlush();
    DrawIconEx(dc, width, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();

    Bitmap* bitmap = target ? target : new MemoryBitmap(width, height);
    if (target) target->Resize(width, height);
    if (bitmap->Width() == width && bitmap->Height() == height && bitmap->Bits()) {
      const uint32_t* pixels = dib->Bits();
      int dib_span = dib->RowSpan();
      uint32_t* out = bitmap->Bits();
      int span = bitmap->RowSpan();
      for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + y * dib_span;
        uint32_t* out_row = out + (bitmap->IsFlipped() ? height - 1 - y : y) * span;
        for (int x = 0; x < width; ++x) out_row[x] = RecoverPixel(row[x], row[width + x]);
      }
      result = bitmap;
    } else if (bitmap != target) {
      delete bitmap;
    }
  }
  delete dib;
  DestroyIcon(icon);
  return result;
}
