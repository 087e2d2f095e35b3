// The SSE2 blitting kernels. SSE2 is part of x86-64, so this file needs no
// flags of its own.
#include "raster/blitting_kernels.h"
#include "raster/x86/lanes_sse2.h"
#include "raster/x86/blitting_lanes.h"

namespace {

void AddPixelsSse2(uint32_t* p, int64_t count, uint32_t colour) {
  // At full weight the add blend is a saturating byte add.
  __m128i c = _mm_set1_epi32(static_cast<int>(colour));
  int64_t i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i* q = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(q, _mm_adds_epu8(_mm_loadu_si128(q), c));
  }
  AddPixelsScalar(p + i, count - i, colour);
}

void ReverseCopySse2(uint32_t* dest, const uint32_t* src_last, int64_t count) {
  int64_t i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src_last - i - 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)));
  }
  ReverseCopyScalar(dest + i, src_last - i, count - i);
}

inline void StoreQuad(uint32_t* p, __m128i v, bool streaming) {
  if (streaming) _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
  else _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// With ystep = +-1 each 4 x 4 tile is four source row pieces transposed; the
// other orientation is left to the scalar kernel. Streaming stores need
// every destination row 16-byte aligned at the same columns: the columns
// before the first aligned one go to the scalar kernel too.
void TransposeBlock(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep, int64_t cols,
                    int64_t rows, bool streaming) {
  if (ystep != 1 && ystep != -1) return TransposeBlockScalar(dest, dspan, src, xstep, ystep, cols, rows);
  uintptr_t address = reinterpret_cast<uintptr_t>(dest);
  if (streaming && (dspan % 4 != 0 || address % 4 != 0)) streaming = false;
  int64_t head = streaming ? static_cast<int64_t>((16 - address % 16) % 16 / 4) : 0;
  if (head > cols) head = cols;
  int64_t y = 0;
  for (; y + 4 <= rows; y += 4) {
    // With ystep = -1 the four pixels of a source piece lie backwards: load
    // from the lowest address and store the transposed rows bottom up.
    const uint32_t* s = src + (ystep > 0 ? y : -(y + 3));
    uint32_t* d0 = dest + (ystep > 0 ? y : y + 3) * dspan;
    int64_t drow_step = ystep > 0 ? dspan : -dspan;
    if (head > 0) TransposeBlockScalar(dest + y * dspan, dspan, src + y * ystep, xstep, ystep, head, 4);
    int64_t x = head;
    for (; x + 4 <= cols; x += 4) {
      __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * xstep));
      __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + (x + 1) * xstep));
      __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + (x + 2) * xstep));
      __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + (x + 3) * xstep));
      __m128i t0 = _mm_unpacklo_epi32(r0, r1);
      __m128i t1 = _mm_unpacklo_epi32(r2, r3);
      __m128i t2 = _mm_unpackhi_epi32(r0, r1);
      __m128i t3 = _mm_unpackhi_epi32(r2, r3);
      StoreQuad(d0 + x, _mm_unpacklo_epi64(t0, t1), streaming);
      StoreQuad(d0 + drow_step + x, _mm_unpackhi_epi64(t0, t1), streaming);
      StoreQuad(d0 + 2 * drow_step + x, _mm_unpacklo_epi64(t2, t3), streaming);
      StoreQuad(d0 + 3 * drow_step + x, _mm_unpackhi_epi64(t2, t3), streaming);
    }
    if (x < cols)
      TransposeBlockScalar(dest + y * dspan + x, dspan, src + x * xstep + y * ystep, xstep, ystep, cols - x, 4);
  }
  if (y < rows) TransposeBlockScalar(dest + y * dspan, dspan, src + y * ystep, xstep, ystep, cols, rows - y);
  // The streaming stores are seen by later loads, as ordinary ones are.
  if (streaming) _mm_sfence();
}

void TransposeBlockSse2(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep,
                        int64_t cols, int64_t rows) {
  TransposeBlock(dest, dspan, src, xstep, ystep, cols, rows, false);
}

void TransposeBlockStreamingSse2(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep,
                                 int64_t cols, int64_t rows) {
  TransposeBlock(dest, dspan, src, xstep, ystep, cols, rows, true);
}

}  // namespace

void InstallBlitKernelsSse2(BlitKernels* kernels) {
  kernels->fill_pixels = FillPixelsLanes;
  kernels->add_pixels = AddPixelsSse2;
  kernels->reverse_copy = ReverseCopySse2;
  kernels->transpose_block = TransposeBlockSse2;
  kernels->transpose_block_streaming = TransposeBlockStreamingSse2;
  kernels->blur_row_inside = BlurRowInsideLanes;
}
