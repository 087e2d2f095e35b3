#pragma once
// A text view on a plain cell grid with a scripted platform: keys go in as
// key codes, the grid is read back as text and attributes.
#include <cstdio>
#include <string>
#include <vector>

#include "auxwindows/cell_grid.h"
#include "auxwindows/text_view.h"

class FakePlatform : public ViewPlatform {
 public:
  bool shift = false, ctrl = false, alt = false;
  std::string clipboard = "(untouched)";
  bool refuse_clipboard = false;
  std::vector<std::string> opened;
  bool ShiftDown() override { return shift; }
  bool CtrlDown() override { return ctrl; }
  bool AltDown() override { return alt; }
  bool SetClipboardText(const std::string& text) override {
    if (refuse_clipboard) return false;
    clipboard = text;
    return true;
  }
  std::string ClipboardText() override { return clipboard; }
  void OpenAddress(const std::string& address) override { opened.push_back(address); }
  FILE* OpenFile(const char* path, const char* mode) override { return fopen(path, mode); }
};

// The row as UTF-8, blanks as spaces, trailing blanks kept.
std::string RowText(const CellGrid& grid, int row);
// The row without its trailing blanks.
std::string RowTrimmed(const CellGrid& grid, int row);
uint8_t AttributeAt(const CellGrid& grid, int row, int column);
void SetLines(TextView* view, const std::vector<std::string>& lines);
// The characters of UTF-8 text, as the grid decodes them.
std::vector<uint32_t> Characters(const std::string& text);
// Lines "line 1" ... "line n".
std::vector<std::string> NumberedLines(int n);
