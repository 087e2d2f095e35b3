#include "imagefiles/file_list.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "imagefiles/bmp_file.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/ico_file.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/bitmap.h"

namespace {

typedef Bitmap* (*Decoder)(const char* path, Bitmap* target);

// Extensions in lower case, in this order.
const struct {
  const char* extension;
  Decoder decoder;
} DECODERS[] = {
    {".jpg", LoadJpegFile}, {".jpeg", LoadJpegFile}, {".png", LoadPngFile},
    {".gif", LoadGifFile},  {".bmp", LoadBmpFile},   {".ico", LoadIcoFile},
};

char** PathSlots(const FileList* list) {
  return reinterpret_cast<char**>(list->paths.data);
}

}  // namespace

FileList MakeFileList() {
  FileList list;
  list.paths = MakeGrowableBuffer(64);
  list.current_index = 0;
  return list;
}

void FreeFileList(FileList* list) {
  ClearFileList(list);
  FreeBuffer(&list->paths);
}

int FileCount(const FileList* list) {
  return static_cast<int>(list->paths.used / sizeof(char*));
}

const char* FilePath(const FileList* list, int index) {
  return PathSlots(list)[index];
}

void ClearFileList(FileList* list) {
  for (int i = FileCount(list) - 1; i >= 0; --i) {
    free(PathSlots(list)[i]);
    SetBufferSize(&list->paths, static_cast<size_t>(i) * sizeof(char*), false);
  }
}

bool AppendFilePath(FileList* list, const char* path) {
  size_t length = strlen(path);
  char* copy = static_cast<char*>(malloc(length + 1));
  if (!copy) return false;
  memcpy(copy, path, length + 1);
  if (!AppendToBuffer(&list->paths, &copy, sizeof copy)) {
    free(copy);
    return false;
  }
  return true;
}

std::vector<std::string> SelectionPaths(const char* selection) {
  std::vector<std::string> paths;
  if (!selection || !selection[0]) return paths;
  const char* name = selection + strlen(selection) + 1;
  if (!*name) {
    paths.push_back(selection);
    return paths;
  }
  // A folder and names: the separator is always added, so a drive root
  // gives "C:\\name", which the platform accepts.
  for (; *name; name += strlen(name) + 1) paths.push_back(std::string(selection) + '\\' + name);
  return paths;
}

bool ReplaceFileList(FileList* list, const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  ClearFileList(list);
  for (const std::string& path : paths) AppendFilePath(list, path.c_str());
  if (FileCount(list) == 0) return false;
  list->current_index = 0;
  return true;
}

bool StepToNextFile(FileList* list) {
  int count = FileCount(list);
  if (count == 0) return false;
  if (list->current_index + 1 > count - 1) {
    list->current_index = count - 1;
    return false;
  }
  ++list->current_index;
  return true;
}

bool StepToPreviousFile(FileList* list) {
  if (FileCount(list) == 0) return false;
  if (list->current_index - 1 < 0) {
    list->current_index = 0;
    return false;
  }
  --list->current_index;
  return true;
}

const char* PathExtension(const char* path) {
  size_t length = strlen(path);
  for (size_t i = length; i > 0; --i) {
    char c = path[i - 1];
    if (c == '/' || c == '\\') break;
    if (c == '.') return path + i - 1;
  }
  return path + length;
}

bool HasExtension(const char* path, const char* extension) {
  // Only ASCII letters are folded: the bytes of other characters compare as they are.
  for (const char* own = PathExtension(path);; ++own, ++extension) {
    char c = *own >= 'A' && *own <= 'Z' ? static_cast<char>(*own - 'A' + 'a') : *own;
    if (c != *extension) return false;
    if (c == 0) return true;
  }
}

bool IsGifPath(const char* path) {
  return HasExtension(path, ".gif");
}

Bitmap* LoadPictureFile(const char* path, Bitmap* target) {
  for (const auto& entry : DECODERS) {
    if (HasExtension(path, entry.extension)) return entry.decoder(path, target);
  }
  return nullptr;
}
