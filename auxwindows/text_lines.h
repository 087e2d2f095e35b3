#pragma once
// The viewer's text: an ordered list of UTF-8 lines without terminators, and
// the rules that turn a byte offset into a column (a column counts characters
// as the cell grid shows them). No platform header.
//
// The lines lie back to back in one buffer, each after its length (7 bits a
// byte, low bits first, the top bit set on every byte but the last); the
// buffer offset of every eighth line is kept beside it. A line costs its
// bytes, one or two bytes of length and one byte of index, so that even a
// file of nothing but line feeds takes about twice its size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/growable_buffer.h"

struct TextLines {
  GrowableBuffer records = MakeGrowableBuffer(65536);    // length, then bytes, per line
  GrowableBuffer checkpoints = MakeGrowableBuffer(4096); // size_t offset of lines 0, 8, 16 ...
  int count = 0;
};

struct LineText {
  const char* bytes;   // valid until lines are added or freed
  size_t length;
};

// Appends a copy of the bytes as a new last line. False when memory fails or
// the count would no longer fit an int; the lines stay as they were.
bool AppendTextLine(TextLines* text, const char* bytes, size_t length);
void FreeTextLines(TextLines* text);
// Bytes the lines hold.
size_t TextLinesMemory(const TextLines* text);

inline int LineCount(const TextLines& text) {
  return text.count;
}
// Line i, 0 <= i < LineCount.
LineText GetLine(const TextLines& text, int i);
inline const char* LineBytes(const TextLines& text, int i) {
  return GetLine(text, i).bytes;
}
inline size_t LineLength(const TextLines& text, int i) {
  return GetLine(text, i).length;
}

// Characters in the bytes (one per decoded character or stray byte).
int CharacterCount(const char* bytes, size_t length);
// Byte offset at which the given column starts (the length when beyond it).
size_t ByteOfColumn(const char* bytes, size_t length, int column);
// Column of the character that starts at or contains the byte offset.
int ColumnOfByte(const char* bytes, size_t length, size_t offset);

// Appends, as valid UTF-8, the characters the cells show for the bytes: each
// decoded character as itself, a stray byte as the character of its value, a
// 5- or 6-byte sequence as "_", and a control character (NUL included) as the
// blank its cell shows.
void AppendShownText(std::string* shown, const char* bytes, size_t length);
// Appends one character (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8Character(std::string* text, uint32_t code);
