// The kernels behind the raster operations: the inner loops that the
// instruction sets do differently. blitting.cpp holds the scalar reference and
// the table; each instruction set's file in raster/x86 installs the entries it
// does faster, from SSE2 up, so that a level inherits the kernels of the
// levels below it that it does not replace.
#pragma once

#include <cstdint>

#include "raster/cpu_features.h"

struct BlitKernels {
  // p[0..count-1] = value.
  void (*fill_pixels)(uint32_t* p, int64_t count, uint32_t value);
  // The add blend of colour at full weight onto p[0..count-1].
  void (*add_pixels)(uint32_t* p, int64_t count, uint32_t colour);
  // dest[i] = src_last[-i] for i in 0..count-1.
  void (*reverse_copy)(uint32_t* dest, const uint32_t* src_last, int64_t count);
  // dest(x, y) = src(x * xstep + y * ystep) for a rows x cols block, where one
  // of the steps is +-1 pixel and the other +-1 row: a transposition.
  void (*transpose_block)(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep,
                          int64_t cols, int64_t rows);
  // The same with stores that go around the cache, for a destination written
  // once and not read soon (a picture turned upright while it is decoded).
  void (*transpose_block_streaming)(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep,
                                    int64_t ystep, int64_t cols, int64_t rows);
  // One output row of the cross blur at columns 1..width-2 (width >= 2), from
  // unblurred rows; up or down is null on the first or last row. Returns the
  // first column it left to the scalar reference.
  int64_t (*blur_row_inside)(uint32_t* out, const uint32_t* up, const uint32_t* cur, const uint32_t* down,
                             int64_t width);
};

// The scalar kernels (blitting.cpp), which the vector ones use for their tails.
void AddPixelsScalar(uint32_t* p, int64_t count, uint32_t colour);
void ReverseCopyScalar(uint32_t* dest, const uint32_t* src_last, int64_t count);
void TransposeBlockScalar(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep,
                          int64_t cols, int64_t rows);

#ifdef VISTREL_X86_KERNELS
void InstallBlitKernelsSse2(BlitKernels* kernels);  // raster/x86/blitting_sse2.cpp
void InstallBlitKernelsAvx2(BlitKernels* kernels);  // raster/x86/blitting_avx2.cpp
#endif
