#include "imagefiles/png_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <png.h>

#include "base/utf8_file.h"
#include "imagefiles/exif_orientation.h"
#include "imagefiles/picture_bounds.h"
#include "imagefiles/picture_decoding.h"
#include "imagefiles/picture_turn.h"
#include "raster/memory_bitmap.h"

namespace {

// A pixel read costs about four of a JPEG's (inflating, unfiltering and
// transforming it), a row this much besides its pixels (a row outside the
// pass being read is only counted).
const int64_t PIXEL_WORK = 4;
const int64_t ROW_WORK = 64;
// zlib's window and state, libpng's own structures.
const int64_t PNG_SMALL_BYTES = 128 * 1024;
// The eXIf chunk, read for the orientation: kept only up to this size
// (libpng reads it into a buffer, then into a copy it keeps).
const png_uint_32 EXIF_CHUNK_BYTES = 64 * 1024;

// Ancillary chunks that nothing here uses. libpng would read them into
// buffers of the length the file states (a length above its limit is only
// a warning), so a 100-byte file could make it reserve 2 GB; ignored, they
// are skipped through a small buffer. The pixels do not depend on them: no
// gamma, background or shift transformation is requested.
const png_byte UNUSED_CHUNKS[] = "bKGD\0cHRM\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                 "sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
const png_byte EXIF_CHUNK[] = "eXIf";

// libpng's own eXIf reading takes a buffer of whatever length the chunk
// claims; kept as an unknown chunk instead, it is read only up to
// EXIF_CHUNK_BYTES (a larger one is skipped, like every chunk above that
// size), and only the first one is kept. One before the image data is
// honoured: png_read_end, which would reach one after it, is not called.
void IgnoreUnusedPngChunks(png_structp png) {
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, UNUSED_CHUNKS, sizeof UNUSED_CHUNKS / 5);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, EXIF_CHUNK, 1);
  png_set_chunk_malloc_max(png, EXIF_CHUNK_BYTES);
  // libpng stores chunks while the count left is above 2.
  png_set_chunk_cache_max(png, 3);
}

int PngOrientation(png_structp png, png_infop info) {
  png_unknown_chunkp chunks = nullptr;
  int count = png_get_unknown_chunks(png, info, &chunks);
  for (int i = 0; i < count; ++i) {
    if (memcmp(chunks[i].name, EXIF_CHUNK, 4) == 0) return ExifOrientationOfTiff(chunks[i].data, chunks[i].size);
  }
  return EXIF_ORIENTATION_UPRIGHT;
}

// The transformations that make every pixel arrive as the four bytes A, R,
// G, B.
void RequestPngPixelFormat(png_structp png, png_infop info, int bit_depth, int colour_type) {
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

}  // namespace

// Everything that must be released when libpng jumps back, kept in memory
// rather than in locals of the functions that call setjmp.
struct PngDecoding {
  png_structp png;
  png_infop info;
  FILE* file;
  bool owns_file;
  Bitmap* target;    // the bitmap to fill, or null to make one
  bool owns_target;
  Bitmap* bitmap;    // the picture, once sized (upright)
  bool done;
  bool failed;
  bool turning;      // the rows are in; the picture is being turned upright
  int width, height; // as stored
  PictureTurn turn;
  int passes;        // 1, or 7 for an interlaced file
  int pass;          // the pass being read
  int row;           // the next row of that pass
  int64_t working_bytes;
  int64_t last_step_work;
};

namespace {

// Releases libpng and the file; the bitmap stays.
void ReleaseReading(PngDecoding* d) {
  if (d->png) png_destroy_read_struct(&d->png, d->info ? &d->info : nullptr, nullptr);
  d->png = nullptr;
  d->info = nullptr;
  if (d->file && d->owns_file) fclose(d->file);
  d->file = nullptr;
}

void FailDecoding(PngDecoding* d) {
  ReleaseReading(d);
  ReleasePictureTurn(&d->turn);
  if (d->owns_target) delete d->target;
  d->target = nullptr;
  d->owns_target = false;
  d->bitmap = nullptr;
  d->failed = true;
}

// The header, the bounds and the limits, and libpng made ready for the
// first row; false on refusal. Called under the recovery point of Start.
bool ReadHeader(PngDecoding* d, int64_t max_bytes) {
  int64_t file_bytes = FileBytesLeft(d->file);
  png_init_io(d->png, d->file);
  IgnoreUnusedPngChunks(d->png);
  png_read_info(d->png, d->info);
  d->turn = MakePictureTurn(PngOrientation(d->png, d->info));
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(d->png, d->info, &width, &height, &bit_depth, &colour_type, &interlace, &compression, &filter);
  // A picture its file cannot hold is refused before anything is sized.
  if (PngLeastBytes(width, height, bit_depth, colour_type, interlace != PNG_INTERLACE_NONE) > file_bytes) return false;
  // libpng keeps widths and heights below 2^31 (and its own user limits).
  d->width = static_cast<int>(width);
  d->height = static_cast<int>(height);
  int upright_width = 0, upright_height = 0;
  UprightPictureSize(&d->turn, d->width, d->height, &upright_width, &upright_height);
  int64_t picture = BitmapByteCount(upright_width, upright_height);
  // The current and the previous row, of four bytes a pixel at most after
  // the transformations; the eXIf chunk twice; the turn's block.
  d->working_bytes = PNG_SMALL_BYTES + 2 * (int64_t(width) * 8 + 64) + 2 * int64_t(EXIF_CHUNK_BYTES) +
                     PictureTurnBytes(&d->turn, d->width, d->height, interlace != PNG_INTERLACE_NONE);
  if (picture < 0 || picture + d->working_bytes > max_bytes) return false;
  RequestPngPixelFormat(d->png, d->info, bit_depth, colour_type);
  // What png_read_image does before its rows, in the same order.
  d->passes = png_set_interlace_handling(d->png);
  png_start_read_image(d->png);
  return true;
}

bool Start(PngDecoding* d, int64_t max_bytes) {
  // libpng's own error and warning handling; only the jump is caught.
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!d->png) return false;
  d->info = png_create_info_struct(d->png);
  if (!d->info) return false;
  if (setjmp(png_jmpbuf(d->png))) return false;
  return ReadHeader(d, max_bytes);
}

// Sizes the bitmap, upright, and the bitmap of the rows at the first row.
bool SizeBitmap(PngDecoding* d) {
  int width = 0, height = 0;
  UprightPictureSize(&d->turn, d->width, d->height, &width, &height);
  Bitmap* bitmap = d->target;
  if (!bitmap) {
    bitmap = d->target = new (std::nothrow) MemoryBitmap(width, height);
    d->owns_target = true;
    if (!bitmap) return false;
  } else {
    bitmap->Resize(width, height);
  }
  if (bitmap->Width() != width || bitmap->Height() != height || !bitmap->Bits()) return false;
  d->bitmap = bitmap;
  // An interlaced file's rows are complete only in its last pass.
  return StartPictureTurn(&d->turn, bitmap, d->width, d->height, d->passes > 1);
}

// Work of the next row libpng reads: the pixels of the row of the pass
// being read, none for a row outside that pass (libpng only moves past it).
int64_t RowPixels(const PngDecoding* d) {
  if (d->passes == 1) return d->width * PIXEL_WORK;
  if (!PNG_ROW_IN_INTERLACE_PASS(d->row, d->pass)) return 0;
  return PNG_PASS_COLS(d->width, d->pass) * PIXEL_WORK;
}

}  // namespace

PngDecoding* StartPngDecoding(FILE* file, bool owns_file, int64_t max_bytes) {
  if (!file) return nullptr;
  PngDecoding* d = static_cast<PngDecoding*>(calloc(1, sizeof(PngDecoding)));
  if (!d) {
    if (owns_file) fclose(file);
    return nullptr;
  }
  d->file = file;
  d->owns_file = owns_file;
  d->turn = MakePictureTurn(EXIF_ORIENTATION_UPRIGHT);
  if (!Start(d, max_bytes)) {
    ReleaseReading(d);
    free(d);
    return nullptr;
  }
  return d;
}

int64_t PngWorkingBytes(const PngDecoding* d) {
  if (d->png) return d->working_bytes;
  return d->turn.unturned ? PictureTurnBytes(&d->turn, d->width, d->height, d->turn.whole) : 0;
}

void PngPictureSize(const PngDecoding* d, int* width, int* height) {
  UprightPictureSize(&d->turn, d->width, d->height, width, height);
}

void SetPngDecodingTarget(PngDecoding* d, Bitmap* target, bool owned) {
  if (d->owns_target && d->target != target) delete d->target;
  d->target = target;
  d->owns_target = owned && target;
}

int StepPngDecoding(PngDecoding* d) {
  d->last_step_work = 0;
  if (d->done) return 1;
  if (d->failed) return -1;
  if (d->turning) {
    d->done = StepPictureTurn(&d->turn, d->bitmap, &d->last_step_work);
    return d->done ? 1 : 0;
  }
  if (setjmp(png_jmpbuf(d->png))) {
    FailDecoding(d);
    return -1;
  }
  if (!d->bitmap && !SizeBitmap(d)) {
    FailDecoding(d);
    return -1;
  }
  int64_t work = 0;
  // Rows while the next still fits the step; at least one.
  do {
    uint32_t* row = PictureTurnRow(&d->turn, d->bitmap, d->row);
    work += RowPixels(d) + ROW_WORK;
    png_read_row(d->png, reinterpret_cast<png_bytep>(row), nullptr);
    // A row is complete once the last pass has been through it; a quarter
    // turn moves the rows into the picture a band at a time.
    if (d->pass == d->passes - 1) {
      ReorderPngRow(row, d->width);
      work += PictureTurnRowDone(&d->turn, d->bitmap, d->row);
    }
    if (++d->row == d->height) {
      d->row = 0;
      ++d->pass;
    }
  } while (d->pass < d->passes && work + RowPixels(d) + ROW_WORK <= PICTURE_STEP_PIXELS);
  d->last_step_work = work;
  if (d->pass < d->passes) return 0;
  // png_read_end is not called, as by png_read_image's callers.
  ReleaseReading(d);
  d->turning = PictureTurnAfterRows(&d->turn);
  d->done = !d->turning;
  if (d->done) ReleasePictureTurn(&d->turn);
  return d->done ? 1 : 0;
}

int64_t PngLastStepWork(const PngDecoding* d) { return d->last_step_work; }

Bitmap* PngDecodingBitmap(const PngDecoding* d) { return d->bitmap; }

Bitmap* TakePngPicture(PngDecoding* d) {
  Bitmap* picture = d->done ? d->bitmap : nullptr;
  if (picture) d->owns_target = false;
  AbandonPngDecoding(d);
  return picture;
}

void AbandonPngDecoding(PngDecoding* d) {
  if (!d) return;
  ReleaseReading(d);
  ReleasePictureTurn(&d->turn);
  if (d->owns_target) delete d->target;
  free(d);
}

Bitmap* DecodePngStream(FILE* file, Bitmap* target) {
  PngDecoding* d = StartPngDecoding(file, false, INT64_MAX);
  if (!d) return nullptr;
  SetPngDecodingTarget(d, target, false);
  int result = 0;
  while ((result = StepPngDecoding(d)) == 0) {
  }
  if (result < 0) {
    AbandonPngDecoding(d);
    return nullptr;
  }
  return TakePngPicture(d);
}

Bitmap* LoadPngFile(const char* path, Bitmap* target) {
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return nullptr;
  Bitmap* result = DecodePngStream(file, target);
  fclose(file);
  return result;
}
