// Memory straight from the system, for the large blocks of block_memory:
// taken whole, given back a part at a time, the whole block released last.
// On Windows these are VirtualAlloc and VirtualFree; elsewhere the C heap,
// which takes blocks back only whole (a part given back stays in use until
// the block is released).
#pragma once

#include <cstddef>

// The system's page: blocks are taken, and parts given back, in whole pages.
const size_t SYSTEM_PAGE_BYTES = 4096;

// A block of bytes (a multiple of SYSTEM_PAGE_BYTES), or null.
void* TakeSystemMemory(size_t bytes);
// Gives back bytes (whole pages) of a block from start on; the block's
// address range stays reserved until it is released.
void GiveBackSystemMemory(void* start, size_t bytes);
// Releases a block taken by TakeSystemMemory with whatever is left of it.
void ReleaseSystemMemory(void* block);
