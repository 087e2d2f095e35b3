#include "imagefiles/gif_file.h"

#include <gif_lib.h>

#include "app/file_reader.h"

namespace {

int ReadThroughFileReader(GifFileType* gif, GifByteType* bytes, int count) {
  return ReadFileReader(static_cast<FileReader*>(gif->UserData), bytes, count);
}

}  // namespace

Bitmap* LoadGifFile(const char* path, Bitmap* target) {
  FileReader* file = OpenFileReader(path, 0, 65536);
  if (!file) return nullptr;
  if (!IsFileReaderOpen(file)) {
    CloseFileReader(file);
    return nullptr;
  }
  int error = 0;
  GifFileType* gif = DGifOpen(file, ReadThroughFileReader, &error);
  if (!gif) {
    CloseFileReader(file);
    return nullptr;
  }
  Bitmap* result = DecodeGifImages(gif, target);
  DGifCloseFile(gif, &error);
  CloseFileReader(file);
  return result;
}
