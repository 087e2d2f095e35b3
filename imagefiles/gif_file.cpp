#include "imagefiles/gif_file.h"

#include <cstdint>

#include <gif_lib.h>

#include "base/file_reader.h"

namespace {

int ReadThroughFileReader(void* file, unsigned char* bytes, int count) {
  return ReadFileReader(static_cast<FileReader*>(file), bytes, count);
}

}  // namespace

GifFileType* OpenGifThroughFileReader(const char* path, int block_size, FileReader** file, GifInput* input) {
  *file = OpenFileReader(path, 0, block_size);
  if (!*file) return nullptr;
  // A size that cannot be told (0) refuses nothing.
  int64_t size = FileReaderSize(*file);
  input->read = ReadThroughFileReader;
  input->source = *file;
  input->file_bytes = size > 0 ? size : INT64_MAX;
  GifFileType* gif = IsFileReaderOpen(*file) ? OpenGifDecoder(input) : nullptr;
  if (!gif) {
    CloseFileReader(*file);
    *file = nullptr;
  }
  return gif;
}

Bitmap* LoadGifFile(const char* path, Bitmap* target) {
  FileReader* file = nullptr;
  GifInput input;
  GifFileType* gif = OpenGifThroughFileReader(path, 65536, &file, &input);
  if (!gif) return nullptr;
  int error = 0;
  Bitmap* result = DecodeGifImages(gif, target);
  DGifCloseFile(gif, &error);
  CloseFileReader(file);
  return result;
}
