// The Changelog's load rules on any file: the lines and the tab width must be
// those of a plain reference reading (split at line feeds, the byte-order mark
// of the first line dropped, line ends removed, the tab width detected, tabs
// expanded), and the lines must take at most about three times the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "auxwindows/changelog_text.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

int ReferenceTabWidth(const std::vector<std::string>& lines) {
  bool tab_indented = false;
  int widest = 5;
  for (const std::string& line : lines) {
    size_t at = line.find_first_not_of('\t');
    if (at == std::string::npos) at = line.size();
    if (at > 0) tab_indented = true;
    size_t spaces_end = line.find_first_not_of(' ', at);
    if (spaces_end == std::string::npos) spaces_end = line.size();
    size_t spaces = spaces_end - at;
    if ((spaces_end < line.size() && line[spaces_end] == '\t') || spaces > 7) return 2;
    if (static_cast<int>(spaces) + 1 > widest) widest = static_cast<int>(spaces) + 1;
  }
  return tab_indented ? widest : 2;
}

std::vector<std::string> ReferenceLines(const std::string& file, int* tab_width) {
  std::vector<std::string> lines;
  size_t at = 0;
  bool first = true;
  while (at < file.size()) {
    size_t feed = file.find('\n', at);
    size_t end = feed == std::string::npos ? file.size() : feed + 1;
    std::string line = file.substr(at, end - at);
    at = end;
    if (first) {
      first = false;
      if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        line.erase(0, 3);
        if (line.empty()) continue;
      }
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    lines.push_back(line);
  }
  *tab_width = ReferenceTabWidth(lines);
  for (std::string& line : lines) {
    std::string expanded;
    for (char c : line) {
      if (c == '\t') {
        expanded.append(static_cast<size_t>(*tab_width), ' ');
      } else {
        expanded.push_back(c);
      }
    }
    line = expanded;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size >= LINE_SPLIT_LENGTH) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  TextLines text;
  int tab_width = 2;
  bool loaded = LoadTextFile(file, &text, &tab_width);
  fclose(file);
  Require(loaded);

  int expected_width = 0;
  std::vector<std::string> expected =
      ReferenceLines(std::string(reinterpret_cast<const char*>(data), size), &expected_width);
  Require(tab_width == expected_width);
  Require(LineCount(text) == static_cast<int>(expected.size()));
  for (int i = 0; i < LineCount(text); i++) {
    Require(std::string(LineBytes(text, i), LineLength(text, i)) == expected[i]);
  }
  // Three times the file, less the tabs' spaces, and the first blocks of
  // the two buffers for a small file.
  size_t expansion = 0;
  for (const std::string& line : expected) expansion += line.size();
  Require(TextLinesMemory(&text) <= 3 * (size + expansion) + 65536 + 4096);
  FreeTextLines(&text);
  return 0;
}
