#include "base/content_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct MemoryFile {
  std::vector<unsigned char> bytes;
  int reads = 0;
  bool fail = false;
};

bool ReadMemory(void* source, int64_t offset, void* into, size_t count) {
  MemoryFile* file = static_cast<MemoryFile*>(source);
  file->reads += 1;
  if (file->fail || offset < 0 || static_cast<size_t>(offset) + count > file->bytes.size()) return false;
  memcpy(into, file->bytes.data() + offset, count);
  return true;
}

std::vector<unsigned char> Noise(size_t size, unsigned seed) {
  std::vector<unsigned char> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (unsigned char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<unsigned char>(state >> 24);
  }
  return bytes;
}

uint64_t Checksum(MemoryFile* file) {
  uint64_t checksum = 0;
  EXPECT_TRUE(ChecksumFileEnds(static_cast<int64_t>(file->bytes.size()), ReadMemory, file, &checksum));
  return checksum;
}

}  // namespace

// A file rewritten with its size unchanged: a change among its first or last
// 64 KB is seen, one between them in a large file is not (what is read stays
// bounded); a file of up to 128 KB is covered whole.
TEST(ContentCheck, ChangesAtTheEndsAreSeenAndTheMiddleOfALargeFileIsNotRead) {
  const int64_t span = CONTENT_CHECK_SPAN;
  struct Case {
    const char* what;
    int64_t size;
    int64_t offset;   // of the changed byte; negative: from the end
    bool seen;
  } cases[] = {
      {"first byte", 1 << 20, 0, true},
      {"within the first 64 KB", 1 << 20, 4000, true},
      {"last byte of the first 64 KB", 1 << 20, span - 1, true},
      {"just after the first 64 KB", 1 << 20, span, false},
      {"middle of a large file", 1 << 20, 1 << 19, false},
      {"just before the last 64 KB", 1 << 20, -span - 1, false},
      {"first byte of the last 64 KB", 1 << 20, -span, true},
      {"last byte", 1 << 20, -1, true},
      {"middle of a file of 128 KB", 2 * span, span, true},
      {"middle of a file of 100 KB", 100000, 50000, true},
      {"last byte of a 7-byte file", 7, 6, true},
      {"middle of a file one byte over 128 KB", 2 * span + 1, span, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFile file;
    file.bytes = Noise(static_cast<size_t>(c.size), 7);
    uint64_t before = Checksum(&file);
    EXPECT_EQ(Checksum(&file), before);
    size_t at = static_cast<size_t>(c.offset >= 0 ? c.offset : c.size + c.offset);
    file.bytes[at] ^= 0x10;
    EXPECT_EQ(Checksum(&file) != before, c.seen);
    // No more than the two ends is ever read.
    file.reads = 0;
    Checksum(&file);
    EXPECT_LE(file.reads, 2);
  }
  // Files of the same length with other content differ; an empty file has a
  // checksum; a failing read gives none.
  MemoryFile a, b, empty, failing;
  a.bytes = Noise(300000, 1);
  b.bytes = Noise(300000, 2);
  EXPECT_NE(Checksum(&a), Checksum(&b));
  EXPECT_NE(ContentChecksum(nullptr, 0), ContentChecksum(a.bytes.data(), 1));
  Checksum(&empty);
  failing.bytes = a.bytes;
  failing.fail = true;
  uint64_t checksum = 0;
  EXPECT_FALSE(ChecksumFileEnds(300000, ReadMemory, &failing, &checksum));
  EXPECT_FALSE(ChecksumFileEnds(-1, ReadMemory, &a, &checksum));
}
