#include "imagefiles/gif_file.h"

#include <cstdint>

#include <gif_lib.h>

#include "base/file_reader.h"

namespace {

int ReadThroughFileReader(GifFileType* gif, GifByteType* bytes, int count) {
  return ReadFileReader(static_cast<FileReader*>(gif->UserData), bytes, count);
}

}  // namespace

GifFileType* OpenGifThroughFileReader(const char* path, int block_size, FileReader** file) {
  *file = OpenFileReader(path, 0, block_size);
  if (!*file) return nullptr;
  int error = 0;
  GifFileType* gif = IsFileReaderOpen(*file) ? DGifOpen(*file, ReadThroughFileReader, &error) : nullptr;
  if (!gif) {
    CloseFileReader(*file);
    *file = nullptr;
  }
  return gif;
}

Bitmap* LoadGifFile(const char* path, Bitmap* target) {
  FileReader* file = nullptr;
  GifFileType* gif = OpenGifThroughFileReader(path, 65536, &file);
  if (!gif) return nullptr;
  int error = 0;
  // A size that cannot be told (0) refuses nothing.
  int64_t size = FileReaderSize(file);
  Bitmap* result = DecodeGifImages(gif, target, size > 0 ? size : INT64_MAX);
  DGifCloseFile(gif, &error);
  CloseFileReader(file);
  return result;
}
