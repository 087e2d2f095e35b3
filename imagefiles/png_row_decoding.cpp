#include "imagefiles/png_row_decoding.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <png.h>

#include "base/utf8_file.h"
#include "imagefiles/picture_bounds.h"
#include "imagefiles/png_file.h"
#include "raster/memory_bitmap.h"

// Everything that must be released when libpng jumps back, kept in memory
// rather than in locals of the functions that call setjmp.
struct PngRowDecoding {
  png_structp png;
  png_infop info;
  FILE* file;
  bool owns_file;
  Bitmap* created;   // a bitmap the start made; deleted on failure
  Bitmap* bitmap;    // the bitmap being filled; null after a failure
  int height;
  int passes;        // 1, or 7 for an interlaced file
  int pass;          // the pass being read
  int row;           // the next row of that pass
};

namespace {

// Releases libpng and the file; the bitmap stays.
void ReleaseReading(PngRowDecoding* d) {
  if (d->png) png_destroy_read_struct(&d->png, d->info ? &d->info : nullptr, nullptr);
  d->png = nullptr;
  d->info = nullptr;
  if (d->file && d->owns_file) fclose(d->file);
  d->file = nullptr;
}

void Fail(PngRowDecoding* d) {
  ReleaseReading(d);
  delete d->created;
  d->created = nullptr;
  d->bitmap = nullptr;
}

// Everything up to the first row; false on failure, with the bitmap released.
bool Start(PngRowDecoding* d, Bitmap* target, int64_t max_bytes) {
  // libpng's own error and warning handling; only the jump is caught.
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!d->png) return false;
  d->info = png_create_info_struct(d->png);
  if (!d->info) return false;
  if (setjmp(png_jmpbuf(d->png))) {
    Fail(d);
    return false;
  }
  int64_t file_bytes = FileBytesLeft(d->file);
  png_init_io(d->png, d->file);
  IgnoreUnusedPngChunks(d->png);
  png_read_info(d->png, d->info);
  png_uint_32 image_width = 0, image_height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(d->png, d->info, &image_width, &image_height, &bit_depth, &colour_type, &interlace, &compression,
               &filter);
  // A picture its file cannot hold is refused before anything is sized.
  if (PngLeastBytes(image_width, image_height, bit_depth, colour_type, interlace != PNG_INTERLACE_NONE) > file_bytes) {
    return false;
  }
  RequestPngPixelFormat(d->png, d->info);
  // libpng keeps widths and heights below 2^31 (and its own user limits).
  int width = static_cast<int>(image_width);
  int height = static_cast<int>(image_height);
  int64_t bytes = BitmapByteCount(width, height);
  if (bytes > max_bytes) return false;
  Bitmap* bitmap = target;
  if (!bitmap) bitmap = d->created = new MemoryBitmap(width, height);
  else bitmap->Resize(width, height);
  if (bitmap->Width() != width || bitmap->Height() != height || !bitmap->Bits()) return false;
  d->bitmap = bitmap;
  d->height = height;
  // What png_read_image does before its rows, in the same order.
  d->passes = png_set_interlace_handling(d->png);
  png_start_read_image(d->png);
  return true;
}

}  // namespace

namespace {

PngRowDecoding* StartRows(FILE* file, bool owns_file, Bitmap* target, int64_t max_bytes) {
  PngRowDecoding* d = static_cast<PngRowDecoding*>(calloc(1, sizeof(PngRowDecoding)));
  if (!d) {
    if (file && owns_file) fclose(file);
    return nullptr;
  }
  d->file = file;
  d->owns_file = owns_file;
  if (!d->file || !Start(d, target, max_bytes)) {
    Fail(d);
    free(d);
    return nullptr;
  }
  return d;
}

}  // namespace

PngRowDecoding* StartPngRowDecoding(const char* path, Bitmap* target, int64_t max_bytes) {
  return StartRows(Utf8OpenFile(path, "rb"), true, target, max_bytes);
}

PngRowDecoding* StartPngRowDecodingStream(FILE* file, Bitmap* target, int64_t max_bytes) {
  return StartRows(file, false, target, max_bytes);
}

int DecodePngRows(PngRowDecoding* d, int max_rows) {
  if (!d->png) return d->bitmap ? 1 : -1;
  if (setjmp(png_jmpbuf(d->png))) {
    Fail(d);
    return -1;
  }
  Bitmap* bitmap = d->bitmap;
  ptrdiff_t span = bitmap->RowSpan();
  for (int n = 0; n < max_rows && d->pass < d->passes; ++n) {
    int y = bitmap->IsFlipped() ? d->height - 1 - d->row : d->row;
    uint32_t* row = bitmap->Bits() + y * span;
    png_read_row(d->png, reinterpret_cast<png_bytep>(row), nullptr);
    // A row is complete once the last pass has been through it.
    if (d->pass == d->passes - 1) ReorderPngRow(row, bitmap->Width());
    if (++d->row == d->height) {
      d->row = 0;
      ++d->pass;
    }
  }
  if (d->pass < d->passes) return 0;
  // png_read_end is not called, as by the whole-file decoding.
  ReleaseReading(d);
  return 1;
}

Bitmap* FinishPngRowDecoding(PngRowDecoding* d) {
  Bitmap* bitmap = DecodePngRows(d, INT32_MAX) == 1 ? d->bitmap : nullptr;
  free(d);
  return bitmap;
}

void AbandonPngRowDecoding(PngRowDecoding* d) {
  if (!d) return;
  ReleaseReading(d);
  delete d->created;
  free(d);
}
