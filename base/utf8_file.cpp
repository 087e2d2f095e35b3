#include "base/utf8_file.h"

#include <cstdlib>
#include <cstring>

#include "base/long_path.h"
#include "base/utf8_text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// Room for the longest long-path prefix ("\\?\UNC\" less the two leading
// backslashes it replaces) and the terminator.
const size_t LONG_PATH_ROOM = 8;

// A file being read is shared with every other use of it: another program
// may write, rename or delete it meanwhile.
const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A strict UTF-16 copy of text (malloc'ed), with room for the long-path
// form; null when text is not valid UTF-8 or memory runs out.
utf16_char* ToWide(const char* text, size_t extra_room, size_t* capacity) {
  size_t length = strlen(text);
  long needed = Utf8ToUtf16(text, length, nullptr, 0, false);
  if (needed < 0) return nullptr;
  *capacity = static_cast<size_t>(needed) + 1 + extra_room;
  utf16_char* wide = static_cast<utf16_char*>(malloc(*capacity * sizeof(utf16_char)));
  if (wide && Utf8ToUtf16(text, length, wide, *capacity, false) < 0) {
    free(wide);
    return nullptr;
  }
  return wide;
}

bool Writes(const char* mode) { return strchr(mode, '+') || strchr(mode, 'a') || strchr(mode, 'w'); }

// A stream for reading on the file just opened; null (and the file closed)
// when the runtime cannot take it.
FILE* ReadingStream(HANDLE file, const char* mode) {
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | (strchr(mode, 'b') ? _O_BINARY : _O_TEXT));
  if (descriptor == -1) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(descriptor, mode);
  if (!stream) _close(descriptor);
  return stream;
}

}  // namespace
#endif

FILE* Utf8OpenFile(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
#ifdef _WIN32
  size_t path_capacity = 0, mode_capacity = 0;
  utf16_char* wide_path = ToWide(path, LONG_PATH_ROOM, &path_capacity);
  bool converted = wide_path && ExpandLongPath(wide_path, path_capacity);
  FILE* file = nullptr;
  if (!Writes(mode)) {
    if (converted) {
      file = ReadingStream(CreateFileW(wide_path, GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr), mode);
    }
    free(wide_path);
    if (file) return file;
    return ReadingStream(CreateFileA(path, GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr), mode);
  }
  utf16_char* wide_mode = ToWide(mode, 0, &mode_capacity);
  converted = converted && wide_mode;
  if (converted) file = _wfopen(wide_path, wide_mode);
  free(wide_path);
  free(wide_mode);
  if (file || converted) return file;
#endif
  return fopen(path, mode);
}
