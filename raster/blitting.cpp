#include "raster/blitting.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "raster/blitting_kernels.h"
#include "raster/cpu_features.h"
#include "raster/memory_bitmap.h"

#if !defined(__GNUC__) && defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <xmmintrin.h>
#endif

namespace {

// The pixels of a bitmap as the operations see them. Coordinates are 64-bit
// so that no clipping sum can overflow, whatever the arguments.
struct Surface {
  uint32_t* bits;
  int64_t width;
  int64_t height;
  int64_t span;
  uint32_t* Row(int64_t y) const { return bits + y * span; }
};

bool GetSurface(Bitmap* bitmap, Surface* surface) {
  if (!bitmap) return false;
  surface->bits = bitmap->Bits();
  surface->width = bitmap->Width();
  surface->height = bitmap->Height();
  surface->span = bitmap->RowSpan();
  return surface->bits && surface->width > 0 && surface->height > 0 && surface->span >= surface->width;
}

// The integer weight of an opacity, (int)(opacity * 256), kept within 0..256:
// 0 (also for negative or NaN opacities) draws nothing, more than 1.0 draws as 1.0.
int OpacityWeight(float opacity) {
  float scaled = opacity * 256;
  if (!(scaled >= 1)) return 0;
  if (scaled >= 256) return 256;
  return static_cast<int>(scaled);
}

// Truncation toward zero of a double, saturated to +-2^50 (NaN gives 0), so
// that a float argument out of any sensible range cannot overflow the
// fixed-point arithmetic.
int64_t TruncSaturated(double value) {
  const double limit = 1125899906842624.0;  // 2^50
  if (!(value == value)) return 0;
  if (value > limit) return static_cast<int64_t>(limit);
  if (value < -limit) return -static_cast<int64_t>(limit);
  return static_cast<int64_t>(value);
}

int64_t FloorSaturated(double value) { return TruncSaturated(std::floor(value)); }

int ClampToInt(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int>(value);
}

uint32_t Half(uint32_t p) { return (p >> 1) & 0x7F7F7F7F; }
uint32_t Quarter(uint32_t p) { return (p >> 2) & 0x3F3F3F3F; }
uint32_t Eighth(uint32_t p) { return (p >> 3) & 0x1F1F1F1F; }

// d + (s - d) * a / 256 per byte, written as the copy blend s + (d - s) * (256 - a) / 256
// with the division truncating toward zero; 0 < a <= 256 keeps every byte in 0..255.
uint32_t CopyBlend(uint32_t d, uint32_t s, int a) {
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int sb = (s >> shift) & 0xFF;
    int db = (d >> shift) & 0xFF;
    int value = sb + (db - sb) * (256 - a) / 256;
    result |= static_cast<uint32_t>(value) << shift;
  }
  return result;
}

uint32_t AddBlend(uint32_t d, uint32_t s, int a) {
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int value = ((s >> shift) & 0xFF) * a / 256 + ((d >> shift) & 0xFF);
    result |= static_cast<uint32_t>(std::min(value, 255)) << shift;
  }
  return result;
}

// The blend of one source pixel onto one destination pixel in the copies.
uint32_t BlendPixel(uint32_t d, uint32_t s, int a, int blend) {
  if (blend == BLEND_ADD) return AddBlend(d, s, a);
  if (a == 256) return s;
  if (a == 128) return Half(s) + Half(d);
  return CopyBlend(d, s, a);
}

// The blend of a fill colour onto one pixel: the copy has shift-and-mask forms
// for the quarter steps.
uint32_t FillBlendPixel(uint32_t pixel, uint32_t colour, int a, int blend) {
  if (blend == BLEND_ADD) return AddBlend(pixel, colour, a);
  switch (a) {
    case 256: return colour;
    case 128: return Half(colour) + Half(pixel);
    case 64: return Half(pixel) + Quarter(pixel) + Quarter(colour);
    case 192: return Quarter(colour) + Quarter(pixel) + Half(colour);
    default: return CopyBlend(pixel, colour, a);
  }
}

// The program draws with these two blends only; the others are not provided
// and leave the destination unchanged.
bool IsProvidedBlend(int blend) { return blend == BLEND_COPY || blend == BLEND_ADD; }

// ---- Scalar kernels ----------------------------------------------------------------

void FillPixelsScalar(uint32_t* p, int64_t count, uint32_t value) {
  for (int64_t i = 0; i < count; ++i) p[i] = value;
}

// One output row of the cross blur from unblurred rows at columns from..to-1;
// up or down is null on the first or last row, whose missing neighbour's
// weight goes to the other.
void BlurRowScalar(uint32_t* out, const uint32_t* up, const uint32_t* cur, const uint32_t* down, int64_t from,
                   int64_t to, int64_t width) {
  for (int64_t x = from; x < to; ++x) {
    uint32_t vertical = up && down ? Eighth(up[x]) + Eighth(down[x]) : up ? Quarter(up[x]) : Quarter(down[x]);
    uint32_t horizontal = x == 0           ? Quarter(cur[1])
                          : x == width - 1 ? Quarter(cur[width - 2])
                                           : Eighth(cur[x - 1]) + Eighth(cur[x + 1]);
    out[x] = Half(cur[x]) + horizontal + vertical;
  }
}

int64_t BlurRowInsideScalar(uint32_t* out, const uint32_t* up, const uint32_t* cur, const uint32_t* down,
                            int64_t width) {
  BlurRowScalar(out, up, cur, down, 1, width - 1, width);
  return width - 1;
}

}  // namespace

void AddPixelsScalar(uint32_t* p, int64_t count, uint32_t colour) {
  for (int64_t i = 0; i < count; ++i) p[i] = AddBlend(p[i], colour, 256);
}

void ReverseCopyScalar(uint32_t* dest, const uint32_t* src_last, int64_t count) {
  for (int64_t i = 0; i < count; ++i) dest[i] = src_last[-i];
}

void TransposeBlockScalar(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep,
                          int64_t cols, int64_t rows) {
  for (int64_t y = 0; y < rows; ++y) {
    const uint32_t* s = src + y * ystep;
    uint32_t* d = dest + y * dspan;
    for (int64_t x = 0; x < cols; ++x) d[x] = s[x * xstep];
  }
}

namespace {

// ---- The kernel table --------------------------------------------------------------

constexpr BlitKernels SCALAR_KERNELS = {FillPixelsScalar,     AddPixelsScalar,     ReverseCopyScalar,
                                        TransposeBlockScalar, TransposeBlockScalar, BlurRowInsideScalar};

// Holds the scalar kernels from the start (constant initialisation), so that
// it works even before the registration below has filled it for the processor.
BlitKernels kernels = SCALAR_KERNELS;

void FillBlitKernels(SimdLevel level) {
  BlitKernels table = SCALAR_KERNELS;
#ifdef VISTREL_X86_KERNELS
  if (level >= SIMD_SSE2) InstallBlitKernelsSse2(&table);
  if (level >= SIMD_AVX2) InstallBlitKernelsAvx2(&table);
#endif
  kernels = table;
}

[[maybe_unused]] const bool kernels_registered = RegisterKernelTable(FillBlitKernels);

// Asks for the cache line holding address ahead of its use.
inline void PrefetchForReading(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
  _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
  (void)address;
#endif
}

// ---- Nearest sampling along one axis -------------------------------------------

// Destination positions j in [0, count) sample the source at (start + j * step) >> 16.
// Finds the range [first, end) of those whose sample lies in 0..limit-1;
// samples are monotonic in j, so the valid ones are one run.
void SampleRange(int64_t start, int64_t step, int64_t limit, int64_t count, int64_t* first, int64_t* end) {
  *first = 0;
  *end = 0;
  if (limit <= 0 || count <= 0) return;
  int64_t top = limit * 65536;  // the first position past the source
  int64_t a, b;
  if (step == 0) {
    if (start < 0 || start >= top) return;
    a = 0;
    b = count;
  } else if (step > 0) {
    a = start >= 0 ? 0 : (-start + step - 1) / step;
    b = top > start ? (top - start + step - 1) / step : 0;
  } else {
    int64_t t = -step;
    a = start < top ? 0 : (start - top) / t + 1;
    b = start >= 0 ? start / t + 1 : 0;
  }
  *first = std::max<int64_t>(a, 0);
  *end = std::min(b, count);
  if (*end < *first) *end = *first;
}

// One axis of a nearest-sampled copy: the valid run of destination positions
// and, for steps other than one pixel, the source index of each of them.
struct AxisSamples {
  int64_t first = 0;
  int64_t end = 0;
  int64_t start = 0;         // 16.16 position at destination index 0
  int64_t step = 0;          // 16.16 step per destination pixel
  int32_t* index = nullptr;  // source index of first..end-1, or null for unit steps
  int64_t Sample(int64_t j) const { return (start + j * step) >> 16; }
  ~AxisSamples() { delete[] index; }
};

// False when there is nothing to draw or no memory for the index.
bool PrepareAxis(AxisSamples* axis, int64_t start, int64_t step, int64_t limit, int64_t count, bool want_index) {
  axis->start = start;
  axis->step = step;
  SampleRange(start, step, limit, count, &axis->first, &axis->end);
  if (axis->first >= axis->end) return false;
  if (!want_index || step == 65536 || step == -65536) return true;
  int64_t n = axis->end - axis->first;
  axis->index = new (std::nothrow) int32_t[n];
  if (!axis->index) return false;
  for (int64_t k = 0; k < n; ++k) axis->index[k] = static_cast<int32_t>(axis->Sample(axis->first + k));
  return true;
}

// Writes drow[j] for j in columns.first..end-1 from srow at the sampled columns.
// next_srow, when not null, is the source row the following call will read:
// its pixels are requested ahead, as reading a large source row by row in
// steps is bound by memory, not by arithmetic.
void SampleRow(uint32_t* drow, const uint32_t* srow, const uint32_t* next_srow, const AxisSamples& columns, int a,
               int blend) {
  int64_t first = columns.first;
  int64_t n = columns.end - first;
  uint32_t* d = drow + first;
  if (a == 256 && blend == BLEND_COPY) {
    if (columns.step == 65536) {
      std::memcpy(d, srow + columns.Sample(first), static_cast<size_t>(n) * 4);
    } else if (columns.step == -65536) {
      kernels.reverse_copy(d, srow + columns.Sample(first), n);
    } else {
      const int32_t* index = columns.index;
      int64_t k = 0;
      for (; k + 4 <= n; k += 4) {
        if (next_srow) PrefetchForReading(next_srow + index[k]);
        uint32_t p0 = srow[index[k]], p1 = srow[index[k + 1]], p2 = srow[index[k + 2]], p3 = srow[index[k + 3]];
        d[k] = p0;
        d[k + 1] = p1;
        d[k + 2] = p2;
        d[k + 3] = p3;
      }
      for (; k < n; ++k) d[k] = srow[index[k]];
    }
    return;
  }
  for (int64_t k = 0; k < n; ++k) {
    int64_t c = columns.index ? columns.index[k] : columns.Sample(first + k);
    d[k] = BlendPixel(d[k], srow[c], a, blend);
  }
}

// ---- Blur ------------------------------------------------------------------------

void BlurRow(uint32_t* out, const uint32_t* up, const uint32_t* cur, const uint32_t* down, int64_t width) {
  int64_t x = kernels.blur_row_inside(out, up, cur, down, width);
  BlurRowScalar(out, up, cur, down, 0, 1, width);
  BlurRowScalar(out, up, cur, down, x, width, width);
}

// A copy of the source when it shares its pixels with the destination, so
// that a copy within one bitmap reads the pixels as they were before it.
MemoryBitmap* SnapshotIfShared(const Surface& dest, Bitmap* src) {
  if (dest.bits != src->Bits()) return nullptr;
  MemoryBitmap* copy = new (std::nothrow) MemoryBitmap();
  if (copy) CopyBitmap(copy, src);
  return copy;
}

}  // namespace

// ---- The operations ----------------------------------------------------------------

void ClearBitmap(Bitmap* dest, uint32_t value) {
  Surface d;
  if (!GetSurface(dest, &d)) return;
  if (d.span == d.width) {
    kernels.fill_pixels(d.bits, d.width * d.height, value);
    return;
  }
  // The padding after each row is left alone.
  for (int64_t y = 0; y < d.height; ++y) kernels.fill_pixels(d.Row(y), d.width, value);
}

namespace {

// The part of the rectangle (x, y, width, height) that lies on the surface:
// its corner and size. False when nothing of it does.
bool ClipRect(const Surface& d, int x, int y, int width, int height, int64_t* x0, int64_t* y0,
              int64_t* cols, int64_t* rows) {
  int64_t left = x, top = y, w = width, h = height;
  if (left < 0) {
    w += left;
    left = 0;
  }
  if (top < 0) {
    h += top;
    top = 0;
  }
  if (w <= 0 || h <= 0 || left >= d.width || top >= d.height) return false;
  *x0 = left;
  *y0 = top;
  *cols = std::min(d.width - left, w);
  *rows = std::min(d.height - top, h);
  return true;
}

}  // namespace

void FillBitmapRect(Bitmap* dest, int x, int y, int width, int height, uint32_t colour, float opacity, int mode) {
  Surface d;
  if (!GetSurface(dest, &d)) return;
  if (mode & USE_SOURCE_ALPHA) opacity *= static_cast<float>(colour >> 24) / 255.0f;
  int64_t x0, y0, cols, rows;
  if (opacity == 0 || !ClipRect(d, x, y, width, height, &x0, &y0, &cols, &rows)) return;
  int blend = mode & BLEND_MODE_MASK;
  int a = OpacityWeight(opacity);
  if (a <= 0 || !IsProvidedBlend(blend)) return;
  for (int64_t row = 0; row < rows; ++row) {
    uint32_t* p = d.Row(y0 + row) + x0;
    if (a == 256 && blend == BLEND_COPY) {
      kernels.fill_pixels(p, cols, colour);
    } else if (a == 256 && blend == BLEND_ADD) {
      kernels.add_pixels(p, cols, colour);
    } else {
      for (int64_t i = 0; i < cols; ++i) p[i] = FillBlendPixel(p[i], colour, a, blend);
    }
  }
}

uint32_t GetBitmapPixel(Bitmap* bitmap, int x, int y) {
  Surface s;
  if (!GetSurface(bitmap, &s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
  return s.Row(y)[x];
}

void PutBitmapPixel(Bitmap* dest, int x, int y, uint32_t colour, float opacity) {
  Surface d;
  if (!GetSurface(dest, &d) || x < 0 || y < 0 || x >= d.width || y >= d.height) return;
  int a = OpacityWeight(opacity);
  if (a <= 0) return;
  uint32_t* p = d.Row(y) + x;
  *p = FillBlendPixel(*p, colour, a, BLEND_COPY);
}

void CopyBitmap(Bitmap* dest, Bitmap* src) {
  if (!dest || !src || !src->Bits() || dest == src) return;
  dest->Resize(src->Width(), src->Height());
  BlitBitmap(dest, src, 0, 0, nullptr, 1.0f, BLEND_COPY, true);
}

void BlitBitmap(Bitmap* dest, Bitmap* src, int dstx, int dsty, const BlitRect* rect, float opacity, int mode,
                bool scale_fallback) {
  if (opacity == 0) return;
  Surface d, s;
  if (!GetSurface(dest, &d) || !GetSurface(src, &s)) return;
  int64_t sw = s.width, sh = s.height, sx = 0, sy = 0, x0 = dstx, y0 = dsty;
  if (rect) {
    sw = std::min<int64_t>(sw, rect->right);
    sh = std::min<int64_t>(sh, rect->bottom);
    // A negative left or top moves the destination instead.
    if (rect->left < 0)
      x0 -= rect->left;
    else
      sx = rect->left;
    if (rect->top < 0)
      y0 -= rect->top;
    else
      sy = rect->top;
  }
  if (x0 < 0) {
    sx -= x0;
    x0 = 0;
  }
  if (y0 < 0) {
    sy -= y0;
    y0 = 0;
  }
  if (sx < 0 || sy < 0 || sx >= sw || sy >= sh || x0 >= d.width || y0 >= d.height) return;
  int64_t cols = std::min(sx + d.width - x0, sw) - sx;
  int64_t rows = std::min(sy + d.height - y0, sh) - sy;
  if (cols <= 0 || rows <= 0) return;

  int blend = mode & BLEND_MODE_MASK;
  int a = OpacityWeight(opacity);
  // Channel copies and the source-alpha blends are not provided.
  if (a <= 0 || !IsProvidedBlend(blend) || (mode & USE_SOURCE_ALPHA)) return;

  if (a == 256 && blend == BLEND_COPY) {
    // Block copies; within one bitmap the rows go in the order that reads
    // every source row before it is overwritten.
    bool upward = d.bits == s.bits && y0 > sy;
    for (int64_t i = 0; i < rows; ++i) {
      int64_t row = upward ? rows - 1 - i : i;
      std::memmove(d.Row(y0 + row) + x0, s.Row(sy + row) + sx, static_cast<size_t>(cols) * 4);
    }
    return;
  }
  MemoryBitmap* snapshot = SnapshotIfShared(d, src);
  if (snapshot) {
    if (!GetSurface(snapshot, &s)) {
      delete snapshot;
      return;
    }
  } else if (d.bits == s.bits) {
    return;  // no memory for the snapshot
  }
  for (int64_t row = 0; row < rows; ++row) {
    uint32_t* dp = d.Row(y0 + row) + x0;
    const uint32_t* sp = s.Row(sy + row) + sx;
    for (int64_t i = 0; i < cols; ++i) dp[i] = BlendPixel(dp[i], sp[i], a, blend);
  }
  delete snapshot;
}

void StretchBlitBitmap(Bitmap* dest, Bitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx, float srcy,
                       float srcw, float srch, float opacity, int mode) {
  if (dstw == 0 || dsth == 0 || opacity == 0) return;
  Surface d, s;
  if (!GetSurface(dest, &d) || !GetSurface(src, &s)) return;
  if (!std::isfinite(srcx) || !std::isfinite(srcy) || !std::isfinite(srcw) || !std::isfinite(srch)) return;

  // Unscaled: a plain copy of the rounded source rectangle.
  bool bilinear = (mode & FILTER_MASK) != 0;
  bool whole = std::fabs(srcx - std::nearbyint(srcx)) <= 0.03f && std::fabs(srcy - std::nearbyint(srcy)) <= 0.03f;
  if (std::fabs(srcw - static_cast<float>(dstw)) < 0.001f && std::fabs(srch - static_cast<float>(dsth)) < 0.001f &&
      (!bilinear || whole)) {
    BlitRect rect;
    int64_t left = TruncSaturated(srcx + 0.5), top = TruncSaturated(srcy + 0.5);
    rect.left = ClampToInt(left);
    rect.top = ClampToInt(top);
    rect.right = ClampToInt(left + TruncSaturated(srcw + 0.5));
    rect.bottom = ClampToInt(top + TruncSaturated(srch + 0.5));
    BlitBitmap(dest, src, dstx, dsty, &rect, opacity, mode, false);
    return;
  }

  int blend = mode & BLEND_MODE_MASK;
  int a = OpacityWeight(opacity);
  // Bilinear filtering is not provided: such copies sample the nearest pixel.
  if (a <= 0 || !IsProvidedBlend(blend) || (mode & USE_SOURCE_ALPHA)) return;

  MemoryBitmap* snapshot = SnapshotIfShared(d, src);
  if (snapshot) {
    StretchBlitBitmap(dest, snapshot, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, opacity, mode);
    delete snapshot;
    return;
  }
  if (d.bits == s.bits) return;  // no memory for the snapshot

  // A negative size mirrors: start at the far edge and step backwards.
  int64_t x0 = dstx, y0 = dsty, w = dstw, h = dsth;
  if (w < 0) {
    w = -w;
    x0 -= w;
    srcx += srcw;
    srcw = -srcw;
  }
  if (h < 0) {
    h = -h;
    y0 -= h;
    srcy += srch;
    srch = -srch;
  }
  float xs = srcw / static_cast<float>(w);
  float ys = srch / static_cast<float>(h);
  int64_t right = std::min(s.width, TruncSaturated(static_cast<double>(std::max(srcw, 0.0f) + srcx) + 0.999999));
  int64_t bottom = std::min(s.height, TruncSaturated(static_cast<double>(std::max(srch, 0.0f) + srcy) + 0.999999));
  if (x0 < 0) {
    srcx -= static_cast<float>(x0) * xs;
    w += x0;
    x0 = 0;
  }
  if (y0 < 0) {
    srcy -= static_cast<float>(y0) * ys;
    h += y0;
    y0 = 0;
  }
  if (w < 1 || h < 1 || x0 >= d.width || y0 >= d.height) return;
  w = std::min(w, d.width - x0);
  h = std::min(h, d.height - y0);

  // 16.16 fixed point; a destination pixel whose sample falls outside
  // columns 0..right-1 or rows 0..bottom-1 is left unchanged.
  AxisSamples columns, rows;
  if (!PrepareAxis(&columns, FloorSaturated(srcx * 65536.0f), FloorSaturated(xs * 65536.0f), right, w, true)) return;
  if (!PrepareAxis(&rows, FloorSaturated(srcy * 65536.0f), FloorSaturated(ys * 65536.0f), bottom, h, false)) return;

  int64_t previous_row = -1;
  for (int64_t i = rows.first; i < rows.end; ++i) {
    int64_t r = rows.Sample(i);
    uint32_t* drow = d.Row(y0 + i) + x0;
    if (r == previous_row && a == 256 && blend == BLEND_COPY) {
      // Enlarging repeats source rows: the row just written is the same.
      std::memcpy(drow + columns.first, drow - d.span + columns.first,
                  static_cast<size_t>(columns.end - columns.first) * 4);
      continue;
    }
    const uint32_t* next = i + 1 < rows.end ? s.Row(rows.Sample(i + 1)) : nullptr;
    SampleRow(drow, s.Row(r), next != s.Row(r) ? next : nullptr, columns, a, blend);
    previous_row = r;
  }
}

void RotateBlitBitmap(Bitmap* dest, Bitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx, float srcy,
                      float srcw, float srch, float angle, bool clip, float opacity, int mode, float centre_x,
                      float centre_y) {
  if (dstw == 0 || dsth == 0) return;
  Surface d, s;
  if (!GetSurface(dest, &d) || !GetSurface(src, &s)) return;
  if (!std::isfinite(srcx) || !std::isfinite(srcy) || !std::isfinite(srcw) || !std::isfinite(srch) ||
      !std::isfinite(angle) || !std::isfinite(centre_x) || !std::isfinite(centre_y))
    return;
  // Mirrored rotations are not provided.
  if (dstw < 0 || dsth < 0) return;
  int blend = mode & BLEND_MODE_MASK;
  int a = OpacityWeight(opacity);
  if (a <= 0 || !IsProvidedBlend(blend) || (mode & USE_SOURCE_ALPHA)) return;

  MemoryBitmap* snapshot = SnapshotIfShared(d, src);
  if (snapshot) {
    RotateBlitBitmap(dest, snapshot, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch, angle, clip, opacity, mode,
                     centre_x, centre_y);
    delete snapshot;
    return;
  }
  if (d.bits == s.bits) return;

  // The source window the samples must fall in.
  int64_t left = 0, top = 0, right = s.width, bottom = s.height;
  if (clip) {
    left = TruncSaturated(std::max(srcx, 0.0f));
    top = TruncSaturated(std::max(srcy, 0.0f));
    right = TruncSaturated(std::min(srcx + srcw, static_cast<float>(s.width)));
    bottom = TruncSaturated(std::min(srcy + srch, static_cast<float>(s.height)));
  }
  int64_t window_width = right - left, window_height = bottom - top;
  if (window_width <= 0 || window_height <= 0) return;

  float c = std::cos(angle);
  float sn = std::sin(angle);
  float dsdx = (srcw / dstw) * c;
  float dtdx = -(srch / dsth) * sn;
  float dsdy = (srcw / dstw) * sn;
  float dtdy = (srch / dsth) * c;
  // Turns the source about the centre of the rectangles (the halving is in
  // double precision).
  double sx0 = srcx - ((dstw * dsdx + dsth * dsdy - srcw) * 0.5 - centre_x);
  double sy0 = srcy - ((dsth * dtdy + dstw * dtdx - srch) * 0.5 - centre_y);

  // Fixed point relative to the window. Steps beyond +-16384 source pixels per
  // destination pixel saturate so that positions stay within 64 bits.
  const int64_t step_limit = int64_t(1) << 30;
  int64_t S = TruncSaturated((sx0 - left) * 65536);
  int64_t T = TruncSaturated((sy0 - top) * 65536);
  int64_t sdx = std::clamp(TruncSaturated(dsdx * 65536.0f), -step_limit, step_limit);
  int64_t tdx = std::clamp(TruncSaturated(dtdx * 65536.0f), -step_limit, step_limit);
  int64_t sdy = std::clamp(TruncSaturated(dsdy * 65536.0f), -step_limit, step_limit);
  int64_t tdy = std::clamp(TruncSaturated(dtdy * 65536.0f), -step_limit, step_limit);

  // Destination pixels (dstx + x, dsty + y), clipped to the destination.
  int64_t x_from = std::max<int64_t>(0, -static_cast<int64_t>(dstx));
  int64_t x_to = std::min<int64_t>(dstw, d.width - dstx);
  int64_t y_from = std::max<int64_t>(0, -static_cast<int64_t>(dsty));
  int64_t y_to = std::min<int64_t>(dsth, d.height - dsty);
  if (x_from >= x_to || y_from >= y_to) return;
  const uint32_t* window = s.Row(top) + left;
  auto dest_pixel = [&](int64_t x, int64_t y) { return d.Row(dsty + y) + dstx + x; };

  if (sdx == 0 && tdy == 0) {
    // A quarter turn: the source column depends on y only and the source row
    // on x only, so the covered destination area is one rectangle.
    int64_t x_first, x_end, y_first, y_end;
    SampleRange(T + x_from * tdx, tdx, window_height, x_to - x_from, &x_first, &x_end);
    SampleRange(S + y_from * sdy, sdy, window_width, y_to - y_from, &y_first, &y_end);
    x_first += x_from;
    x_end += x_from;
    y_first += y_from;
    y_end += y_from;
    if (x_first >= x_end || y_first >= y_end) return;
    if (a == 256 && blend == BLEND_COPY && (tdx == 65536 || tdx == -65536) && (sdy == 65536 || sdy == -65536)) {
      const uint32_t* corner = window + ((T + x_first * tdx) >> 16) * s.span + ((S + y_first * sdy) >> 16);
      kernels.transpose_block(dest_pixel(x_first, y_first), d.span, corner, (tdx >> 16) * s.span, sdy >> 16,
                     x_end - x_first, y_end - y_first);
      return;
    }
    for (int64_t y = y_first; y < y_end; ++y) {
      const uint32_t* column = window + ((S + y * sdy) >> 16);
      uint32_t* out = dest_pixel(0, y);
      for (int64_t x = x_first; x < x_end; ++x) {
        uint32_t p = column[((T + x * tdx) >> 16) * s.span];
        out[x] = BlendPixel(out[x], p, a, blend);
      }
    }
    return;
  }
  if (tdx == 0 && sdy == 0) {
    // No turn or a half turn: a scaled, possibly mirrored, copy.
    AxisSamples columns, rows;
    if (!PrepareAxis(&columns, S + x_from * sdx, sdx, window_width, x_to - x_from, true)) return;
    if (!PrepareAxis(&rows, T + y_from * tdy, tdy, window_height, y_to - y_from, false)) return;
    for (int64_t y = rows.first; y < rows.end; ++y)
      SampleRow(dest_pixel(x_from, y_from + y), window + rows.Sample(y) * s.span, nullptr, columns, a, blend);
    return;
  }
  // Any other angle: step through the source pixel by pixel.
  for (int64_t y = y_from; y < y_to; ++y) {
    int64_t sp = S + x_from * sdx + y * sdy;
    int64_t tp = T + x_from * tdx + y * tdy;
    uint32_t* out = dest_pixel(0, y);
    for (int64_t x = x_from; x < x_to; ++x, sp += sdx, tp += tdx) {
      uint64_t column = static_cast<uint64_t>(sp >> 16);
      uint64_t row = static_cast<uint64_t>(tp >> 16);
      if (column < static_cast<uint64_t>(window_width) && row < static_cast<uint64_t>(window_height))
        out[x] = BlendPixel(out[x], window[row * s.span + column], a, blend);
    }
  }
}

void TransposePixels(uint32_t* dest, int64_t dspan, const uint32_t* src, int64_t xstep, int64_t ystep, int64_t cols,
                     int64_t rows, bool streaming) {
  if (!dest || !src || cols <= 0 || rows <= 0) return;
  if (streaming) kernels.transpose_block_streaming(dest, dspan, src, xstep, ystep, cols, rows);
  else kernels.transpose_block(dest, dspan, src, xstep, ystep, cols, rows);
}

void BlurBitmap(Bitmap* dest, Bitmap* src, int width, int height) {
  Surface d, s;
  if (!GetSurface(dest, &d) || !GetSurface(src, &s)) return;
  int64_t w = std::min<int64_t>(width, s.width), h = std::min<int64_t>(height, s.height);
  if (w < 1 || h < 1) return;
  w = std::min(w, d.width);
  h = std::min(h, d.height);
  if (w < 2 || h < 2) return;

  if (d.bits != s.bits) {
    for (int64_t y = 0; y < h; ++y)
      BlurRow(d.Row(y), y > 0 ? s.Row(y - 1) : nullptr, s.Row(y), y + 1 < h ? s.Row(y + 1) : nullptr, w);
    return;
  }
  // In place: every output comes from unblurred pixels, so the row being
  // written and the one above it are kept as they were.
  const int64_t STACK_ROW = 1024;
  uint32_t stack_rows[2 * STACK_ROW];
  uint32_t* rows = stack_rows;
  uint32_t* heap_rows = nullptr;
  if (w > STACK_ROW) {
    heap_rows = new (std::nothrow) uint32_t[2 * w];
    if (!heap_rows) return;
    rows = heap_rows;
  }
  uint32_t* previous = rows;
  uint32_t* current = rows + w;
  for (int64_t y = 0; y < h; ++y) {
    uint32_t* row = d.Row(y);
    std::memcpy(current, row, static_cast<size_t>(w) * 4);
    BlurRow(row, y > 0 ? previous : nullptr, current, y + 1 < h ? d.Row(y + 1) : nullptr, w);
    std::swap(previous, current);
  }
  delete[] heap_rows;
}

void ApplyToRectSpans(Bitmap* dest, int x, int y, int width, int height, SpanFunction function, void* context) {
  Surface d;
  if (!function || !GetSurface(dest, &d)) return;
  int64_t x0, y0, cols, rows;
  if (!ClipRect(d, x, y, width, height, &x0, &y0, &cols, &rows)) return;
  for (int64_t row = 0; row < rows; ++row) {
    function(d.Row(y0 + row) + x0, static_cast<int>(cols), context);
  }
}

namespace {
struct PixelCall {
  PixelFunction function;
};
void CallForEachPixel(uint32_t* pixels, int count, void* context) {
  PixelFunction function = static_cast<PixelCall*>(context)->function;
  for (int i = 0; i < count; ++i) function(pixels + i, nullptr);
}
}  // namespace

void ApplyToRect(Bitmap* dest, int x, int y, int width, int height, PixelFunction function) {
  if (!function) return;
  PixelCall call = {function};
  ApplyToRectSpans(dest, x, y, width, height, CallForEachPixel, &call);
}
