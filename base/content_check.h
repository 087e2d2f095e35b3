#pragma once
// A checksum of a file's first and last CONTENT_CHECK_SPAN bytes. Where the
// file system cannot tell a rewritten file from the old one by its size,
// times and identity (FAT and exFAT), this is what still tells them apart:
// a picture saved again changes its header or its last bytes. Needs no
// Windows header.
#include <cstddef>
#include <cstdint>

const int64_t CONTENT_CHECK_SPAN = 64 * 1024;

// Reads `bytes` bytes at `offset` of the file into `into`; false when they
// cannot all be read.
typedef bool (*ContentReader)(void* source, int64_t offset, void* into, size_t bytes);

// The checksum of a file of file_size bytes: its first and last
// CONTENT_CHECK_SPAN bytes (the whole file when it is no longer than both),
// read through read. Any change within one 8-byte word of those bytes
// changes the checksum. False when a read fails or the memory cannot be had.
bool ChecksumFileEnds(int64_t file_size, ContentReader read, void* source, uint64_t* checksum);

// The checksum of `count` bytes; ChecksumFileEnds hashes the ends with it.
uint64_t ContentChecksum(const unsigned char* bytes, size_t count);
