#include "app/file_reader.h"

FileReader* OpenFileReader(const char* path, int mode, int block_size) { return nullptr; }
bool IsFileReaderOpen(const FileReader* reader) { return false; }
int64_t FileReaderSize(FileReader* reader) { return 0; }
int ReadFileReader(FileReader* reader, void* destination, int count) { return 0; }
int64_t FileReaderPosition(const FileReader* reader) { return 0; }
int SeekFileReader(FileReader* reader, int64_t offset) { return 1; }
void CloseFileReader(FileReader* reader) {}
