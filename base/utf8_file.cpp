#include "base/utf8_file.h"

#include <cstdlib>
#include <cstring>

#include "base/long_path.h"
#include "base/utf8_text.h"

#ifdef _WIN32
namespace {

// Room for the longest long-path prefix ("\\?\UNC\" less the two leading
// backslashes it replaces) and the terminator.
const size_t LONG_PATH_ROOM = 8;

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

}  // namespace
#endif

FILE* Utf8OpenFile(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
#ifdef _WIN32
  size_t path_capacity = 0, mode_capacity = 0;
  utf16_char* wide_path = ToWide(path, LONG_PATH_ROOM, &path_capacity);
  utf16_char* wide_mode = ToWide(mode, 0, &mode_capacity);
  bool converted = wide_path && wide_mode && ExpandLongPath(wide_path, path_capacity);
  FILE* file = converted ? _wfopen(wide_path, wide_mode) : nullptr;
  free(wide_path);
  free(wide_mode);
  if (file) return file;
  if (converted && (strchr(mode, '+') || strchr(mode, 'a') || strchr(mode, 'w'))) return nullptr;
#endif
  return fopen(path, mode);
}
