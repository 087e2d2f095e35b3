// libjpeg's memory back end, the system-dependent part of its memory
// manager, in place of the library's own (jmemnobs, plain malloc and free).
// Its large objects, a multi-scan picture's coefficient arrays above all
// (some 900 MB for 300 million pixels), are blocks of block_memory: freed at
// the end of a decoding, they are given back between messages instead of
// holding the window for a tenth of a second. Linked only with the static
// libjpeg of the Windows build, whose jmemnobs object this file replaces.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <jerror.h>

#include "raster/block_memory.h"

// The back end's temporary-file record: this back end has none.
struct backing_store_struct;

extern "C" {

void* jpeg_get_small(j_common_ptr, size_t bytes) { return std::malloc(bytes); }

void jpeg_free_small(j_common_ptr, void* object, size_t) { std::free(object); }

void* jpeg_get_large(j_common_ptr, size_t bytes) { return AllocateBlock(bytes); }

void jpeg_free_large(j_common_ptr, void* object, size_t bytes) { FreeBlock(object, bytes); }

// All memory is available, up to the limit the decoder may set.
size_t jpeg_mem_available(j_common_ptr cinfo, size_t, size_t max_bytes_needed, size_t already_allocated) {
  long limit = cinfo->mem->max_memory_to_use;
  if (limit == 0) return max_bytes_needed;
  return static_cast<size_t>(limit) > already_allocated ? static_cast<size_t>(limit) - already_allocated : 0;
}

// Never called while all memory is available; an error like libjpeg's own.
void jpeg_open_backing_store(j_common_ptr cinfo, backing_store_struct*, long) {
  cinfo->err->msg_code = JERR_NO_BACKING_STORE;
  (*cinfo->err->error_exit)(cinfo);
}

long jpeg_mem_init(j_common_ptr) { return 0; }

void jpeg_mem_term(j_common_ptr) {}

}  // extern "C"
