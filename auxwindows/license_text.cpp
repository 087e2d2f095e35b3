#include "auxwindows/license_text.h"

int LicenseTextBufferSize(int64_t file_size) {
  if (file_size < 0) return -1;
  // The limit and the rest of a character it may split.
  const int64_t most = LICENSE_TEXT_LIMIT + 3;
  return static_cast<int>(file_size < most ? file_size : most) + 1;
}

size_t LicenseTextShownLength(const char* text, size_t length) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(text);
  if (length <= static_cast<size_t>(LICENSE_TEXT_LIMIT)) return length;
  length = LICENSE_TEXT_LIMIT;
  // Step back over at most three continuation bytes to the sequence's lead.
  size_t lead = length;
  while (lead > 0 && length - lead < 3 && (b[lead - 1] & 0xC0) == 0x80) lead--;
  if (lead == 0) return length;
  unsigned char first = b[lead - 1];
  size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  // A lead whose sequence runs past the end is cut off with its tail; any
  // other byte (complete sequences, stray bytes) stays.
  if (first >= 0xC0 && first <= 0xF7 && length - (lead - 1) < needed) return lead - 1;
  return length;
}
