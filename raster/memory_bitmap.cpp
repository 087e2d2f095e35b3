#include "raster/memory_bitmap.h"

#include "raster/block_memory.h"

// Spare bytes at the end of the block so that the first row can start on a
// 64-byte boundary inside it.
static const int ALIGNMENT_SLACK = 63;

MemoryBitmap::MemoryBitmap(int width, int height) {
  if (width > 0 && height > 0) Resize(width, height);
}

MemoryBitmap::~MemoryBitmap() { FreeStorage(); }

void MemoryBitmap::FreeStorage() {
  if (storage_) FreeBlock(storage_, static_cast<size_t>(allocated_bytes_) + ALIGNMENT_SLACK);
  storage_ = nullptr;
  allocated_bytes_ = 0;
}

uint32_t* MemoryBitmap::Bits() const {
  if (!storage_) return nullptr;
  uintptr_t address = reinterpret_cast<uintptr_t>(storage_);
  return reinterpret_cast<uint32_t*>((address + ALIGNMENT_SLACK) & ~static_cast<uintptr_t>(ALIGNMENT_SLACK));
}

bool MemoryBitmap::Resize(int width, int height) {
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;
  int64_t needed = BitmapByteCount(width, height);
  if (needed > 0) {
    if (!storage_) {
      allocated_bytes_ = static_cast<int>(needed);
      storage_ = AllocateBlock(static_cast<size_t>(needed) + ALIGNMENT_SLACK);
    } else if (allocated_bytes_ < needed) {
      // Grow by a quarter more than asked, so that a run of small growths
      // does not reallocate every time; the byte count stays within an int.
      // The pixels need not survive a change of size: the old block goes
      // before the new one is taken.
      int64_t capacity = needed + needed / 4;
      if (capacity > MAX_BITMAP_BYTES) capacity = MAX_BITMAP_BYTES;
      FreeStorage();
      storage_ = AllocateBlock(static_cast<size_t>(capacity) + ALIGNMENT_SLACK);
      allocated_bytes_ = static_cast<int>(capacity);
      if (!storage_) {
        allocated_bytes_ = static_cast<int>(needed);
        storage_ = AllocateBlock(static_cast<size_t>(needed) + ALIGNMENT_SLACK);
      }
    }
    // Otherwise the block is big enough: storage never shrinks.
  } else {
    // An empty size, or one whose bytes would not fit an int.
    FreeStorage();
  }
  if (!storage_) {
    width_ = 0;
    height_ = 0;
    allocated_bytes_ = 0;
  }
  return true;
}
