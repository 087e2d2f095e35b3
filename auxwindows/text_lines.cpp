#include "auxwindows/text_lines.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "auxwindows/cell_grid.h"

namespace {

// The loaded text is read, not edited: each line gets exactly its size, so
// that a file of many short lines costs little more than its bytes.
bool FillExact(GrowableBuffer* buffer, const char* bytes, size_t length) {
  *buffer = MakeGrowableBuffer(16);
  if (length == 0) return true;
  buffer->data = static_cast<unsigned char*>(malloc(length));
  if (!buffer->data) return false;
  memcpy(buffer->data, bytes, length);
  buffer->allocated = length;
  buffer->used = length;
  return true;
}

}  // namespace

bool AppendTextLine(TextLines* text, const char* bytes, size_t length) {
  GrowableBuffer line;
  if (!FillExact(&line, bytes, length)) return false;
  try {
    text->lines.push_back(line);
  } catch (const std::bad_alloc&) {
    FreeBuffer(&line);
    return false;
  }
  return true;
}

bool ReplaceTextLine(TextLines* text, size_t i, const char* bytes, size_t length) {
  GrowableBuffer line;
  if (!FillExact(&line, bytes, length)) return false;
  FreeBuffer(&text->lines[i]);
  text->lines[i] = line;
  return true;
}

void FreeTextLines(TextLines* text) {
  for (GrowableBuffer& line : text->lines) FreeBuffer(&line);
  std::vector<GrowableBuffer>().swap(text->lines);
}

size_t TextLinesMemory(const TextLines* text) {
  size_t total = text->lines.capacity() * sizeof(GrowableBuffer);
  for (const GrowableBuffer& line : text->lines) total += line.allocated;
  return total;
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
