#include "base/file_reader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/win_test_support.h"

namespace {

// Bytes whose value tells their offset.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + (i >> 8) * 7) & 255);
  return bytes;
}

class FileReaderTest : public ::testing::Test {
protected:
  void SetUp() override { folder_ = MakeTempFolder("file_reader"); }
  void TearDown() override { DeleteTree(folder_); }
  std::string Write(const char* name, const std::string& bytes) {
    std::string path = folder_ + name;
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  std::string folder_;
};

}  // namespace

TEST_F(FileReaderTest, MissingFileGivesAReaderThatReadsNothing) {
  FileReader* reader = OpenFileReader((folder_ + "missing.bin").c_str(), 0, 65536);
  ASSERT_NE(reader, nullptr);
  EXPECT_FALSE(IsFileReaderOpen(reader));
  EXPECT_EQ(FileReaderSize(reader), 0);
  char byte;
  EXPECT_EQ(ReadFileReader(reader, &byte, 1), 0);
  EXPECT_NE(SeekFileReader(reader, 0), 0);
  CloseFileReader(reader);
}

// Every mode delivers the file's bytes in order, across refills, block
// boundaries and seeks forward and back.
TEST_F(FileReaderTest, AllModesReadTheSameBytes) {
  std::string bytes = Pattern(700000);
  std::string path = Write("data.bin", bytes);
  const int modes[][2] = {{0, 65536}, {0, 32768}, {0, 0}, {-1, 8192}, {-1, 100}, {1, 8192}, {1, 65536}, {2, 16384}};
  for (const auto& mode : modes) {
    SCOPED_TRACE("mode " + std::to_string(mode[0]) + " block " + std::to_string(mode[1]));
    FileReader* reader = OpenFileReader(path.c_str(), mode[0], mode[1]);
    ASSERT_TRUE(IsFileReaderOpen(reader));
    EXPECT_EQ(FileReaderSize(reader), 700000);
    uint32_t random = 12345;
    std::string got(70000, '\0');
    for (int step = 0; step < 60; ++step) {
      random = random * 1103515245u + 12345u;
      int64_t position = FileReaderPosition(reader);
      if (step % 7 == 3) {
        int64_t target = (random >> 8) % 700000;
        ASSERT_EQ(SeekFileReader(reader, target), 0);
        ASSERT_EQ(FileReaderPosition(reader), target);
        continue;
      }
      int count = 1 + static_cast<int>((random >> 4) % 70000);
      int n = ReadFileReader(reader, &got[0], count);
      int expected = static_cast<int>(std::min<int64_t>(count, 700000 - position));
      ASSERT_EQ(n, expected) << "step " << step;
      ASSERT_EQ(got.compare(0, n, bytes, static_cast<size_t>(position), n), 0) << "step " << step;
      ASSERT_EQ(FileReaderPosition(reader), position + n);
    }
    CloseFileReader(reader);
  }
}

TEST_F(FileReaderTest, ReadAheadOfATinyFile) {
  std::string path = Write("ten.bin", "0123456789");
  FileReader* reader = OpenFileReader(path.c_str(), 1, 8192);
  ASSERT_TRUE(IsFileReaderOpen(reader));
  char buffer[16] = {0};
  EXPECT_EQ(ReadFileReader(reader, buffer, 10), 10);
  EXPECT_EQ(std::string(buffer, 10), "0123456789");
  EXPECT_EQ(ReadFileReader(reader, buffer, 10), 0);
  CloseFileReader(reader);
}

TEST_F(FileReaderTest, SeeksAreClampedToTheFile) {
  std::string path = Write("clamp.bin", Pattern(1000));
  for (int mode : {0, 1}) {
    FileReader* reader = OpenFileReader(path.c_str(), mode, 8192);
    EXPECT_EQ(SeekFileReader(reader, -50), 0);
    EXPECT_EQ(FileReaderPosition(reader), 0);
    EXPECT_EQ(SeekFileReader(reader, 5000), 0);
    EXPECT_EQ(FileReaderPosition(reader), 1000);
    char byte;
    EXPECT_EQ(ReadFileReader(reader, &byte, 1), 0);
    EXPECT_EQ(SeekFileReader(reader, 999), 0);
    EXPECT_EQ(ReadFileReader(reader, &byte, 1), 1);
    EXPECT_EQ(byte, Pattern(1000)[999]);
    CloseFileReader(reader);
  }
}

TEST_F(FileReaderTest, SeekBackIntoTheBufferDoesNotTouchTheFile) {
  std::string bytes = Pattern(5000);
  std::string path = Write("buffered.bin", bytes);
  std::string other = Write("other.bin", std::string(5000, 'x'));
  FileReader* reader = OpenFileReader(path.c_str(), 0, 65536);
  std::string got(100, '\0');
  ASSERT_EQ(ReadFileReader(reader, &got[0], 100), 100);
  // From here on any file access would read the other file's bytes.
  HANDLE own = static_cast<HANDLE>(reader->file);
  HANDLE swapped = CreateFileW(LongForm(other).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(swapped, INVALID_HANDLE_VALUE);
  reader->file = swapped;
  EXPECT_EQ(SeekFileReader(reader, 10), 0);
  ASSERT_EQ(ReadFileReader(reader, &got[0], 50), 50);
  EXPECT_EQ(got.compare(0, 50, bytes, 10, 50), 0);
  EXPECT_EQ(SeekFileReader(reader, 4000), 0);  // still inside the data read
  ASSERT_EQ(ReadFileReader(reader, &got[0], 20), 20);
  EXPECT_EQ(got.compare(0, 20, bytes, 4000, 20), 0);
  reader->file = own;
  CloseHandle(swapped);
  CloseFileReader(reader);
}

TEST_F(FileReaderTest, FileOpenForWritingElsewhereIsSharedAndItsSizeFollowed) {
  std::string path = Write("growing.bin", "abcd");
  HANDLE writer = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  FileReader* reader = OpenFileReader(path.c_str(), 0, 0);
  ASSERT_TRUE(IsFileReaderOpen(reader));
  EXPECT_EQ(reader->shared_for_writing, 1);
  EXPECT_EQ(FileReaderSize(reader), 4);
  SetFilePointer(writer, 0, nullptr, FILE_END);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(writer, "efgh", 4, &written, nullptr));
  EXPECT_EQ(FileReaderSize(reader), 8);
  char buffer[8];
  EXPECT_EQ(ReadFileReader(reader, buffer, 8), 8);
  EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
  CloseFileReader(reader);
  CloseHandle(writer);
}

TEST_F(FileReaderTest, ClosingWithReadsInFlightWaitsForThem) {
  std::string path = Write("big.bin", Pattern(4 << 20));
  for (int i = 0; i < 20; ++i) {
    FileReader* reader = OpenFileReader(path.c_str(), 1 + (i & 1), 262144);
    char byte;
    ASSERT_EQ(ReadFileReader(reader, &byte, 1), 1);
    // The read-ahead has started more blocks; closing now must wait for them.
    CloseFileReader(reader);
  }
}

TEST_F(FileReaderTest, NonAsciiAndLongPaths) {
  std::string name = "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.bin";
  std::string path = Write(name.c_str(), "payload");
  FileReader* reader = OpenFileReader(path.c_str(), 0, 32768);
  ASSERT_TRUE(IsFileReaderOpen(reader));
  char buffer[8];
  EXPECT_EQ(ReadFileReader(reader, buffer, 7), 7);
  EXPECT_EQ(std::string(buffer, 7), "payload");
  CloseFileReader(reader);

  std::string deep = folder_;
  for (int i = 0; i < 6; ++i) {
    deep += std::string(50, static_cast<char>('a' + i)) + "\\";
    ASSERT_TRUE(CreateFolder(deep));
  }
  std::string long_path = deep + "long.bin";
  ASSERT_GT(long_path.size(), 300u);
  ASSERT_TRUE(WriteFileBytes(long_path, "far away"));
  reader = OpenFileReader(long_path.c_str(), 1, 8192);
  ASSERT_TRUE(IsFileReaderOpen(reader));
  EXPECT_EQ(ReadFileReader(reader, buffer, 8), 8);
  EXPECT_EQ(std::string(buffer, 8), "far away");
  CloseFileReader(reader);
}
