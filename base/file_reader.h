// Sequential reading of one file from a UTF-8 path, straight on the
// platform's file functions: synchronous through a large buffer (modes 0 and
// -1), or with up to four overlapped read-ahead blocks (modes 1 and above).
// The file is shared with reading, writing and deleting: other programs may
// rewrite, rename or delete it while it is read. A reader belongs to one
// thread.
#pragma once

#include <cstdint>

#include "base/growable_buffer.h"

// One read-ahead block: an overlapped read record with its own event (kept
// in the .cpp, which is the only place that needs the platform's headers).
struct FileReaderBlock;

// At most four blocks exist, so each list is a small array, oldest first.
struct FileReaderBlockList {
  FileReaderBlock* items[4];
  int count;
};

struct FileReader {
  GrowableBuffer buffer;      // sequential buffer or the four blocks; used from an 8192 boundary
  int32_t valid;              // bytes of file data in the sequential buffer
  int32_t index;              // next unread byte in it
  int64_t position;           // logical read position
  int64_t ahead;              // file offset of the next read-ahead block
  int64_t size;               // file size, 0 when unknown
  void* file;                 // the file handle, INVALID_HANDLE_VALUE when not open
  int32_t mode;
  int32_t block_size;
  FileReaderBlockList free_blocks;
  FileReaderBlockList pending_blocks;
  FileReaderBlockList completed_blocks;
  unsigned char shared_for_writing;  // open, so shared with writers: size taken again before use
  unsigned char first_refill;        // the next refill is the first since opening or seeking
  unsigned char failed;              // a read-ahead failed or ended early; cleared by a seek
};

// Modes: 0 synchronous; -1 synchronous without system buffering, refills
// aligned to 8192 bytes; 1 read-ahead without system buffering; 2 or more
// read-ahead. The block size is rounded up to a multiple of 8192. Never
// null (short of memory): a file that does not open gives a reader whose
// reads return 0.
FileReader* OpenFileReader(const char* path, int mode, int block_size);
bool IsFileReaderOpen(const FileReader* reader);
int64_t FileReaderSize(FileReader* reader);
// Bytes delivered into destination, up to count.
int ReadFileReader(FileReader* reader, void* destination, int count);
int64_t FileReaderPosition(const FileReader* reader);
// 0 on success; the offset is clamped to 0 ... size.
int SeekFileReader(FileReader* reader, int64_t offset);
// Ends all I/O (waiting for reads in flight), closes the file, frees the reader.
void CloseFileReader(FileReader* reader);
