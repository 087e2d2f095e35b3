#pragma once
// What tells whether a file changed since it was decoded: its size and
// last-write time, what the file system changes on every write even when
// the write time is set back (the change time), and the file's identity
// (volume and file index), which another file put under the same name does
// not share. FAT and exFAT keep no change time, round write times to two
// seconds and take the file index from the directory slot that a
// delete-then-create save reuses: there the stamp also holds a checksum of
// the file's first and last 64 KB.
#include <cstdint>

struct FileStamp {
  int64_t size;
  uint64_t last_write;    // in the platform's 100-nanosecond units
  uint64_t change_time;   // the same units; 0 where the file system has none
  uint64_t identity;
  uint64_t content = 0;   // ChecksumFileEnds where size and times are not trusted; 0 elsewhere
};

// False when the file does not exist or cannot be examined (or, where its
// content is checked, read).
bool ReadFileStamp(const char* path, FileStamp* stamp);
bool SameFileStamp(const FileStamp& a, const FileStamp& b);

// Tests: every volume is taken for a FAT one (no change time, the content
// checked), since the test machines have none.
void TreatVolumesAsFat(bool on);
