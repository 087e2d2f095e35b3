#include "imagefiles/bmp_file.h"

#include <windows.h>

#include <cstring>

#include "base/utf8_platform.h"
#include "imagefiles/image_loader_guard.h"
#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "raster/memory_bitmap.h"

Bitmap* LoadBmpFile(const char* path, Bitmap* target) {
  if (!path || !BmpFitsItsFile(path)) return nullptr;
  HBITMAP loaded = static_cast<HBITMAP>(Utf8LoadImageFile(path, IMAGE_BITMAP, 0, LR_CREATEDIBSECTION));
  if (!loaded) return nullptr;
  BITMAP info;
  memset(&info, 0, sizeof info);
  int width = 0, height = 0;
  if (GetObjectW(loaded, sizeof info, &info)) {
    width = info.bmWidth;
    height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  }
  DibBitmap* dib = new DibBitmap(width, height);
  Bitmap* result = nullptr;
  if (width > 0 && height > 0 && dib->Width() == width && dib->Height() == height && dib->Bits()) {
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = source ? SelectObject(source, loaded) : nullptr;
    if (source) {
      BitBlt(dib->DeviceContext(), 0, 0, width, height, source, 0, 0, SRCCOPY);
      GdiFlush();
    }
    Bitmap* bitmap = target ? target : new MemoryBitmap(width, height);
    if (target) target->Resize(width, height);
    if (source && bitmap->Width() == width && bitmap->Height() == height && bitmap->Bits()) {
      BlitBitmap(bitmap, dib, 0, 0, nullptr, 1.0f, BLEND_COPY, false);
      result = bitmap;
    } else if (bitmap != target) {
      delete bitmap;
    }
    if (source) {
      SelectObject(source, previous);
      DeleteDC(source);
    }
    // The file's own alpha, if any, is not kept: raise every alpha to 255.
    if (result) FillBitmapRect(result, 0, 0, width, height, 0xFF000000u, 1.0f, BLEND_ADD);
  }
  delete dib;
  DeleteObject(loaded);
  return result;
}
