#include "base/growable_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const size_t PAGE = 4096;
// The allocator keeps its own header in front of a block; allocations of
// whole pages less that header fill pages exactly.
const size_t ALLOCATOR_OVERHEAD = 96;
const size_t MAX_EXTRA = 4194304;

}  // namespace

GrowableBuffer MakeGrowableBuffer(size_t step) {
  GrowableBuffer buffer = {nullptr, 0, 0, step};
  return buffer;
}

size_t GrowableBufferAllocationFor(size_t n, size_t step) {
  size_t extra = n / 2 > step ? n / 2 : step;
  if (step >= PAGE) {
    extra -= extra % PAGE;
    if (extra < PAGE) extra = PAGE;
    if (extra > MAX_EXTRA) extra = MAX_EXTRA;
    if (n > SIZE_MAX - ALLOCATOR_OVERHEAD - extra) return 0;
    size_t total = n + ALLOCATOR_OVERHEAD + extra;
    return total - total % PAGE - ALLOCATOR_OVERHEAD;
  }
  if (n > SIZE_MAX - extra) return 0;
  return n + extra;
}

bool SetBufferSize(GrowableBuffer* buffer, size_t n, bool allow_shrink) {
  bool reallocate = n > buffer->allocated;
  if (!reallocate && allow_shrink) {
    // Shrink only when n is below max(min(allocation / 2, allocation - 4 * step), 1).
    size_t half = buffer->allocated / 2;
    size_t threshold = half;
    if (buffer->step <= SIZE_MAX / 4 && buffer->allocated >= 4 * buffer->step) {
      size_t less_steps = buffer->allocated - 4 * buffer->step;
      if (less_steps < threshold) threshold = less_steps;
    } else {
      threshold = 0;  // allocation - 4 * step is negative
    }
    if (threshold < 1) threshold = 1;
    reallocate = n < threshold;
  }
  if (!reallocate) {
    buffer->used = n;
    return true;
  }
  if (n == 0) {
    // Only reached with shrinking allowed: give the memory back.
    free(buffer->data);
    buffer->data = nullptr;
    buffer->allocated = 0;
    buffer->used = 0;
    return true;
  }
  size_t allocation = GrowableBufferAllocationFor(n, buffer->step);
  if (allocation < n) return false;
  void* data = realloc(buffer->data, allocation);
  if (!data) return false;
  buffer->data = static_cast<unsigned char*>(data);
  buffer->allocated = allocation;
  buffer->used = n;
  return true;
}

bool AppendToBuffer(GrowableBuffer* buffer, const void* bytes, size_t count) {
  size_t old_used = buffer->used;
  if (count > SIZE_MAX - old_used) return false;
  if (!SetBufferSize(buffer, old_used + count, false)) return false;
  if (count) memcpy(buffer->data + old_used, bytes, count);
  return true;
}

void FreeBuffer(GrowableBuffer* buffer) {
  free(buffer->data);
  buffer->data = nullptr;
  buffer->allocated = 0;
  buffer->used = 0;
}
