// A bitmap whose pixels live in a block of block_memory (a large one straight
// from the system): every decoded picture.
#pragma once

#include "raster/bitmap.h"

class MemoryBitmap : public Bitmap {
public:
  explicit MemoryBitmap(int width = 0, int height = 0);
  ~MemoryBitmap() override;
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;

  uint32_t* Bits() const override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return (width_ + row_alignment_mask_) & ~row_alignment_mask_; }
  bool Resize(int width, int height) override;

  // Bytes of pixel storage the block holds (without the alignment slack).
  int AllocatedBytes() const { return allocated_bytes_; }

private:
  void FreeStorage();

  void* storage_ = nullptr;  // as allocated; Bits() is this rounded up to 64 bytes
  int width_ = 0;
  int height_ = 0;
  int allocated_bytes_ = 0;
  int row_alignment_mask_ = 3;
};
