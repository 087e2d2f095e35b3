#pragma once
// The one dynamic array under the program's lists and buffers: a block of
// bytes that grows ahead of demand so that appending one item at a time stays
// cheap, and gives memory back only when asked to.
#include <cstddef>

struct GrowableBuffer {
  unsigned char* data;   // null while nothing is allocated
  size_t allocated;      // bytes the block can hold
  size_t used;           // bytes in use
  size_t step;           // growth step: the least extra room added on growth
};

// An empty buffer with the given growth step.
GrowableBuffer MakeGrowableBuffer(size_t step);

// Sets the used size to n. Memory is reallocated only when n exceeds the
// allocation, or when allow_shrink is set and n falls well below it (see the
// .cpp). Contents up to min(old used, n) are kept. A size of 0 with shrinking
// allowed frees the block. Returns false, leaving the buffer as it was, when
// the size cannot be represented or the memory cannot be had.
bool SetBufferSize(GrowableBuffer* buffer, size_t n, bool allow_shrink);

// Appends count bytes (grows the used size, copies them in).
bool AppendToBuffer(GrowableBuffer* buffer, const void* bytes, size_t count);

// Frees the block and empties the buffer; the step is kept.
void FreeBuffer(GrowableBuffer* buffer);

// The allocation SetBufferSize chooses for a used size of n with the given
// step, or 0 when it would overflow. Exposed for the tests.
size_t GrowableBufferAllocationFor(size_t n, size_t step);
