#include "raster/system_memory.h"

#include <windows.h>

void* TakeSystemMemory(size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void GiveBackSystemMemory(void* start, size_t bytes) { VirtualFree(start, bytes, MEM_DECOMMIT); }

void ReleaseSystemMemory(void* block) { VirtualFree(block, 0, MEM_RELEASE); }
