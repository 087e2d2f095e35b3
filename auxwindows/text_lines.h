#pragma once
// The viewer's text: an ordered list of UTF-8 lines without terminators, each
// a growable buffer, and the rules that turn a byte offset into a column (a
// column counts characters as the cell grid shows them). No platform header.
#include <cstddef>
#include <vector>

#include "base/growable_buffer.h"

struct TextLines {
  std::vector<GrowableBuffer> lines;
};

// Appends a copy of the bytes as a new last line, allocated to fit exactly.
bool AppendTextLine(TextLines* text, const char* bytes, size_t length);
// Replaces line i with the given bytes.
bool ReplaceTextLine(TextLines* text, size_t i, const char* bytes, size_t length);
void FreeTextLines(TextLines* text);
// Bytes the lines hold, allocations and list included.
size_t TextLinesMemory(const TextLines* text);

inline int LineCount(const TextLines& text) {
  return static_cast<int>(text.lines.size());
}
inline const char* LineBytes(const TextLines& text, int i) {
  return reinterpret_cast<const char*>(text.lines[i].data);
}
inline size_t LineLength(const TextLines& text, int i) {
  return text.lines[i].used;
}

// Characters in the bytes (one per decoded character or stray byte).
int CharacterCount(const char* bytes, size_t length);
// Byte offset at which the given column starts (the length when beyond it).
size_t ByteOfColumn(const char* bytes, size_t length, int column);
// Column of the character that starts at or contains the byte offset.
int ColumnOfByte(const char* bytes, size_t length, size_t offset);
