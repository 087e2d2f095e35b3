#include "imagefiles/picture_stream.h"

#include <cstring>

#include "base/utf8_text.h"

FILE* OpenPictureFile(const char* path) {
  if (!path) return nullptr;
#ifdef _WIN32
  // 2048 units, terminator included: longer paths take the narrow route.
  utf16_char wide[2048];
  if (Utf8ToUtf16(path, strlen(path), wide, sizeof wide / sizeof wide[0], false) >= 0) {
    FILE* file = _wfopen(wide, L"rb");
    if (file) return file;
  }
#endif
  return fopen(path, "rb");
}
