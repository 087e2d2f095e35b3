#include "imagefiles/png_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <png.h>

#include "base/utf8_file.h"
#include "imagefiles/picture_bounds.h"
#include "raster/memory_bitmap.h"

namespace {

// Everything that must be released when libpng jumps back, kept in memory
// rather than in locals of the function that called setjmp.
struct PngDecoding {
  png_structp png;
  png_infop info;
  Bitmap* created;     // a bitmap this decoder made; deleted on failure
  png_bytep* rows;     // one pointer per bitmap row
};

// Ancillary chunks that nothing here uses. libpng would read them into
// buffers of the length the file states (a length above its limit is only
// a warning), so a 100-byte file could make it reserve 2 GB; ignored, they
// are skipped through a small buffer. The pixels do not depend on them: no
// gamma, background or shift transformation is requested.
const png_byte UNUSED_CHUNKS[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                 "sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

void Release(PngDecoding* d) {
  png_destroy_read_struct(&d->png, d->info ? &d->info : nullptr, nullptr);
  free(d->rows);
  d->rows = nullptr;
}

Bitmap* Decode(PngDecoding* d, FILE* file, Bitmap* target) {
  // libpng's own error and warning handling; we only catch the jump.
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!d->png) return nullptr;
  d->info = png_create_info_struct(d->png);
  if (!d->info) {
    Release(d);
    return nullptr;
  }
  if (setjmp(png_jmpbuf(d->png))) {
    Release(d);
    delete d->created;
    return nullptr;
  }
  int64_t file_bytes = FileBytesLeft(file);
  png_init_io(d->png, file);
  IgnoreUnusedPngChunks(d->png);
  png_read_info(d->png, d->info);
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(d->png, d->info, &width, &height, &bit_depth, &colour_type, &interlace,
               &compression, &filter);
  // A picture its file cannot hold is refused before anything is sized.
  if (PngLeastBytes(width, height, bit_depth, colour_type, interlace != PNG_INTERLACE_NONE) > file_bytes) {
    Release(d);
    return nullptr;
  }
  RequestPngPixelFormat(d->png, d->info);

  // libpng keeps widths and heights below 2^31 (and its own user limits).
  int w = static_cast<int>(width), h = static_cast<int>(height);
  Bitmap* bitmap = target;
  if (!bitmap) bitmap = d->created = new MemoryBitmap(w, h);
  else bitmap->Resize(w, h);
  if (bitmap->Width() != w || bitmap->Height() != h || !bitmap->Bits()) {
    Release(d);
    delete d->created;
    return nullptr;
  }

  d->rows = static_cast<png_bytep*>(malloc(static_cast<size_t>(h) * sizeof(png_bytep)));
  if (!d->rows) {
    Release(d);
    delete d->created;
    return nullptr;
  }
  ptrdiff_t span = bitmap->RowSpan();
  uint32_t* first = bitmap->Bits();
  for (int y = 0; y < h; ++y) {
    int row = bitmap->IsFlipped() ? h - 1 - y : y;
    d->rows[y] = reinterpret_cast<png_bytep>(first + row * span);
  }
  png_read_image(d->png, d->rows);
  Release(d);

  for (int y = 0; y < h; ++y) ReorderPngRow(first + y * span, w);
  return bitmap;
}

}  // namespace

void IgnoreUnusedPngChunks(png_structp png) {
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, UNUSED_CHUNKS, sizeof UNUSED_CHUNKS / 5);
}

void RequestPngPixelFormat(png_structp png, png_infop info) {
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &colour_type, &interlace, &compression, &filter);
  // Every pixel arrives as the four bytes A, R, G, B.
  bool has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0;
  bool grey = colour_type == PNG_COLOR_TYPE_GRAY || colour_type == PNG_COLOR_TYPE_GRAY_ALPHA;
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(png);
    has_alpha = true;
  }
  if (bit_depth == 16) png_set_strip_16(png);
  if (bit_depth < 8) png_set_packing(png);
  if (grey) png_set_gray_to_rgb(png);
  if (has_alpha) png_set_swap_alpha(png);
  else png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
}

// The bytes A, R, G, B at increasing addresses become the pixel
// A << 24 | R << 16 | G << 8 | B, whose bytes in memory are B, G, R, A.
void ReorderPngRow(uint32_t* row, int width) {
  for (int x = 0; x < width; ++x) {
    uint32_t v = row[x];
    row[x] = v >> 24 | (v >> 8 & 0xFF00u) | (v << 8 & 0xFF0000u) | v << 24;
  }
}

Bitmap* DecodePngStream(FILE* file, Bitmap* target) {
  if (!file) return nullptr;
  PngDecoding* d = static_cast<PngDecoding*>(calloc(1, sizeof(PngDecoding)));
  if (!d) return nullptr;
  Bitmap* result = Decode(d, file, target);
  free(d);
  return result;
}

Bitmap* LoadPngFile(const char* path, Bitmap* target) {
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return nullptr;
  Bitmap* result = DecodePngStream(file, target);
  fclose(file);
  return result;
}
