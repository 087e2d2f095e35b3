// LoadJpegFile's decoding on arbitrary bytes, and for half of the inputs
// that it decodes, libjpeg's plain decoding too (every scan read by
// jpeg_start_decompress, then the rows, turned as the first Exif APP1
// segment that libjpeg saves says): the stepped decoding, in buffered-image
// mode for a multi-scan file, must give the same pixels.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "fuzz/fuzz_bitmap.h"
#include "imagefiles/exif_orientation.h"
#include "imagefiles/jpeg_file.h"
#include "raster/bitmap_turn.h"

namespace {

struct Plain {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  jmp_buf recovery;
  std::vector<unsigned char> row;
};

void Jump(j_common_ptr cinfo) { longjmp(reinterpret_cast<Plain*>(cinfo)->recovery, 1); }
void Quiet(j_common_ptr, int) {}

// The first APP1 segment of the header that starts "Exif\0\0".
int SavedOrientation(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && memcmp(m->data, "Exif\0\0", 6) == 0)
      return ExifOrientationOfApp1(m->data, m->data_length);
  }
  return 1;
}

// The plain decoding into bitmap, in the pixels of the decoder as stored;
// false when libjpeg gives up or the size, turned, differs from expected's.
bool DecodePlain(FILE* file, Plain* p, Bitmap* expected, MemoryBitmap* bitmap, int* orientation) {
  p->cinfo.err = jpeg_std_error(&p->errors);
  p->errors.error_exit = Jump;
  p->errors.emit_message = Quiet;
  if (setjmp(p->recovery)) {
    jpeg_destroy_decompress(&p->cinfo);
    return false;
  }
  jpeg_create_decompress(&p->cinfo);
  jpeg_stdio_src(&p->cinfo, file);
  jpeg_save_markers(&p->cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&p->cinfo, TRUE);
  *orientation = SavedOrientation(&p->cinfo);
  jpeg_start_decompress(&p->cinfo);
  int width = static_cast<int>(p->cinfo.output_width), components = p->cinfo.output_components;
  int height = static_cast<int>(p->cinfo.output_height);
  int upright_width = 0, upright_height = 0;
  TurnedSize(*orientation, width, height, &upright_width, &upright_height);
  if (upright_width != expected->Width() || upright_height != expected->Height()) abort();
  bitmap->Resize(width, height);
  p->row.resize(static_cast<size_t>(width) * components);
  while (p->cinfo.output_scanline < p->cinfo.output_height) {
    uint32_t* out = bitmap->Bits() + p->cinfo.output_scanline * bitmap->RowSpan();
    JSAMPROW rows[1] = {p->row.data()};
    jpeg_read_scanlines(&p->cinfo, rows, 1);
    for (int x = 0; x < width; ++x) {
      const unsigned char* s = &p->row[static_cast<size_t>(x) * components];
      if (components == 3) out[x] = 0xFF000000u | s[0] << 16 | s[1] << 8 | s[2];
      else if (components == 1) out[x] = 0xFF000000u | s[0] * 0x010101u;
      else if (components == 4 && p->cinfo.out_color_space == JCS_CMYK)
        out[x] = 0xFF000000u | ((s[0] * s[3] + 255) >> 8) << 16 | ((s[1] * s[3] + 255) >> 8) << 8 |
                 ((s[2] * s[3] + 255) >> 8);
      else out[x] = 0;
    }
  }
  jpeg_finish_decompress(&p->cinfo);
  jpeg_destroy_decompress(&p->cinfo);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty block
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  FuzzBitmap bitmap;
  Bitmap* whole = DecodeJpegStream(file, &bitmap);
  TouchPixels(whole);
  // Only what the decoder accepted: its work is bounded, the plain one's not.
  if ((size & 1) && whole && whole->Bits()) {
    rewind(file);
    static Plain plain;
    MemoryBitmap plain_bitmap, turned;
    int orientation = 1;
    if (DecodePlain(file, &plain, whole, &plain_bitmap, &orientation)) {
      TurnBitmap(&plain_bitmap, &turned, orientation);
      ExpectSameResult(whole, TurnSwapsSides(orientation) ? &turned : &plain_bitmap);
    }
  }
  fclose(file);
  return 0;
}
