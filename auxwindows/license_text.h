#pragma once
// How much of the licence text the License window reads and gives its text
// box: a damaged or replaced license.txt of many megabytes would keep the box
// busy for minutes, so only its first megabyte is shown. No platform header.
#include <cstddef>
#include <cstdint>

const int LICENSE_TEXT_LIMIT = 1048576;

// Bytes to read a file of file_size bytes into, its terminating zero included:
// at most the limit and three bytes more, which complete a character the
// limit splits; -1 for a negative size (the file is then not shown).
int LicenseTextBufferSize(int64_t file_size);

// How many of the length bytes read to give the box: all of them up to the
// limit; beyond it the limit, moved back to the start of a UTF-8 sequence the
// limit would split.
size_t LicenseTextShownLength(const char* text, size_t length);
