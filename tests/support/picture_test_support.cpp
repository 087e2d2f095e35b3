#include "tests/support/picture_test_support.h"

#include <cstdio>
#include <cstring>

#include "raster/memory_bitmap.h"
#include "tests/support/win_test_support.h"

std::string TestPictureFolder() { return WindowsPath(VISTREL_TEST_PICTURES) + "\\"; }

RefImage ImageOf(const Bitmap* bitmap) {
  RefImage image;
  if (!bitmap || !bitmap->Bits()) return image;
  image = RefImage(bitmap->Width(), bitmap->Height(), 0);
  for (int y = 0; y < image.height; ++y)
    memcpy(&image.at(0, y), bitmap->Bits() + size_t(y) * bitmap->RowSpan(),
           size_t(image.width) * 4);
  return image;
}

Bitmap* BitmapOf(const RefImage& image) {
  MemoryBitmap* bitmap = new MemoryBitmap(image.width, image.height);
  for (int y = 0; y < image.height; ++y)
    memcpy(bitmap->Bits() + size_t(y) * bitmap->RowSpan(), image.pixels.data() + size_t(y) * image.width,
           size_t(image.width) * 4);
  return bitmap;
}

RefImage PatternImage(int width, int height, int seed) {
  RefImage image(width, height, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.at(x, y) = 0xFF000000u | (uint32_t((x * 7 + seed) & 255) << 16) |
                       (uint32_t((y * 5 + seed * 3) & 255) << 8) | uint32_t(((x ^ y) * 3 + seed) & 255);
  return image;
}

namespace {

uint32_t Crc(const unsigned char* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void Put32(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(char((v >> shift) & 255));
}

void Chunk(std::string* out, const char* type, const std::string& data) {
  Put32(out, uint32_t(data.size()));
  std::string body = std::string(type, 4) + data;
  out->append(body);
  Put32(out, Crc(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

}  // namespace

bool SavePng(const RefImage& image, const std::string& path) {
  std::string raw;
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < image.width; ++x) {
      uint32_t p = image.at(x, y);
      raw.push_back(char((p >> 16) & 255));
      raw.push_back(char((p >> 8) & 255));
      raw.push_back(char(p & 255));
    }
  }
  std::string z = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t pos = 0; pos < raw.size() || pos == 0;) {
    size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
    bool last = pos + n >= raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(char(n & 255));
    z.push_back(char(n >> 8));
    z.push_back(char(~n & 255));
    z.push_back(char((~n >> 8) & 255));
    z.append(raw, pos, n);
    pos += n;
    if (last) break;
  }
  Put32(&z, (b << 16) | a);
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  Put32(&header, uint32_t(image.width));
  Put32(&header, uint32_t(image.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  Chunk(&png, "IHDR", header);
  Chunk(&png, "IDAT", z);
  Chunk(&png, "IEND", std::string());
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(png.data(), 1, png.size(), file) == png.size();
  return fclose(file) == 0 && ok;
}

// Captures a screen rectangle.
RefImage CaptureScreen(const RECT& r) {
  int w = r.right - r.left, h = r.bottom - r.top;
  RefImage image(w > 0 ? w : 0, h > 0 ? h : 0, 0);
  if (w <= 0 || h <= 0) return image;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  memcpy(image.pixels.data(), bits, size_t(w) * h * 4);
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

// The picture control's client area as it is on the screen, opaque.
RefImage CaptureClient(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  RefImage image = CaptureScreen(client);
  for (uint32_t& p : image.pixels) p |= 0xFF000000u;
  return image;
}
