#include "imagefiles/picture_header.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "base/utf8_file.h"

namespace {

// Enough for every header but a JPEG's, which libjpeg reads itself.
const size_t HEAD_BYTES = 64;

uint32_t Be16(const unsigned char* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const unsigned char* p) { return Be16(p) << 16 | Be16(p + 2); }
uint32_t Le16(const unsigned char* p) { return p[0] | uint32_t(p[1]) << 8; }
int32_t Le32(const unsigned char* p) { return static_cast<int32_t>(Le16(p) | Le16(p + 2) << 16); }

// libjpeg's state with the jump back, kept out of the locals of the function
// that calls setjmp.
struct HeaderErrors {
  jpeg_error_mgr manager;
  jmp_buf recovery;
};

struct JpegHeaderReading {
  jpeg_decompress_struct cinfo;
  HeaderErrors errors;
};

void StopReading(j_common_ptr cinfo) { longjmp(reinterpret_cast<HeaderErrors*>(cinfo->err)->recovery, 1); }
void IgnoreMessage(j_common_ptr, int) {}

bool ReadJpegHeaderWith(JpegHeaderReading* r, FILE* file, const unsigned char* bytes, size_t size,
                        PictureHeader* header) {
  r->cinfo.err = jpeg_std_error(&r->errors.manager);
  r->errors.manager.error_exit = StopReading;
  r->errors.manager.emit_message = IgnoreMessage;
  if (setjmp(r->errors.recovery)) {
    jpeg_destroy_decompress(&r->cinfo);
    return false;
  }
  jpeg_create_decompress(&r->cinfo);
  if (file) jpeg_stdio_src(&r->cinfo, file);
  else jpeg_mem_src(&r->cinfo, bytes, static_cast<unsigned long>(size));
  jpeg_read_header(&r->cinfo, TRUE);
  header->width = static_cast<int>(r->cinfo.image_width);
  header->height = static_cast<int>(r->cinfo.image_height);
  header->multiple_scans = jpeg_has_multiple_scans(&r->cinfo) != 0;
  jpeg_destroy_decompress(&r->cinfo);
  return true;
}

// libjpeg's own header reading up to the first scan, from the file or from
// memory: the answer is the decoder's. Only small tables are allocated.
bool ReadJpegHeader(FILE* file, const unsigned char* bytes, size_t size, PictureHeader* header) {
  JpegHeaderReading reading;
  return ReadJpegHeaderWith(&reading, file, bytes, size, header);
}

// Everything but a JPEG from the first bytes.
bool ReadOtherHeader(const unsigned char* p, size_t size, PictureHeader* header) {
  if (size >= 24 && memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0 && memcmp(p + 12, "IHDR", 4) == 0) {
    uint32_t width = Be32(p + 16), height = Be32(p + 20);
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    header->width = static_cast<int>(width);
    header->height = static_cast<int>(height);
    return true;
  }
  if (size >= 10 && memcmp(p, "GIF", 3) == 0) {
    header->width = static_cast<int>(Le16(p + 6));
    header->height = static_cast<int>(Le16(p + 8));
    return true;
  }
  if (size >= 26 && p[0] == 'B' && p[1] == 'M') {
    uint32_t info = Le16(p + 14) | Le16(p + 16) << 16;
    if (info == 12) {
      header->width = static_cast<int>(Le16(p + 18));
      header->height = static_cast<int>(Le16(p + 20));
      return true;
    }
    if (info < 40) return false;
    // A negative height marks a top-down bitmap; INT32_MIN has no positive.
    int64_t width = Le32(p + 18), height = Le32(p + 22);
    if (height < 0) height = -height;
    if (width <= 0 || height > INT32_MAX) return false;
    header->width = static_cast<int>(width);
    header->height = static_cast<int>(height);
    return true;
  }
  if (size >= 6 && Le16(p) == 0 && Le16(p + 2) == 1) {
    header->width = header->height = 16;
    return true;
  }
  return false;
}

bool IsJpeg(const unsigned char* p, size_t size) { return size >= 2 && p[0] == 0xFF && p[1] == 0xD8; }

bool Usable(bool known, PictureHeader* header) { return known && header->width > 0 && header->height > 0; }

void Clear(PictureHeader* header) {
  header->width = header->height = 0;
  header->multiple_scans = false;
}

}  // namespace

bool ReadPictureHeader(const char* path, PictureHeader* header) {
  Clear(header);
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return false;
  unsigned char head[HEAD_BYTES];
  size_t size = fread(head, 1, sizeof head, file);
  bool known = false;
  if (IsJpeg(head, size)) known = fseek(file, 0, SEEK_SET) == 0 && ReadJpegHeader(file, nullptr, 0, header);
  else known = ReadOtherHeader(head, size, header);
  fclose(file);
  return Usable(known, header);
}

bool ReadPictureHeaderBytes(const unsigned char* bytes, size_t size, PictureHeader* header) {
  Clear(header);
  if (!bytes) return false;
  bool known = IsJpeg(bytes, size) ? ReadJpegHeader(nullptr, bytes, size, header) : ReadOtherHeader(bytes, size, header);
  return Usable(known, header);
}
