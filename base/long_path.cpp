#include "base/long_path.h"

#include <cstring>

bool ExpandLongPath(utf16_char* path, size_t capacity) {
  size_t length = Utf16Length(path);
  if (length < 256) return true;

  // Already in a device or long-path form: adding a prefix again would break it.
  if (path[0] == '\\' && path[1] == '\\' && (path[2] == '?' || path[2] == '.') &&
      path[3] == '\\')
    return true;

  static const char DRIVE_PREFIX[] = "\\\\?\\";
  static const char UNC_PREFIX[] = "\\\\?\\UNC\\";
  size_t prefix_length;
  size_t removed;
  const char* prefix;
  if (path[1] == ':') {
    prefix = DRIVE_PREFIX;
    prefix_length = 4;
    removed = 0;
  } else if (path[0] == '\\' && path[1] == '\\') {
    prefix = UNC_PREFIX;
    prefix_length = 8;
    removed = 2;
  } else {
    return true;
  }
  size_t new_length = length - removed + prefix_length;
  if (new_length + 1 > capacity) return false;
  memmove(path + prefix_length, path + removed, (length - removed + 1) * sizeof(utf16_char));
  for (size_t i = 0; i < prefix_length; ++i) path[i] = static_cast<utf16_char>(prefix[i]);
  for (size_t i = prefix_length; i < new_length; ++i) {
    if (path[i] == '/') path[i] = '\\';
  }
  return true;
}
