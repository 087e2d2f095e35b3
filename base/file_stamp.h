#pragma once
// What tells whether a file changed since it was read: its size and
// last-write time, and what the file system changes on every write even
// when the write time is set back (the change time), and the file's
// identity (volume and file index), which another file put under the same
// name does not share. The header needs no Windows header.
#include <cstdint>

struct FileStamp {
  int64_t size;
  uint64_t last_write;    // in the platform's 100-nanosecond units
  uint64_t change_time;   // the same units; 0 where the file system has none
  uint64_t identity;
};

// False when the file does not exist or cannot be examined.
bool ReadFileStamp(const char* path, FileStamp* stamp);
bool SameFileStamp(const FileStamp& a, const FileStamp& b);
