#include "base/file_reader.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "base/utf8_platform.h"

struct FileReaderBlock {
  OVERLAPPED overlapped;  // Offset/OffsetHigh: the block's file offset; hEvent: its own event
  DWORD bytes;            // what the read returned, 0 while not yet known
  unsigned char* memory;  // inside the reader's buffer
};

namespace {

const int64_t UNIT = 8192;
// Buffers are used from an 8192-byte boundary inside their allocation.
const size_t SLACK = 8191;
// Four blocks of at most this many bytes keep every length an int.
const int MAX_BLOCK_SIZE = 64 << 20;

// Shared by all readers: successive readers make their first refill at
// full, half, quarter or eighth length in turn.
unsigned g_refill_counter = 0;

HANDLE Handle(const FileReader* reader) { return static_cast<HANDLE>(reader->file); }

unsigned char* AlignedStart(const FileReader* reader) {
  uintptr_t address = reinterpret_cast<uintptr_t>(reader->buffer.data);
  return reinterpret_cast<unsigned char*>((address + SLACK) & ~static_cast<uintptr_t>(SLACK));
}

void TakeSize(FileReader* reader) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(Handle(reader), &high);
  if (static_cast<LONG>(high) < 0 || (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)) {
    reader->size = 0;
  } else {
    reader->size = static_cast<int64_t>(high) << 32 | low;
  }
}

int64_t BlockOffset(const FileReaderBlock* block) {
  return static_cast<int64_t>(block->overlapped.OffsetHigh) << 32 | block->overlapped.Offset;
}

void PushBack(FileReaderBlockList* list, FileReaderBlock* block) {
  list->items[list->count++] = block;
}

FileReaderBlock* PopFront(FileReaderBlockList* list) {
  FileReaderBlock* block = list->items[0];
  memmove(list->items, list->items + 1, sizeof(list->items[0]) * (list->count - 1));
  list->count -= 1;
  return block;
}

// Shared with every other use of the file: another program may write,
// rename or delete it while it is read.
HANDLE OpenShared(const char* path, const wchar_t* wide, DWORD flags) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  return wide ? CreateFileW(wide, GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr)
              : CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr);
}

// One step of the read-ahead; never waits. Returns 1 when a read could not
// be started, else 0.
int Pump(FileReader* reader) {
  while (reader->pending_blocks.count > 0) {
    FileReaderBlock* block = reader->pending_blocks.items[0];
    DWORD bytes = 0;
    if (!GetOverlappedResult(Handle(reader), &block->overlapped, &bytes, FALSE)) break;
    if (block->bytes == 0) block->bytes = bytes;
    PushBack(&reader->completed_blocks, PopFront(&reader->pending_blocks));
  }
  if (reader->free_blocks.count == 0) return 0;
  if (reader->ahead < reader->position) reader->ahead = reader->position;
  if (reader->mode == 1) reader->ahead &= ~(UNIT - 1);
  if (reader->ahead >= reader->size) return 0;

  FileReaderBlock* block = reader->free_blocks.items[reader->free_blocks.count - 1];
  ResetEvent(block->overlapped.hEvent);
  block->overlapped.Offset = static_cast<DWORD>(reader->ahead);
  block->overlapped.OffsetHigh = static_cast<DWORD>(reader->ahead >> 32);
  block->overlapped.Internal = 0;
  block->overlapped.InternalHigh = 0;
  block->bytes = 0;
  reader->ahead += reader->block_size;
  DWORD bytes = 0;
  BOOL done = ReadFile(Handle(reader), block->memory, static_cast<DWORD>(reader->block_size), &bytes,
                       &block->overlapped);
  if (done ? bytes == 0 : GetLastError() != ERROR_IO_PENDING) return 1;
  block->bytes = done ? bytes : 0;
  reader->free_blocks.count -= 1;
  PushBack(&reader->pending_blocks, block);
  return 0;
}

int ReadAhead(FileReader* reader, unsigned char* destination, int count) {
  int64_t left_in_file = reader->size - reader->position;
  if (count > left_in_file) count = static_cast<int>(left_in_file);
  if (count < 1) return 0;
  int errors = reader->failed ? 1 : 0;
  int delivered = 0;
  for (;;) {
    while (reader->completed_blocks.count > 0) {
      FileReaderBlock* block = reader->completed_blocks.items[0];
      int64_t offset = BlockOffset(block);
      int64_t end = offset + block->bytes;
      if (reader->position < offset || reader->position >= end) {
        block->bytes = 0;
        PushBack(&reader->free_blocks, PopFront(&reader->completed_blocks));
        continue;
      }
      if (delivered == count) break;
      int64_t available = end - reader->position;
      int n = count - delivered < available ? count - delivered : static_cast<int>(available);
      memcpy(destination + delivered, block->memory + (reader->position - offset), static_cast<size_t>(n));
      delivered += n;
      reader->position += n;
    }
    if (delivered < count && reader->position != reader->ahead) {
      bool covered = false;
      for (int i = 0; i < reader->pending_blocks.count; ++i) {
        int64_t offset = BlockOffset(reader->pending_blocks.items[i]);
        if (offset <= reader->position && reader->position < offset + reader->block_size) covered = true;
      }
      if (!covered) reader->ahead = reader->position;
    }
    errors += Pump(reader);
    if (delivered == count) break;
    if (reader->pending_blocks.count > 0 && reader->completed_blocks.count == 0) {
      FileReaderBlock* block = PopFront(&reader->pending_blocks);
      if (block->bytes > 0) {
        PushBack(&reader->completed_blocks, block);
      } else {
        DWORD bytes = 0;
        if (GetOverlappedResult(Handle(reader), &block->overlapped, &bytes, TRUE) && bytes > 0) {
          block->bytes = bytes;
          PushBack(&reader->completed_blocks, block);
        } else {
          block->bytes = 0;
          PushBack(&reader->free_blocks, block);
          errors += 1;
        }
      }
      if (reader->pending_blocks.count == 0 && reader->completed_blocks.count == 0) break;
    } else if (reader->pending_blocks.count == 0 && reader->completed_blocks.count == 0) {
      break;
    }
    if (errors != 0) {
      reader->failed = 1;
      return delivered;
    }
  }
  if (errors != 0) reader->failed = 1;
  else Pump(reader);
  return delivered;
}

int ReadSynchronously(FileReader* reader, unsigned char* destination, int count) {
  if (reader->buffer.used < 16383) {
    DWORD bytes = 0;
    if (!ReadFile(Handle(reader), destination, static_cast<DWORD>(count), &bytes, nullptr)) bytes = 0;
    reader->position += bytes;
    return static_cast<int>(bytes);
  }
  unsigned char* buffer = AlignedStart(reader);
  int delivered = 0;
  for (;;) {
    int n = reader->valid - reader->index;
    if (n > count - delivered) n = count - delivered;
    if (n > 0) {
      memcpy(destination + delivered, buffer + reader->index, static_cast<size_t>(n));
      reader->index += n;
      reader->position += n;
      delivered += n;
    }
    if (delivered == count) break;

    reader->valid = reader->index = 0;
    int64_t length = static_cast<int64_t>(reader->buffer.used) - static_cast<int64_t>(SLACK);
    if (reader->first_refill && length > UNIT) {
      unsigned shift = length <= 7 * UNIT ? (g_refill_counter & 1) : (g_refill_counter & 3);
      length >>= shift;
      g_refill_counter += 1;
    }
    reader->first_refill = 0;
    if (reader->mode == -1 && reader->position % UNIT != 0) {
      int64_t start = reader->position & ~(UNIT - 1);
      LARGE_INTEGER distance;
      distance.QuadPart = start;
      if (!SetFilePointerEx(Handle(reader), distance, nullptr, FILE_BEGIN)) break;
      reader->index = static_cast<int32_t>(reader->position - start);
    }
    DWORD bytes = 0;
    if (!ReadFile(Handle(reader), buffer, static_cast<DWORD>(length), &bytes, nullptr) || bytes == 0 ||
        static_cast<int64_t>(bytes) <= reader->index) {
      reader->index = 0;
      break;
    }
    reader->valid = static_cast<int32_t>(bytes);
  }
  return delivered;
}

}  // namespace

FileReader* OpenFileReader(const char* path, int mode, int block_size) {
  FileReader* reader = static_cast<FileReader*>(calloc(1, sizeof(FileReader)));
  if (!reader) return nullptr;
  reader->buffer = MakeGrowableBuffer(UNIT);
  reader->file = INVALID_HANDLE_VALUE;
  reader->mode = mode;
  reader->first_refill = 1;

  if (block_size > MAX_BLOCK_SIZE) block_size = MAX_BLOCK_SIZE;
  if (block_size > 0 && block_size % UNIT != 0) block_size = static_cast<int>((block_size / UNIT + 1) * UNIT);
  int64_t four_blocks = 4 * static_cast<int64_t>(block_size > 0 ? block_size : 0);

  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  if (mode == -1 && four_blocks >= UNIT) flags |= FILE_FLAG_NO_BUFFERING;
  if (mode == 1) flags |= FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED;
  if (mode >= 2) flags |= FILE_FLAG_OVERLAPPED;

  HANDLE file = INVALID_HANDLE_VALUE;
  bool wide_route = path && PathRoute(path, true) != ROUTE_ANSI;
  if (wide_route) {
    WideText wide;
    if (wide.ConvertPath(path)) file = OpenShared(path, wide.text, flags);
  }
  if (file == INVALID_HANDLE_VALUE && path) file = OpenShared(path, nullptr, flags);
  reader->file = file;
  reader->shared_for_writing = file != INVALID_HANDLE_VALUE ? 1 : 0;
  if (file != INVALID_HANDLE_VALUE) TakeSize(reader);

  if (mode >= 1 && block_size > 0) {
    reader->block_size = block_size;
    if (SetBufferSize(&reader->buffer, static_cast<size_t>(four_blocks) + SLACK, false)) {
      unsigned char* memory = AlignedStart(reader);
      for (int i = 0; i < 4; ++i) {
        FileReaderBlock* block = static_cast<FileReaderBlock*>(calloc(1, sizeof(FileReaderBlock)));
        if (!block) break;
        block->overlapped.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        if (!block->overlapped.hEvent) {
          free(block);
          break;
        }
        block->memory = memory + i * static_cast<int64_t>(block_size);
        PushBack(&reader->free_blocks, block);
      }
    }
  } else if ((mode == 0 || mode == -1) && four_blocks > 8188) {
    // Without the memory every read goes straight to the file.
    SetBufferSize(&reader->buffer, static_cast<size_t>(four_blocks) + SLACK, false);
  }
  return reader;
}

bool IsFileReaderOpen(const FileReader* reader) {
  return reader && reader->file != INVALID_HANDLE_VALUE;
}

int64_t FileReaderSize(FileReader* reader) {
  if (!reader) return 0;
  if (reader->shared_for_writing && IsFileReaderOpen(reader)) TakeSize(reader);
  return reader->size;
}

int ReadFileReader(FileReader* reader, void* destination, int count) {
  if (!reader) return 0;
  // The read-ahead reads up to the size; the sequential reads need none.
  if (reader->shared_for_writing && reader->mode >= 1 && IsFileReaderOpen(reader)) TakeSize(reader);
  if (!IsFileReaderOpen(reader) || count < 1 || !destination) return 0;
  unsigned char* bytes = static_cast<unsigned char*>(destination);
  if (reader->mode >= 1) return ReadAhead(reader, bytes, count);
  return ReadSynchronously(reader, bytes, count);
}

int64_t FileReaderPosition(const FileReader* reader) { return reader ? reader->position : 0; }

int SeekFileReader(FileReader* reader, int64_t offset) {
  if (!reader) return 1;
  reader->failed = 0;
  if (!IsFileReaderOpen(reader)) return 1;
  if (reader->shared_for_writing) TakeSize(reader);
  if (offset < 0) offset = 0;
  if (offset > reader->size) offset = reader->size;
  if (offset == reader->position) return 0;
  int64_t previous = reader->position;
  reader->position = offset;
  if (reader->mode >= 1) {
    bool keep = reader->ahead >= offset && reader->completed_blocks.count > 0 &&
                BlockOffset(reader->completed_blocks.items[0]) <= offset;
    if (!keep) reader->ahead = offset;
    return 0;
  }
  if (reader->buffer.used > 0) {
    int64_t start = previous - reader->index;
    if (offset >= start && offset <= start + reader->valid) {
      reader->index = static_cast<int32_t>(offset - start);
      return 0;
    }
  }
  reader->valid = reader->index = 0;
  reader->first_refill = 1;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(Handle(reader), distance, nullptr, FILE_BEGIN) ? 0 : 1;
}

void CloseFileReader(FileReader* reader) {
  if (!reader) return;
  while (reader->free_blocks.count > 0) {
    FileReaderBlock* block = PopFront(&reader->free_blocks);
    CloseHandle(block->overlapped.hEvent);
    free(block);
  }
  while (reader->completed_blocks.count > 0) {
    FileReaderBlock* block = PopFront(&reader->completed_blocks);
    CloseHandle(block->overlapped.hEvent);
    free(block);
  }
  // A read in flight would complete into freed memory: wait for each.
  while (reader->pending_blocks.count > 0) {
    FileReaderBlock* block = PopFront(&reader->pending_blocks);
    WaitForSingleObject(block->overlapped.hEvent, INFINITE);
    CloseHandle(block->overlapped.hEvent);
    free(block);
  }
  if (IsFileReaderOpen(reader)) CloseHandle(Handle(reader));
  reader->file = INVALID_HANDLE_VALUE;
  FreeBuffer(&reader->buffer);
  free(reader);
}
