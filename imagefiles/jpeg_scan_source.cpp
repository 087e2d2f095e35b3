#include "imagefiles/jpeg_scan_source.h"

#include <cstdlib>
#include <cstring>

#include <jerror.h>

namespace {

// The stdio source's read size.
const size_t READ_SIZE = 4096;
// libjpeg backs up at most to the start of a marker segment (under 64 KB) or
// of an MCU; a file that needs more kept than this is refused.
const size_t MAX_BUFFER = size_t(4) << 20;

JpegScanSource* SourceOf(j_decompress_ptr cinfo) { return reinterpret_cast<JpegScanSource*>(cinfo->src); }

void InitSource(j_decompress_ptr cinfo) { SourceOf(cinfo)->start_of_file = true; }

// Reads up to READ_SIZE bytes (within the allowance) after the first kept
// bytes of the buffer; at the end of the file, an end marker instead.
void ReadAfter(j_decompress_ptr cinfo, JpegScanSource* source, size_t kept) {
  if (source->capacity - kept < READ_SIZE) {
    size_t capacity = source->capacity ? source->capacity * 2 : 4 * READ_SIZE;
    if (capacity < kept + READ_SIZE) capacity = kept + READ_SIZE;
    unsigned char* grown =
        capacity <= MAX_BUFFER ? static_cast<unsigned char*>(realloc(source->buffer, capacity)) : nullptr;
    if (!grown) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
    source->buffer = grown;
    source->capacity = capacity;
  }
  size_t wanted = READ_SIZE;
  if (source->allowance > 0 && static_cast<uint64_t>(source->allowance) < wanted) {
    wanted = static_cast<size_t>(source->allowance);
  }
  size_t count = fread(source->buffer + kept, 1, wanted, source->file);
  if (count == 0) {
    if (source->start_of_file) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->buffer[kept] = 0xFF;
    source->buffer[kept + 1] = JPEG_EOI;
    count = 2;
  } else if (source->allowance > 0) {
    source->allowance -= static_cast<int64_t>(count);
  }
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = kept + count;
  source->start_of_file = false;
}

// libjpeg asks for more once it has used everything it was given (the
// position it holds in the manager may be older: its reading keeps its own).
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  JpegScanSource* source = SourceOf(cinfo);
  if (source->allowance == 0) {
    // Suspended: the manager now holds where libjpeg starts again, and
    // everything from there on stays for it.
    source->suspended = true;
    return FALSE;
  }
  ReadAfter(cinfo, source, 0);
  return TRUE;
}

// Skipping never suspends: the file is sought past the bytes (past its end,
// the next read finds nothing and the end marker is inserted).
void SkipInputData(j_decompress_ptr cinfo, long count) {
  JpegScanSource* source = SourceOf(cinfo);
  if (count <= 0) return;
  if (static_cast<size_t>(count) <= source->manager.bytes_in_buffer) {
    source->manager.next_input_byte += count;
    source->manager.bytes_in_buffer -= static_cast<size_t>(count);
    return;
  }
  long beyond = count - static_cast<long>(source->manager.bytes_in_buffer);
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = 0;
  fseek(source->file, beyond, SEEK_CUR);
}

void TermSource(j_decompress_ptr cinfo) {}

}  // namespace

void AttachJpegScanSource(j_decompress_ptr cinfo, JpegScanSource* source, FILE* file) {
  memset(source, 0, sizeof *source);
  source->file = file;
  source->allowance = -1;
  source->start_of_file = true;
  source->manager.init_source = InitSource;
  source->manager.fill_input_buffer = FillInputBuffer;
  source->manager.skip_input_data = SkipInputData;
  source->manager.resync_to_restart = jpeg_resync_to_restart;
  source->manager.term_source = TermSource;
  cinfo->src = &source->manager;
}

void AllowJpegInput(j_decompress_ptr cinfo, JpegScanSource* source, int64_t bytes) {
  source->allowance = bytes < 0 ? -1 : bytes;
  if (!source->suspended || source->allowance == 0) return;
  // libjpeg starts again where it stopped: the bytes it has not consumed
  // move to the front, and new input follows them.
  source->suspended = false;
  size_t kept = source->manager.bytes_in_buffer;
  if (kept > 0 && source->manager.next_input_byte != source->buffer) {
    memmove(source->buffer, source->manager.next_input_byte, kept);
  }
  ReadAfter(cinfo, source, kept);
}

void ReleaseJpegScanSource(JpegScanSource* source) {
  free(source->buffer);
  source->buffer = nullptr;
  source->capacity = 0;
  source->manager.next_input_byte = nullptr;
  source->manager.bytes_in_buffer = 0;
}
