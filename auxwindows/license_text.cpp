#include "auxwindows/license_text.h"

#include <climits>

int LicenseTextBufferSize(int64_t file_size) {
  if (file_size < 0 || file_size > static_cast<int64_t>(INT_MAX) - 1) return -1;
  return static_cast<int>(file_size) + 1;
}
