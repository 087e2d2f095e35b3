#include "raster/block_memory.h"

#include <cstdlib>

#include "raster/system_memory.h"

namespace {

struct QueuedBlock {
  char* start;
  size_t held;  // bytes from start not yet given back
};

// Oldest first: a ring of entries from queue_first, queue_count long.
QueuedBlock queue[RELEASE_QUEUE_MAX_BLOCKS];
int queue_first = 0;
int queue_count = 0;
int64_t queued_bytes = 0;
bool deferred = false;

size_t PageBytes(size_t bytes) { return (bytes + SYSTEM_PAGE_BYTES - 1) / SYSTEM_PAGE_BYTES * SYSTEM_PAGE_BYTES; }

QueuedBlock& Oldest() { return queue[queue_first]; }

void ReleaseOldest() {
  QueuedBlock& oldest = Oldest();
  ReleaseSystemMemory(oldest.start);
  queued_bytes -= static_cast<int64_t>(oldest.held);
  queue_first = (queue_first + 1) % RELEASE_QUEUE_MAX_BLOCKS;
  queue_count -= 1;
}

}  // namespace

void* AllocateBlock(size_t bytes) {
  if (bytes < LARGE_BLOCK_BYTES) return std::malloc(bytes);
  // A size near the top of size_t has no pages.
  if (bytes > SIZE_MAX - SYSTEM_PAGE_BYTES) return nullptr;
  return TakeSystemMemory(PageBytes(bytes));
}

void FreeBlock(void* block, size_t bytes) {
  if (!block) return;
  if (bytes < LARGE_BLOCK_BYTES) {
    std::free(block);
    return;
  }
  size_t held = PageBytes(bytes);
  if (!deferred || static_cast<int64_t>(held) > RELEASE_QUEUE_MAX_BYTES) {
    ReleaseSystemMemory(block);
    return;
  }
  while (queue_count == RELEASE_QUEUE_MAX_BLOCKS ||
         (queue_count > 0 && queued_bytes + static_cast<int64_t>(held) > RELEASE_QUEUE_MAX_BYTES)) {
    ReleaseOldest();
  }
  queue[(queue_first + queue_count) % RELEASE_QUEUE_MAX_BLOCKS] = QueuedBlock{static_cast<char*>(block), held};
  queue_count += 1;
  queued_bytes += static_cast<int64_t>(held);
}

void DeferBlockRelease(bool defer) { deferred = defer; }

bool ReleaseQueuedPiece() {
  if (queue_count == 0) return false;
  QueuedBlock& oldest = Oldest();
  if (oldest.held <= RELEASE_PIECE_BYTES) {
    ReleaseOldest();
    return true;
  }
  // The end of the block goes first; its start, with the reservation, last.
  oldest.held -= RELEASE_PIECE_BYTES;
  GiveBackSystemMemory(oldest.start + oldest.held, RELEASE_PIECE_BYTES);
  queued_bytes -= static_cast<int64_t>(RELEASE_PIECE_BYTES);
  return true;
}

int64_t QueuedBlockBytes() { return queued_bytes; }

void ReleaseQueuedBlocks() {
  while (queue_count > 0) ReleaseOldest();
}
