#include "raster/system_memory.h"

#include <cstdlib>

// The C heap gives nothing back before the whole block: the parts given
// back stay until then.
void* TakeSystemMemory(size_t bytes) { return std::malloc(bytes); }

void GiveBackSystemMemory(void*, size_t) {}

void ReleaseSystemMemory(void* block) { std::free(block); }
