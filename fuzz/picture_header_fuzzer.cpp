// The picture header reader on any bytes, with an oracle for JPEG files:
// libjpeg's own header reading, set up here on its own, must give the same
// size and the same answer to whether the file has several scans.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "imagefiles/picture_header.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

struct Oracle {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  jmp_buf recovery;
};

Oracle* g_oracle = nullptr;

void Fail(j_common_ptr) { longjmp(g_oracle->recovery, 1); }
void Quiet(j_common_ptr, int) {}

// libjpeg's header, or false when it refuses the file.
bool LibjpegHeader(Oracle* o, const uint8_t* data, size_t size, PictureHeader* header) {
  o->cinfo.err = jpeg_std_error(&o->errors);
  o->errors.error_exit = Fail;
  o->errors.emit_message = Quiet;
  if (setjmp(o->recovery)) {
    jpeg_destroy_decompress(&o->cinfo);
    return false;
  }
  jpeg_create_decompress(&o->cinfo);
  jpeg_mem_src(&o->cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&o->cinfo, TRUE);
  header->width = static_cast<int>(o->cinfo.image_width);
  header->height = static_cast<int>(o->cinfo.image_height);
  header->multiple_scans = jpeg_has_multiple_scans(&o->cinfo) != 0;
  jpeg_destroy_decompress(&o->cinfo);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PictureHeader header;
  bool known = ReadPictureHeaderBytes(data, size, &header);
  if (known) Require(header.width > 0 && header.height > 0);
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    static Oracle oracle;
    g_oracle = &oracle;
    PictureHeader expected;
    bool readable = LibjpegHeader(&oracle, data, size, &expected);
    Require(known == (readable && expected.width > 0 && expected.height > 0));
    if (known) {
      Require(header.width == expected.width && header.height == expected.height);
      Require(header.multiple_scans == expected.multiple_scans);
    }
  }
  return 0;
}
