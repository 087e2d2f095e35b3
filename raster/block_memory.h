// The memory of pictures and of decoders' large working arrays. A large
// block comes straight from the system. Given back at once, a gigabyte that
// has been written takes over a tenth of a second, so while release is
// deferred (the picture control defers it, and gives the queue back between
// messages) a freed large block waits in a queue instead and goes back a
// piece at a time. Small blocks are the C heap's. Used on one thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Blocks of this many bytes and more are large.
const size_t LARGE_BLOCK_BYTES = size_t(16) << 20;
// A piece given back at a time. Under Wine a megabyte that has been written
// takes about 0.075 ms to give back: a piece takes some 2.5 ms.
const size_t RELEASE_PIECE_BYTES = size_t(32) << 20;
// The queue holds at most this many bytes and blocks; past either, its
// oldest blocks are given back at once.
const int64_t RELEASE_QUEUE_MAX_BYTES = int64_t(4) << 30;
const int RELEASE_QUEUE_MAX_BLOCKS = 256;

// A block of bytes, or null.
void* AllocateBlock(size_t bytes);
// Frees a block of AllocateBlock with the size it was asked for; null is
// accepted. A large one is queued while release is deferred.
void FreeBlock(void* block, size_t bytes);

// While deferred, freed large blocks wait in the queue; otherwise they are
// given back at once. What is queued stays queued either way.
void DeferBlockRelease(bool defer);
// Gives back one piece of the oldest queued block (its last piece releases
// it); false when nothing is queued.
bool ReleaseQueuedPiece();
// Bytes the queued blocks still hold.
int64_t QueuedBlockBytes();
// Gives back every queued block at once.
void ReleaseQueuedBlocks();
