#include "imagefiles/jpeg_file.h"

#include <climits>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "base/utf8_file.h"
#include "imagefiles/jpeg_scan_source.h"
#include "imagefiles/picture_bounds.h"
#include "raster/memory_bitmap.h"

namespace {

// A progressive file may hold any number of scans, each a pass over the
// whole picture; real ones have about ten. libjpeg-turbo's own tools stop
// at 500. Since a scan costs a pass over the picture, pictures above 8
// megapixels get proportionally fewer, never fewer than 64.
const int MAX_JPEG_SCANS = 500;
const int MIN_JPEG_SCAN_LIMIT = 64;
const int64_t JPEG_SCAN_WORK = int64_t(MAX_JPEG_SCANS) << 23;  // scans x pixels

// libjpeg's error manager with the jump back to the decoder.
struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf recovery;
};

void ExitOnError(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->recovery, 1);
}

// Warnings (a truncated file, for one) are ignored: decoding goes on.
void IgnoreMessage(j_common_ptr cinfo, int level) {}
void IgnoreOutput(j_common_ptr cinfo) {}
void IgnoreFormat(j_common_ptr cinfo, char* buffer) {}

void ResetErrors(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

int JpegScanLimit(int64_t pixels) {
  int64_t limit = pixels > 0 ? JPEG_SCAN_WORK / pixels : MAX_JPEG_SCANS;
  if (limit > MAX_JPEG_SCANS) return MAX_JPEG_SCANS;
  return limit < MIN_JPEG_SCAN_LIMIT ? MIN_JPEG_SCAN_LIMIT : static_cast<int>(limit);
}

// Stops a file with an absurd number of scans before it is read to the end.
void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > JpegScanLimit(int64_t(d->image_width) * d->image_height)) cinfo->err->error_exit(cinfo);
}

// Everything that must be released when libjpeg jumps back, kept in memory
// rather than in locals of the function that called setjmp.
struct JpegDecoding {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  jpeg_progress_mgr progress;
  Bitmap* created;     // a bitmap this decoder made; deleted on failure
  unsigned char* row;  // sample row for grey and CMYK output
  bool in_place;       // libjpeg writes pixels straight into the rows
  Bitmap* bitmap;      // the bitmap being filled
  uint32_t* out;       // the next row to fill
  ptrdiff_t span;      // pixels from one row to the next (negative when flipped)
  bool sliced;         // reads through the scan source, input a piece at a time
  bool started;        // jpeg_start_decompress has completed
  bool failed;         // the bitmap did not take the picture's size
  Bitmap* target;      // the bitmap to fill, or null to make one
  JpegScanSource source;
};

// One row of grey, CMYK or RGB samples into pixels.
void ConvertRow(const unsigned char* row, int width, int components, J_COLOR_SPACE space,
                uint32_t* out) {
  if (components == 3) {
    for (int x = 0; x < width; ++x, row += 3)
      out[x] = 0xFF000000u | uint32_t(row[0]) << 16 | uint32_t(row[1]) << 8 | row[2];
  } else if (components == 4 && space == JCS_CMYK) {
    // Stored inverted, as Adobe writes them: 255 means no ink.
    for (int x = 0; x < width; ++x, row += 4) {
      uint32_t c = row[0], m = row[1], y = row[2], k = row[3];
      out[x] = 0xFF000000u | ((c * k + 255) >> 8) << 16 | ((m * k + 255) >> 8) << 8 |
               ((y * k + 255) >> 8);
    }
  } else if (components == 1) {
    for (int x = 0; x < width; ++x) out[x] = 0xFF000000u | row[x] * 0x010101u;
  } else {
    memset(out, 0, static_cast<size_t>(width) * 4);
  }
}

// jpeg_start_decompress, with at most max_input bytes more of input when the
// decoding is sliced (negative: no limit), then the sample row and the
// bitmap. True once all that is done; false while a sliced multi-scan file
// needs more input, or when the bitmap does not take the picture's size (a
// bitmap made here is deleted then). Called under a recovery point.
bool StartDecompression(JpegDecoding* d, int64_t max_input) {
  jpeg_decompress_struct* cinfo = &d->cinfo;
  if (d->sliced) AllowJpegInput(cinfo, &d->source, max_input);
  if (!jpeg_start_decompress(cinfo)) return false;
  if (d->sliced) AllowJpegInput(cinfo, &d->source, -1);
  d->started = true;
  int width = static_cast<int>(cinfo->output_width);
  int height = static_cast<int>(cinfo->output_height);
  if (!d->in_place) {
    d->row = static_cast<unsigned char*>((*cinfo->mem->alloc_large)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
        static_cast<size_t>(cinfo->output_width) * static_cast<size_t>(cinfo->output_components)));
  }

  Bitmap* bitmap = d->target;
  if (!bitmap) bitmap = d->created = new MemoryBitmap(width, height);
  else bitmap->Resize(width, height);
  if (bitmap->Width() != width || bitmap->Height() != height || !bitmap->Bits()) {
    delete d->created;
    d->created = nullptr;
    d->failed = true;
    return false;
  }
  d->bitmap = bitmap;
  d->span = bitmap->RowSpan();
  d->out = bitmap->Bits();
  if (bitmap->IsFlipped()) {
    d->out += (height - 1) * d->span;
    d->span = -d->span;
  }
  return true;
}

// Everything up to the start of decompression, shared by the whole-file and
// the band-by-band decoding: the error manager, the header, the output
// format and the bitmap. False on failure, with everything released. A
// picture whose pixels would take more than max_bytes is refused before any
// bitmap is sized. The whole-file decoding reads through libjpeg's stdio
// source, the band-by-band one through the scan source.
bool StartDecoding(JpegDecoding* d, FILE* file, Bitmap* target, int64_t max_bytes) {
  jpeg_decompress_struct* cinfo = &d->cinfo;
  cinfo->err = jpeg_std_error(&d->errors.manager);
  d->errors.manager.error_exit = ExitOnError;
  d->errors.manager.emit_message = IgnoreMessage;
  d->errors.manager.output_message = IgnoreOutput;
  d->errors.manager.format_message = IgnoreFormat;
  d->errors.manager.reset_error_mgr = ResetErrors;
  if (setjmp(d->errors.recovery)) {
    jpeg_destroy_decompress(cinfo);
    delete d->created;
    return false;
  }
  jpeg_create_decompress(cinfo);
  d->progress.progress_monitor = LimitScans;
  cinfo->progress = &d->progress;
  int64_t file_bytes = FileBytesLeft(file);
  if (d->sliced) AttachJpegScanSource(cinfo, &d->source, file);
  else jpeg_stdio_src(cinfo, file);
  jpeg_read_header(cinfo, TRUE);
  // A frame its file cannot hold is refused before libjpeg reserves its
  // coefficients or any bitmap is sized.
  if (!JpegFitsFile(cinfo, file_bytes)) cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  // A size no bitmap can take is refused before libjpeg reserves anything
  // for it (nothing is scaled: the output has the image's size).
  int64_t bytes = BitmapByteCount(static_cast<int>(cinfo->image_width), static_cast<int>(cinfo->image_height));
  if (bytes < 0) cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  if (bytes > max_bytes) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  // Colour pictures: libjpeg writes B, G, R, 255 straight into the bitmap's
  // rows. Its conversion gives the very values of its RGB output, and no
  // second pass over the pixels is needed.
  bool in_place = cinfo->out_color_space == JCS_RGB;
  if (in_place) cinfo->out_color_space = JCS_EXT_BGRA;
  d->in_place = in_place;
  d->target = target;
  // A multi-scan file decoded in slices reads its scans in later calls; any
  // other is started now. The bitmap is sized once the decompression has
  // started (a file that libjpeg refuses by then takes none).
  if (d->sliced && jpeg_has_multiple_scans(cinfo)) return true;
  if (StartDecompression(d, -1)) return true;
  jpeg_destroy_decompress(cinfo);
  return false;
}

// Decodes up to max_rows further rows into the bitmap; before the first row,
// a sliced multi-scan file is given max_input bytes more of its scans
// instead (negative: all of them). 1 when the picture is complete, 0 while
// work remains, -1 on failure; libjpeg is released in the first and the last
// case, and a bitmap made here is deleted on failure.
int DecodeRows(JpegDecoding* d, int max_rows, int64_t max_input) {
  jpeg_decompress_struct* cinfo = &d->cinfo;
  if (setjmp(d->errors.recovery)) {
    jpeg_destroy_decompress(cinfo);
    delete d->created;
    d->created = nullptr;
    return -1;
  }
  if (!d->started && !StartDecompression(d, max_input)) {
    if (!d->failed) return 0;
    jpeg_destroy_decompress(cinfo);
    return -1;
  }
  int width = static_cast<int>(cinfo->output_width);
  bool stalled = false;
  for (int n = 0; n < max_rows && cinfo->output_scanline < cinfo->output_height; ++n) {
    JSAMPROW rows[1] = {d->in_place ? reinterpret_cast<JSAMPROW>(d->out) : d->row};
    if (jpeg_read_scanlines(cinfo, rows, 1) != 1) {
      stalled = true;
      break;
    }
    if (!d->in_place) ConvertRow(d->row, width, cinfo->output_components, cinfo->out_color_space, d->out);
    d->out += d->span;
  }
  if (!stalled && cinfo->output_scanline < cinfo->output_height) return 0;
  // With rows missing, libjpeg gives up here and the jump above is taken.
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return 1;
}

Bitmap* Decode(JpegDecoding* d, FILE* file, Bitmap* target) {
  if (!StartDecoding(d, file, target, INT64_MAX)) return nullptr;
  return DecodeRows(d, INT_MAX, -1) == 1 ? d->bitmap : nullptr;
}

}  // namespace

Bitmap* DecodeJpegStream(FILE* file, Bitmap* target) {
  if (!file) return nullptr;
  JpegDecoding* d = static_cast<JpegDecoding*>(calloc(1, sizeof(JpegDecoding)));
  if (!d) return nullptr;
  Bitmap* result = Decode(d, file, target);
  free(d);
  return result;
}

Bitmap* LoadJpegFile(const char* path, Bitmap* target) {
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return nullptr;
  Bitmap* result = DecodeJpegStream(file, target);
  fclose(file);
  return result;
}

// Band-by-band decoding: the same state as the whole-file decoding, with the
// file it reads.
struct JpegBandDecoding {
  JpegDecoding decoding;
  FILE* file;        // null once libjpeg is released
  bool owns_file;
};

namespace {

void CloseBandFile(JpegBandDecoding* band) {
  if (band->file && band->owns_file) fclose(band->file);
  band->file = nullptr;
}

JpegBandDecoding* StartBands(FILE* file, bool owns_file, Bitmap* target, int64_t max_bytes) {
  JpegBandDecoding* band = static_cast<JpegBandDecoding*>(calloc(1, sizeof(JpegBandDecoding)));
  if (!band) {
    if (file && owns_file) fclose(file);
    return nullptr;
  }
  band->file = file;
  band->owns_file = owns_file;
  band->decoding.sliced = true;
  if (!band->file || !StartDecoding(&band->decoding, band->file, target, max_bytes)) {
    ReleaseJpegScanSource(&band->decoding.source);
    CloseBandFile(band);
    free(band);
    return nullptr;
  }
  return band;
}

}  // namespace

JpegBandDecoding* StartJpegBandDecoding(const char* path, Bitmap* target, int64_t max_bytes) {
  return StartBands(Utf8OpenFile(path, "rb"), true, target, max_bytes);
}

JpegBandDecoding* StartJpegBandDecodingStream(FILE* file, Bitmap* target, int64_t max_bytes) {
  return StartBands(file, false, target, max_bytes);
}

int DecodeJpegBand(JpegBandDecoding* band, int max_rows, int max_input_bytes) {
  if (!band->file) return band->decoding.bitmap ? 1 : -1;
  int result = DecodeRows(&band->decoding, max_rows, max_input_bytes);
  if (result != 0) {
    // libjpeg is released: only the file and the outcome remain.
    ReleaseJpegScanSource(&band->decoding.source);
    CloseBandFile(band);
    if (result < 0) band->decoding.bitmap = nullptr;
  }
  return result;
}

Bitmap* JpegBandBitmap(const JpegBandDecoding* band) {
  return band->decoding.started || !band->file ? band->decoding.bitmap : band->decoding.target;
}

Bitmap* FinishJpegBandDecoding(JpegBandDecoding* band) {
  Bitmap* bitmap = DecodeJpegBand(band, INT_MAX, -1) == 1 ? band->decoding.bitmap : nullptr;
  free(band);
  return bitmap;
}

void AbandonJpegBandDecoding(JpegBandDecoding* band) {
  if (!band) return;
  if (band->file) {
    jpeg_destroy_decompress(&band->decoding.cinfo);
    ReleaseJpegScanSource(&band->decoding.source);
    CloseBandFile(band);
  }
  delete band->decoding.created;
  free(band);
}
