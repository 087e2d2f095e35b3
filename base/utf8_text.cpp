#include "base/utf8_text.h"

#include <cstring>

namespace {

// Length of the valid sequence at text[i], or 0 when the byte at i does not
// start one. Leads run from 0xC2 to 0xF7; three- and four-byte forms must not
// be overlong.
size_t ValidSequenceLength(const unsigned char* text, size_t length, size_t i) {
  unsigned char lead = text[i];
  if (lead < 0x80) return 1;
  size_t need;
  if (lead >= 0xC2 && lead <= 0xDF) need = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) need = 3;
  else if (lead >= 0xF0 && lead <= 0xF7) need = 4;
  else return 0;
  if (length - i < need) return 0;
  for (size_t k = 1; k < need; ++k) {
    if (text[i + k] < 0x80 || text[i + k] > 0xBF) return 0;
  }
  if (lead == 0xE0 && text[i + 1] < 0xA0) return 0;   // overlong three-byte form
  if (lead == 0xF0 && text[i + 1] < 0x90) return 0;   // overlong four-byte form
  return need;
}

unsigned long DecodeSequence(const unsigned char* s, size_t n) {
  switch (n) {
    case 1: return s[0];
    case 2: return ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
    case 3: return ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
    default:
      return ((s[0] & 0x07ul) << 18) | ((s[1] & 0x3Ful) << 12) | ((s[2] & 0x3Fu) << 6) |
             (s[3] & 0x3Fu);
  }
}

}  // namespace

Utf8Kind ClassifyUtf8(const char* text, size_t length, Utf8Census* census) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  Utf8Census counts = {length, 0, 0};
  size_t i = 0;
  while (i < length) {
    size_t n = ValidSequenceLength(s, length, i);
    if (n == 0) {
      ++counts.invalid_bytes;
      ++i;
    } else {
      if (n > 1) counts.multibyte_bytes += n;
      i += n;
    }
  }
  if (census) *census = counts;
  if (counts.invalid_bytes) return UTF8_INVALID;
  return counts.multibyte_bytes ? UTF8_VALID : UTF8_ASCII;
}

bool IsMostlyUtf8(const Utf8Census& census) {
  return census.multibyte_bytes >= 5 * census.invalid_bytes ||
         census.multibyte_bytes * 4 >= census.total_bytes * 3;
}

TextRoute DisplayTextRoute(const char* text) {
  Utf8Census census;
  switch (ClassifyUtf8(text, strlen(text), &census)) {
    case UTF8_ASCII: return ROUTE_ANSI;
    case UTF8_VALID: return ROUTE_WIDE;
    default: return IsMostlyUtf8(census) ? ROUTE_WIDE_LENIENT : ROUTE_ANSI;
  }
}

TextRoute PathRoute(const char* path, bool is_path) {
  size_t length = strlen(path);
  Utf8Kind kind = ClassifyUtf8(path, length);
  if (kind == UTF8_VALID) return ROUTE_WIDE;
  if (is_path && length >= 256) return ROUTE_WIDE;  // an invalid one fails to convert
  return ROUTE_ANSI;
}

long Utf8ToUtf16(const char* text, size_t length, utf16_char* out, size_t capacity,
                 bool lenient) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  size_t written = 0;
  size_t i = 0;
  while (i < length) {
    size_t n = ValidSequenceLength(s, length, i);
    if (n == 0) {
      if (!lenient) return -1;
      ++i;   // dropped
      continue;
    }
    unsigned long c = DecodeSequence(s + i, n);
    i += n;
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      if (!lenient) return -1;
      continue;
    }
    size_t units = c > 0xFFFF ? 2 : 1;
    if (out) {
      if (capacity < units + 1 || written > capacity - units - 1) return -1;
      if (units == 2) {
        c -= 0x10000;
        out[written] = static_cast<utf16_char>(0xD800 + (c >> 10));
        out[written + 1] = static_cast<utf16_char>(0xDC00 + (c & 0x3FF));
      } else {
        out[written] = static_cast<utf16_char>(c);
      }
    }
    written += units;
  }
  if (out) {
    if (capacity < 1 || written > capacity - 1) return -1;
    out[written] = 0;
  }
  return static_cast<long>(written);
}

long Utf16ToUtf8(const utf16_char* text, size_t length, char* out, size_t capacity) {
  size_t written = 0;
  for (size_t i = 0; i < length; ++i) {
    unsigned long c = static_cast<unsigned long>(text[i]) & 0xFFFF;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= length) return -1;
      unsigned long low = static_cast<unsigned long>(text[i + 1]) & 0xFFFF;
      if (low < 0xDC00 || low > 0xDFFF) return -1;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return -1;
    }
    unsigned char bytes[4];
    size_t n;
    if (c < 0x80) {
      bytes[0] = static_cast<unsigned char>(c);
      n = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      n = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      n = 3;
    } else {
      bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
      bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      n = 4;
    }
    if (out) {
      if (capacity < n + 1 || written > capacity - n - 1) return -1;
      memcpy(out + written, bytes, n);
    }
    written += n;
  }
  if (out) {
    if (capacity < 1 || written > capacity - 1) return -1;
    out[written] = 0;
  }
  return static_cast<long>(written);
}

size_t Utf16Length(const utf16_char* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}
