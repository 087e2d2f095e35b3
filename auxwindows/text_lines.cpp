#include "auxwindows/text_lines.h"

#include <climits>
#include <cstring>

#include "auxwindows/cell_grid.h"

namespace {

const int LINES_PER_CHECKPOINT = 8;

// Writes the length in 7-bit groups, low first; returns the bytes written.
int EncodeLength(size_t length, unsigned char* out) {
  int count = 0;
  while (length >= 0x80) {
    out[count++] = static_cast<unsigned char>(0x80 | (length & 0x7F));
    length >>= 7;
  }
  out[count++] = static_cast<unsigned char>(length);
  return count;
}

// Reads a length written by EncodeLength at *at and moves *at past it.
size_t DecodeLength(const unsigned char* records, size_t* at) {
  size_t length = 0;
  int shift = 0;
  unsigned char byte;
  do {
    byte = records[(*at)++];
    length |= static_cast<size_t>(byte & 0x7F) << shift;
    shift += 7;
  } while (byte & 0x80);
  return length;
}

}  // namespace

bool AppendTextLine(TextLines* text, const char* bytes, size_t length) {
  if (text->count == INT_MAX) return false;
  size_t start = text->records.used;
  size_t checkpoints = text->checkpoints.used;
  unsigned char prefix[16];
  int prefix_length = EncodeLength(length, prefix);
  if ((text->count % LINES_PER_CHECKPOINT == 0 &&
       !AppendToBuffer(&text->checkpoints, &start, sizeof start)) ||
      !AppendToBuffer(&text->records, prefix, static_cast<size_t>(prefix_length)) ||
      !AppendToBuffer(&text->records, bytes, length)) {
    SetBufferSize(&text->records, start, false);
    SetBufferSize(&text->checkpoints, checkpoints, false);
    return false;
  }
  text->count++;
  return true;
}

void FreeTextLines(TextLines* text) {
  FreeBuffer(&text->records);
  FreeBuffer(&text->checkpoints);
  text->count = 0;
}

size_t TextLinesMemory(const TextLines* text) {
  return text->records.allocated + text->checkpoints.allocated;
}

LineText GetLine(const TextLines& text, int i) {
  size_t at = 0;
  memcpy(&at, text.checkpoints.data + (i / LINES_PER_CHECKPOINT) * sizeof at, sizeof at);
  const unsigned char* records = text.records.data;
  for (int skip = i % LINES_PER_CHECKPOINT; skip > 0; skip--) at += DecodeLength(records, &at);
  size_t length = DecodeLength(records, &at);
  return {reinterpret_cast<const char*>(records + at), length};
}

int CharacterCount(const char* bytes, size_t length) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  size_t at = 0;
  int count = 0;
  while (at < length) {
    if (b[at] < 0x80) {
      at++;
    } else {
      at += DecodeGridChar(b + at, length - at).length;
    }
    count++;
  }
  return count;
}

size_t ByteOfColumn(const char* bytes, size_t length, int column) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  size_t at = 0;
  for (int c = 0; c < column && at < length; c++) {
    at += b[at] < 0x80 ? 1 : DecodeGridChar(b + at, length - at).length;
  }
  return at;
}

int ColumnOfByte(const char* bytes, size_t length, size_t offset) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  size_t at = 0;
  int column = 0;
  if (offset > length) offset = length;
  while (at < offset) {
    size_t next = at + (b[at] < 0x80 ? 1 : DecodeGridChar(b + at, length - at).length);
    if (next > offset) break;
    at = next;
    column++;
  }
  return column;
}

void AppendShownText(std::string* shown, const char* bytes, size_t length) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  size_t at = 0;
  while (at < length) {
    DecodedChar c = DecodeGridChar(b + at, length - at);
    at += c.length;
    uint32_t code = c.code;
    if (code < 32 || code == 127) code = ' ';   // drawn as a blank cell
    AppendUtf8Character(shown, code);
  }
}

void AppendUtf8Character(std::string* text, uint32_t code) {
  if (code < 0x80) {
    text->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    text->push_back(static_cast<char>(0xC0 | (code >> 6)));
    text->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    text->push_back(static_cast<char>(0xE0 | (code >> 12)));
    text->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    text->push_back(static_cast<char>(0xF0 | (code >> 18)));
    text->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}
