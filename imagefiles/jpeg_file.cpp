#include "imagefiles/jpeg_file.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

#include "base/utf8_file.h"
#include "imagefiles/exif_orientation.h"
#include "imagefiles/picture_bounds.h"
#include "imagefiles/picture_decoding.h"
#include "imagefiles/picture_turn.h"
#include "raster/memory_bitmap.h"

namespace {

// A scan's setup (its tables, its header) counts as one block of work.
const int64_t SCAN_SETUP_WORK = 64;
// Pictures smaller than this many blocks may take the work of this many:
// a tiny picture keeps room for any script.
const int64_t LEAST_WORK_BLOCKS = 64;
// libjpeg's tables, its stdio buffer and other small allocations.
const int64_t JPEG_SMALL_BYTES = 256 * 1024;

enum JpegPhase {
  PHASE_SCANS,   // multi-scan: reading the scans into the coefficient arrays
  PHASE_OUTPUT,  // the rows into the bitmap
  PHASE_TURN,    // the rows turned upright as the Exif orientation says
  PHASE_DONE,
  PHASE_FAILED,
};

// libjpeg's error manager with the jump back to the decoder.
struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf recovery;
};

void ExitOnError(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->recovery, 1); }

// Warnings (a truncated file, for one) are ignored: decoding goes on.
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}
void IgnoreFormat(j_common_ptr, char*) {}

void ResetErrors(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

void Fail(j_decompress_ptr cinfo) { cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo)); }

int64_t RoundUp(int64_t value, int64_t step) { return step > 0 ? (value + step - 1) / step * step : value; }

}  // namespace

// Everything that must be released when libjpeg jumps back, kept in memory
// rather than in locals of the functions that call setjmp.
struct JpegDecoding {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  FILE* file;
  bool owns_file;
  bool libjpeg_live;      // cinfo holds libjpeg's state
  JpegPhase phase;
  bool multi_scan;
  bool started;           // jpeg_start_decompress (multi-scan) has run
  bool output_started;    // the bitmap is sized and rows may come
  bool in_place;          // libjpeg writes pixels straight into the rows
  Bitmap* target;         // the bitmap to fill, or null to make one
  bool owns_target;
  Bitmap* bitmap;         // the picture, once sized (upright)
  unsigned char* row;     // sample row for grey and CMYK output
  int width, height;       // as stored
  bool header_read;
  bool exif_seen;         // the first Exif APP1 segment has been read
  PictureTurn turn;
  int64_t coefficient_bytes;  // of a multi-scan file
  int64_t buffer_bytes;       // row buffers and tables
  int64_t work_limit;         // coefficients all scans may visit
  int64_t work_done;          // those visited by the scans begun so far
  int64_t file_start, file_end;   // where the file's bytes begin and end
  int64_t last_step_work;
};

namespace {

// Up to size bytes from libjpeg's data source; false if the source would
// suspend (the stdio source never does: at the end of the file it gives an
// end marker).
bool ReadSource(j_decompress_ptr cinfo, unsigned char* out, size_t size) {
  jpeg_source_mgr* source = cinfo->src;
  while (size > 0) {
    if (source->bytes_in_buffer == 0 && !source->fill_input_buffer(cinfo)) return false;
    size_t n = size < source->bytes_in_buffer ? size : source->bytes_in_buffer;
    memcpy(out, source->next_input_byte, n);
    source->next_input_byte += n;
    source->bytes_in_buffer -= n;
    out += n;
    size -= n;
  }
  return true;
}

// An APP1 segment. The first one of the header that starts "Exif\0\0" is
// read whole (at most 65533 bytes) for the orientation; every other one is
// skipped, as libjpeg skips it. (libjpeg's marker saving would keep them
// all, and appends each to its list by walking it from the start.)
boolean ReadApp1(j_decompress_ptr cinfo) {
  JpegDecoding* d = static_cast<JpegDecoding*>(cinfo->client_data);
  unsigned char length_bytes[2];
  if (!ReadSource(cinfo, length_bytes, 2)) return FALSE;
  long length = long(length_bytes[0]) << 8 | length_bytes[1];
  length -= 2;
  const unsigned char EXIF[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (!d->header_read && !d->exif_seen && length >= long(sizeof EXIF)) {
    unsigned char start[sizeof EXIF];
    if (!ReadSource(cinfo, start, sizeof start)) return FALSE;
    length -= long(sizeof start);
    if (memcmp(start, EXIF, sizeof EXIF) == 0) {
      d->exif_seen = true;
      size_t size = sizeof EXIF + static_cast<size_t>(length);
      unsigned char* payload = static_cast<unsigned char*>(
          (*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, size));
      memcpy(payload, EXIF, sizeof EXIF);
      if (!ReadSource(cinfo, payload + sizeof EXIF, static_cast<size_t>(length))) return FALSE;
      length = 0;
      d->turn = MakePictureTurn(ExifOrientationOfApp1(payload, size));
    }
  }
  if (length > 0) (*cinfo->src->skip_input_data)(cinfo, length);
  return TRUE;
}

// One row of grey, CMYK or RGB samples into pixels.
void ConvertRow(const unsigned char* row, int width, int components, J_COLOR_SPACE space, uint32_t* out) {
  if (components == 3) {
    for (int x = 0; x < width; ++x, row += 3)
      out[x] = 0xFF000000u | uint32_t(row[0]) << 16 | uint32_t(row[1]) << 8 | row[2];
  } else if (components == 4 && space == JCS_CMYK) {
    // Stored inverted, as Adobe writes them: 255 means no ink.
    for (int x = 0; x < width; ++x, row += 4) {
      uint32_t c = row[0], m = row[1], y = row[2], k = row[3];
      out[x] = 0xFF000000u | ((c * k + 255) >> 8) << 16 | ((m * k + 255) >> 8) << 8 | ((y * k + 255) >> 8);
    }
  } else if (components == 1) {
    for (int x = 0; x < width; ++x) out[x] = 0xFF000000u | row[x] * 0x010101u;
  } else {
    memset(out, 0, static_cast<size_t>(width) * 4);
  }
}

// Work of a block of the current scan: its coefficients, and one for the
// block itself, so that a scan of DC coefficients counts too. A sequential
// scan decodes every coefficient whatever its header says.
int64_t BlockWork(const jpeg_decompress_struct* cinfo) {
  if (!cinfo->progressive_mode) return DCTSIZE2 + 1;
  int64_t coefficients = int64_t(cinfo->Se) - cinfo->Ss + 1;
  if (coefficients < 1) coefficients = 1;
  if (coefficients > DCTSIZE2) coefficients = DCTSIZE2;
  return coefficients + 1;
}

int64_t FrameBlocks(const jpeg_decompress_struct* cinfo) {
  int64_t blocks = 0;
  for (int i = 0; i < cinfo->num_components; ++i)
    blocks += int64_t(cinfo->comp_info[i].width_in_blocks) * cinfo->comp_info[i].height_in_blocks;
  return blocks;
}

// The work of the scan whose header was just read, counted against the
// limit before any of its data is read.
void CountScan(JpegDecoding* d) {
  j_decompress_ptr cinfo = &d->cinfo;
  int64_t blocks = 0;
  for (int i = 0; i < cinfo->comps_in_scan; ++i)
    blocks += int64_t(cinfo->cur_comp_info[i]->width_in_blocks) * cinfo->cur_comp_info[i]->height_in_blocks;
  int64_t per_block = BlockWork(cinfo);
  d->work_done += blocks * per_block + SCAN_SETUP_WORK;
  if (d->work_done > d->work_limit) Fail(cinfo);
}

// The time one jpeg_consume_input call of the current scan takes, in
// coefficients: a row of MCUs (an interleaved scan) or of the component's
// blocks, each its coefficients and as much again as 16 for the block
// itself (a DC scan reads little but zeroes and touches the block's
// memory first). Arithmetic decoding takes about three times as long.
int64_t ScanRowWork(const jpeg_decompress_struct* cinfo) {
  int64_t blocks = 0;
  if (cinfo->comps_in_scan > 1) {
    blocks = int64_t(cinfo->MCUs_per_row) * cinfo->blocks_in_MCU;
  } else if (cinfo->comps_in_scan == 1) {
    blocks = int64_t(cinfo->cur_comp_info[0]->width_in_blocks) * cinfo->cur_comp_info[0]->v_samp_factor;
  }
  return blocks * (BlockWork(cinfo) + 15) * (cinfo->arith_code ? 3 : 1) + 1;
}

// Rows of one output step: whole rows of blocks (the least libjpeg makes
// at once) as far as PICTURE_STEP_PIXELS allows, at least one.
int OutputRowsPerStep(const jpeg_decompress_struct* cinfo) {
  int64_t width = cinfo->output_width > 0 ? cinfo->output_width : 1;
  int64_t band = int64_t(cinfo->max_v_samp_factor) * DCTSIZE;
  int64_t rows = PICTURE_STEP_PIXELS / width;
  if (rows >= band) rows = rows / band * band;
  if (rows < 1) rows = 1;
  return static_cast<int>(rows > cinfo->output_height ? cinfo->output_height : rows);
}

// Sizes the bitmap and the sample row once libjpeg is ready for rows.
// Called under a recovery point.
void BeginOutput(JpegDecoding* d) {
  j_decompress_ptr cinfo = &d->cinfo;
  if (!d->in_place) {
    d->row = static_cast<unsigned char*>((*cinfo->mem->alloc_large)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
        static_cast<size_t>(cinfo->output_width) * static_cast<size_t>(cinfo->output_components)));
  }
  int width = static_cast<int>(cinfo->output_width);
  int height = static_cast<int>(cinfo->output_height);
  int upright_width = 0, upright_height = 0;
  UprightPictureSize(&d->turn, width, height, &upright_width, &upright_height);
  Bitmap* bitmap = d->target;
  if (!bitmap) {
    bitmap = d->target = new (std::nothrow) MemoryBitmap(upright_width, upright_height);
    d->owns_target = true;
    if (!bitmap) Fail(cinfo);
  } else {
    bitmap->Resize(upright_width, upright_height);
  }
  if (bitmap->Width() != upright_width || bitmap->Height() != upright_height || !bitmap->Bits()) Fail(cinfo);
  d->bitmap = bitmap;
  if (!StartPictureTurn(&d->turn, bitmap, width, height, false)) Fail(cinfo);
  d->output_started = true;
}

void ReleaseLibjpeg(JpegDecoding* d) {
  if (d->libjpeg_live) jpeg_destroy_decompress(&d->cinfo);
  d->libjpeg_live = false;
  if (d->file && d->owns_file) fclose(d->file);
  d->file = nullptr;
}

void FailDecoding(JpegDecoding* d) {
  ReleaseLibjpeg(d);
  ReleasePictureTurn(&d->turn);
  if (d->owns_target) delete d->target;
  d->target = nullptr;
  d->owns_target = false;
  d->bitmap = nullptr;
  d->phase = PHASE_FAILED;
}

// The header, the bounds and the limits; false on refusal. Called under
// the recovery point of StartJpegDecoding.
bool ReadHeader(JpegDecoding* d, int64_t max_bytes) {
  j_decompress_ptr cinfo = &d->cinfo;
  int64_t file_bytes = FileBytesLeft(d->file);
  d->file_start = FilePosition(d->file);
  d->file_end = file_bytes < INT64_MAX - d->file_start ? d->file_start + file_bytes : INT64_MAX;
  jpeg_stdio_src(cinfo, d->file);
  cinfo->client_data = d;
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, ReadApp1);
  jpeg_read_header(cinfo, TRUE);
  d->header_read = true;
  // A frame its file cannot hold is refused before libjpeg reserves its
  // coefficients or any bitmap is sized.
  if (!JpegFitsFile(cinfo, file_bytes)) return false;
  // Nothing is scaled: the output has the image's size, turned upright.
  d->width = static_cast<int>(cinfo->image_width);
  d->height = static_cast<int>(cinfo->image_height);
  int upright_width = 0, upright_height = 0;
  UprightPictureSize(&d->turn, d->width, d->height, &upright_width, &upright_height);
  int64_t picture = BitmapByteCount(upright_width, upright_height);
  if (picture < 0) return false;
  d->multi_scan = jpeg_has_multiple_scans(cinfo) != 0;
  // Sample rows of each component for upsampling and colour conversion,
  // with the context rows of the smoothing.
  d->buffer_bytes = JPEG_SMALL_BYTES + int64_t(cinfo->image_width) * cinfo->num_components *
                                           cinfo->max_v_samp_factor * DCTSIZE * 4;
  if (d->multi_scan) {
    for (int i = 0; i < cinfo->num_components; ++i) {
      const jpeg_component_info& c = cinfo->comp_info[i];
      d->coefficient_bytes += RoundUp(c.width_in_blocks, c.h_samp_factor) * RoundUp(c.height_in_blocks, c.v_samp_factor) *
                              DCTSIZE2 * int64_t(sizeof(JCOEF));
    }
    int64_t blocks = FrameBlocks(cinfo);
    d->work_limit = int64_t(JPEG_WORK_MULTIPLE) * DCTSIZE2 * (blocks > LEAST_WORK_BLOCKS ? blocks : LEAST_WORK_BLOCKS);
    CountScan(d);  // the first scan, whose header jpeg_read_header has read
  }
  if (picture + d->coefficient_bytes + d->buffer_bytes + PictureTurnBytes(&d->turn, d->width, d->height, false) >
      max_bytes)
    return false;
  // Colour pictures: libjpeg writes B, G, R, 255 straight into the bitmap's
  // rows. Its conversion gives the very values of its RGB output, and no
  // second pass over the pixels is needed.
  d->in_place = cinfo->out_color_space == JCS_RGB;
  if (d->in_place) cinfo->out_color_space = JCS_EXT_BGRA;
  cinfo->buffered_image = d->multi_scan ? TRUE : FALSE;
  d->phase = d->multi_scan ? PHASE_SCANS : PHASE_OUTPUT;
  return true;
}

bool Start(JpegDecoding* d, int64_t max_bytes) {
  j_decompress_ptr cinfo = &d->cinfo;
  cinfo->err = jpeg_std_error(&d->errors.manager);
  d->errors.manager.error_exit = ExitOnError;
  d->errors.manager.emit_message = IgnoreMessage;
  d->errors.manager.output_message = IgnoreOutput;
  d->errors.manager.format_message = IgnoreFormat;
  d->errors.manager.reset_error_mgr = ResetErrors;
  if (setjmp(d->errors.recovery)) {
    ReleaseLibjpeg(d);
    return false;
  }
  jpeg_create_decompress(cinfo);
  d->libjpeg_live = true;
  if (ReadHeader(d, max_bytes)) return true;
  ReleaseLibjpeg(d);
  return false;
}

// Scans into the coefficient arrays, a few rows of blocks per call.
int64_t ReadScans(JpegDecoding* d) {
  j_decompress_ptr cinfo = &d->cinfo;
  if (!d->started) {
    // Reserves the coefficient arrays; the first scan is set up.
    jpeg_start_decompress(cinfo);
    d->started = true;
  }
  int64_t work = 0;
  for (;;) {
    int result = jpeg_consume_input(cinfo);
    if (result == JPEG_REACHED_EOI) {
      // All input is in: the output pass is the one of the plain decoding.
      jpeg_start_output(cinfo, cinfo->input_scan_number);
      d->phase = PHASE_OUTPUT;
      return work + SCAN_SETUP_WORK;
    }
    if (result == JPEG_SUSPENDED) Fail(cinfo);  // the stdio source never suspends
    if (result == JPEG_REACHED_SOS) {
      CountScan(d);
      work += SCAN_SETUP_WORK;
    } else {
      work += ScanRowWork(cinfo);
    }
    // Stops before a call that would take the step past its size; the
    // next call's rows are those of the scan now under way.
    if (work + ScanRowWork(cinfo) > PICTURE_STEP_PIXELS) return work;
  }
}

// Rows into the bitmap; true when the last one is in.
bool PutRows(JpegDecoding* d, int64_t* work) {
  j_decompress_ptr cinfo = &d->cinfo;
  if (!d->output_started) {
    if (!d->started) jpeg_start_decompress(cinfo);  // one scan: rows come as it is read
    d->started = true;
    BeginOutput(d);
  }
  int width = static_cast<int>(cinfo->output_width);
  int rows = OutputRowsPerStep(cinfo);
  for (int n = 0; n < rows && cinfo->output_scanline < cinfo->output_height; ++n) {
    int y = static_cast<int>(cinfo->output_scanline);
    uint32_t* out = PictureTurnRow(&d->turn, d->bitmap, y);
    JSAMPROW samples[1] = {d->in_place ? reinterpret_cast<JSAMPROW>(out) : d->row};
    // The stdio source never suspends: libjpeg fills what is missing.
    if (jpeg_read_scanlines(cinfo, samples, 1) != 1) Fail(cinfo);
    if (!d->in_place) ConvertRow(d->row, width, cinfo->output_components, cinfo->out_color_space, out);
    // A quarter turn moves the rows into the picture a band at a time.
    *work += width + PictureTurnRowDone(&d->turn, d->bitmap, y);
  }
  if (cinfo->output_scanline < cinfo->output_height) return false;
  if (d->multi_scan) jpeg_finish_output(cinfo);
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

JpegDecoding* StartJpegDecoding(FILE* file, bool owns_file, int64_t max_bytes) {
  if (!file) return nullptr;
  JpegDecoding* d = static_cast<JpegDecoding*>(calloc(1, sizeof(JpegDecoding)));
  if (!d) {
    if (owns_file) fclose(file);
    return nullptr;
  }
  d->file = file;
  d->owns_file = owns_file;
  d->turn = MakePictureTurn(EXIF_ORIENTATION_UPRIGHT);
  if (!Start(d, max_bytes)) {
    free(d);
    return nullptr;
  }
  return d;
}

int64_t JpegWorkingNeed(const JpegDecoding* d) {
  return d->coefficient_bytes + d->buffer_bytes + PictureTurnBytes(&d->turn, d->width, d->height, false);
}

int64_t JpegWorkingHeld(const JpegDecoding* d) {
  int64_t turn = d->turn.unturned ? PictureTurnBytes(&d->turn, d->width, d->height, false) : 0;
  if (!d->libjpeg_live) return turn;
  return (d->started || d->output_started ? d->coefficient_bytes : 0) + d->buffer_bytes + turn;
}

void JpegPictureSize(const JpegDecoding* d, int* width, int* height) {
  UprightPictureSize(&d->turn, d->width, d->height, width, height);
}

bool JpegHasMultipleScans(const JpegDecoding* d) { return d->multi_scan; }

void SetJpegDecodingTarget(JpegDecoding* d, Bitmap* target, bool owned) {
  if (d->owns_target && d->target != target) delete d->target;
  d->target = target;
  d->owns_target = owned && target;
}

int StepJpegDecoding(JpegDecoding* d) {
  d->last_step_work = 0;
  if (d->phase == PHASE_DONE) return 1;
  if (d->phase == PHASE_FAILED) return -1;
  if (setjmp(d->errors.recovery)) {
    FailDecoding(d);
    return -1;
  }
  int64_t work = 0;
  if (d->phase == PHASE_SCANS) {
    work = ReadScans(d);
  } else if (d->phase == PHASE_TURN) {
    if (StepPictureTurn(&d->turn, d->bitmap, &work)) d->phase = PHASE_DONE;
  } else if (PutRows(d, &work)) {
    ReleaseLibjpeg(d);
    d->phase = PictureTurnAfterRows(&d->turn) ? PHASE_TURN : PHASE_DONE;
    if (d->phase == PHASE_DONE) ReleasePictureTurn(&d->turn);
  }
  d->last_step_work = work;
  return d->phase == PHASE_DONE ? 1 : 0;
}

int64_t JpegLastStepWork(const JpegDecoding* d) { return d->last_step_work; }

int64_t JpegRemainingWork(const JpegDecoding* d) {
  if (d->phase == PHASE_DONE || d->phase == PHASE_FAILED) return 0;
  const jpeg_decompress_struct* cinfo = &d->cinfo;
  int64_t rows = d->output_started ? int64_t(cinfo->output_height) - cinfo->output_scanline : d->height;
  int64_t work = rows * d->width;
  if (d->phase != PHASE_SCANS) return work;
  // How many scans remain only the file knows: the scans still to come
  // are taken to need the work per byte of those read so far.
  int64_t at = FilePosition(d->file);
  if (at >= 0 && cinfo->src) at -= static_cast<int64_t>(cinfo->src->bytes_in_buffer);
  int64_t read = at - d->file_start;
  int64_t left = d->file_end - at;
  if (at < 0 || read <= 0 || left < 0 || d->file_end == INT64_MAX) return work + d->work_limit;
  double estimate = static_cast<double>(d->work_done) * static_cast<double>(left) / static_cast<double>(read);
  return work + (estimate < static_cast<double>(d->work_limit) ? static_cast<int64_t>(estimate) : d->work_limit);
}

Bitmap* JpegDecodingBitmap(const JpegDecoding* d) { return d->bitmap; }

Bitmap* TakeJpegPicture(JpegDecoding* d) {
  Bitmap* picture = d->phase == PHASE_DONE ? d->bitmap : nullptr;
  if (picture) d->owns_target = false;
  AbandonJpegDecoding(d);
  return picture;
}

void AbandonJpegDecoding(JpegDecoding* d) {
  if (!d) return;
  ReleaseLibjpeg(d);
  ReleasePictureTurn(&d->turn);
  if (d->owns_target) delete d->target;
  free(d);
}

Bitmap* DecodeJpegStream(FILE* file, Bitmap* target) {
  JpegDecoding* d = StartJpegDecoding(file, false, INT64_MAX);
  if (!d) return nullptr;
  SetJpegDecodingTarget(d, target, false);
  int result = 0;
  while ((result = StepJpegDecoding(d)) == 0) {
  }
  if (result < 0) {
    AbandonJpegDecoding(d);
    return nullptr;
  }
  return TakeJpegPicture(d);
}

Bitmap* LoadJpegFile(const char* path, Bitmap* target) {
  FILE* file = Utf8OpenFile(path, "rb");
  if (!file) return nullptr;
  Bitmap* result = DecodeJpegStream(file, target);
  fclose(file);
  return result;
}
