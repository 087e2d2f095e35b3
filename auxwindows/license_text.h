#pragma once
// How much memory the License window takes for the licence text. No platform header.
#include <cstdint>

// Bytes to allocate for a file of file_size bytes plus its terminating zero,
// or -1 when that does not fit an int (the file is then not shown).
int LicenseTextBufferSize(int64_t file_size);
