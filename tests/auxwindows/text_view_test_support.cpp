#include "text_view_test_support.h"

std::string RowText(const CellGrid& grid, int row) {
  std::string text;
  for (int c = 0; c < grid.columns; c++) {
    uint16_t ch = GridCell(&grid, row, c).character;
    if (ch == 0) ch = ' ';
    if (ch < 0x80) {
      text.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
      text.push_back(static_cast<char>(0xC0 | (ch >> 6)));
      text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
      text.push_back(static_cast<char>(0xE0 | (ch >> 12)));
      text.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
  }
  return text;
}

std::string RowTrimmed(const CellGrid& grid, int row) {
  std::string text = RowText(grid, row);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

uint8_t AttributeAt(const CellGrid& grid, int row, int column) {
  return GridCell(&grid, row, column).attribute;
}

void SetLines(TextView* view, const std::vector<std::string>& lines) {
  FreeTextLines(&view->text);
  for (const std::string& line : lines) AppendTextLine(&view->text, line.data(), line.size());
}

std::vector<std::string> NumberedLines(int n) {
  std::vector<std::string> lines;
  for (int i = 1; i <= n; i++) lines.push_back("line " + std::to_string(i));
  return lines;
}

std::vector<uint32_t> Characters(const std::string& text) {
  std::vector<uint32_t> characters;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t at = 0; at < text.size();) {
    DecodedChar c = DecodeGridChar(b + at, text.size() - at);
    characters.push_back(c.code);
    at += c.length;
  }
  return characters;
}
