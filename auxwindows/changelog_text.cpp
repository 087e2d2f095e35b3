#include "auxwindows/changelog_text.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/growable_buffer.h"

namespace {

const size_t READ_BLOCK = 65536;

// Collects the bytes of one line across read blocks.
struct LineAssembly {
  TextLines* text;
  GrowableBuffer pending;
  bool first_line;
  bool failed;
};

void FinishLine(LineAssembly* a, const char* bytes, size_t length) {
  if (a->first_line) {
    a->first_line = false;
    if (length >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
      bytes += 3;
      length -= 3;
      if (length == 0) return;   // nothing but the mark
    }
  }
  while (length > 0 && (bytes[length - 1] == '\r' || bytes[length - 1] == '\n')) length--;
  if (!AppendTextLine(a->text, bytes, length)) a->failed = true;
}

// Takes the bytes of a line up to its line feed (ends_line) or the block's
// end, but never beyond the split point; returns how many were taken.
size_t TakeBytes(LineAssembly* a, const char* bytes, size_t length, bool ends_line) {
  size_t room = LINE_SPLIT_LENGTH - a->pending.used;
  if (length >= room && !(ends_line && length == room)) {
    length = room;
    ends_line = true;   // split here; the rest goes on as a new line
  }
  if (a->pending.used == 0 && ends_line) {
    FinishLine(a, bytes, length);
    return length;
  }
  if (!AppendToBuffer(&a->pending, bytes, length)) {
    a->failed = true;
    return length;
  }
  if (ends_line) {
    FinishLine(a, reinterpret_cast<const char*>(a->pending.data), a->pending.used);
    SetBufferSize(&a->pending, 0, false);
  }
  return length;
}

}  // namespace

int DetectTabWidth(const TextLines& text, int default_width) {
  bool tab_indented = false;
  int widest = 5;
  for (int i = 0; i < LineCount(text); i++) {
    LineText line = GetLine(text, i);
    const char* b = line.bytes;
    size_t n = line.length;
    size_t at = 0;
    if (n > 0 && b[0] == '\t') {
      tab_indented = true;
      while (at < n && b[at] == '\t') at++;
    }
    size_t spaces = 0;
    while (at < n && b[at] == ' ') {
      at++;
      spaces++;
    }
    if ((at < n && b[at] == '\t') || spaces > 7) return default_width;
    if (static_cast<int>(spaces) + 1 > widest) widest = static_cast<int>(spaces) + 1;
  }
  return tab_indented ? widest : default_width;
}

bool ExpandTabs(TextLines* text, int tab_width) {
  if (tab_width < 0) tab_width = 0;
  int count = LineCount(*text);
  int first_with_tab = 0;
  while (first_with_tab < count) {
    LineText line = GetLine(*text, first_with_tab);
    if (line.length > 0 && memchr(line.bytes, '\t', line.length)) break;
    first_with_tab++;
  }
  if (first_with_tab == count) return true;
  // The lines lie back to back: the expanded text is built anew.
  TextLines expanded;
  std::vector<char> bytes;
  bool ok = true;
  for (int i = 0; i < count && ok; i++) {
    LineText line = GetLine(*text, i);
    if (i < first_with_tab || !memchr(line.bytes, '\t', line.length)) {
      ok = AppendTextLine(&expanded, line.bytes, line.length);
      continue;
    }
    size_t tabs = 0;
    for (size_t k = 0; k < line.length; k++) tabs += line.bytes[k] == '\t';
    try {
      bytes.clear();
      bytes.reserve(line.length - tabs + tabs * static_cast<size_t>(tab_width));
      for (size_t k = 0; k < line.length; k++) {
        if (line.bytes[k] == '\t') {
          bytes.insert(bytes.end(), static_cast<size_t>(tab_width), ' ');
        } else {
          bytes.push_back(line.bytes[k]);
        }
      }
    } catch (...) {
      ok = false;
      break;
    }
    ok = AppendTextLine(&expanded, bytes.data(), bytes.size());
  }
  if (!ok) {
    FreeTextLines(&expanded);
    return false;
  }
  FreeTextLines(text);
  *text = expanded;
  return true;
}

bool LoadTextFile(FILE* file, TextLines* text, int* tab_width) {
  LineAssembly a = {text, MakeGrowableBuffer(4096), true, false};
  char* block = static_cast<char*>(malloc(READ_BLOCK));
  if (!block) return false;
  bool read_failed = false;
  while (!a.failed) {
    size_t got = fread(block, 1, READ_BLOCK, file);
    if (got == 0) {
      read_failed = ferror(file) != 0;
      break;
    }
    size_t at = 0;
    while (at < got && !a.failed) {
      const char* feed = static_cast<const char*>(memchr(block + at, '\n', got - at));
      size_t length = feed ? static_cast<size_t>(feed - (block + at)) + 1 : got - at;
      at += TakeBytes(&a, block + at, length, feed != nullptr);
    }
  }
  if (a.pending.used > 0 && !a.failed) {
    FinishLine(&a, reinterpret_cast<const char*>(a.pending.data), a.pending.used);
  }
  FreeBuffer(&a.pending);
  free(block);
  if (a.failed || read_failed) return false;
  int width = DetectTabWidth(*text, *tab_width);
  *tab_width = width;
  return ExpandTabs(text, width);
}
