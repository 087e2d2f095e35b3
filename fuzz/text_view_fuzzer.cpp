// The text viewer driven as a person drives it: a file's content, then keys,
// typed characters, modifier changes, mouse events and resizes, through a
// fake of its platform; on the plain view or behind the Changelog's key
// filter. Besides the sanitizers it checks what must always hold: the cursor
// and the selection stay in the text, the text never changes, a page key
// never moves the cursor backwards and moves it while it can, the clipboard
// gets valid UTF-8 without control characters but the line breaks, and the
// search in a line agrees with a plain reference search.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "auxwindows/changelog_view.h"
#include "auxwindows/key_codes.h"
#include "auxwindows/text_search.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

// Strict UTF-8 with no control character but CR LF pairs.
bool IsCleanText(const std::string& text) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = b[i];
    if (c == '\r') {
      if (i + 1 >= n || b[i + 1] != '\n') return false;
      i += 2;
      continue;
    }
    if (c < 32 || c == 127) return false;
    if (c < 0x80) {
      i++;
      continue;
    }
    int count = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (count == 0 || c > 0xF4 || i + count > n) return false;
    uint32_t code = c & (0x7F >> count);
    for (int k = 1; k < count; k++) {
      if ((b[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (b[i + k] & 0x3F);
    }
    static const uint32_t LEAST[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < LEAST[count] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += count;
  }
  return true;
}

class FakePlatform : public ViewPlatform {
 public:
  bool shift = false, ctrl = false, alt = false;
  std::string clipboard;
  const uint8_t* file = nullptr;
  size_t file_size = 0;
  bool ShiftDown() override { return shift; }
  bool CtrlDown() override { return ctrl; }
  bool AltDown() override { return alt; }
  bool SetClipboardText(const std::string& text) override {
    Require(IsCleanText(text));
    clipboard = text;
    return true;
  }
  std::string ClipboardText() override { return clipboard; }
  void OpenAddress(const std::string& address) override {
    Require(address.size() >= 10 && address.size() <= 511 && address.compare(0, 7, "http://") == 0);
  }
  FILE* OpenFile(const char* path, const char* mode) override {
    if (file_size == 0) return fopen("/dev/null", mode);
    return fmemopen(const_cast<uint8_t*>(file), file_size, mode);
  }
};

// The search as it was first written: every start position compared in full.
bool ReferenceMatchAt(int mode, const std::string& line, size_t at, const std::string& needle) {
  if (at + needle.size() > line.size()) return false;
  for (size_t i = 0; i < needle.size(); i++) {
    unsigned char a = line[at + i], b = needle[i];
    if (!(mode & 1)) {
      if (a >= 'A' && a <= 'Z') a += 32;
      if (b >= 'A' && b <= 'Z') b += 32;
    }
    if (a != b) return false;
  }
  return true;
}

bool IsAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool ReferenceMatch(int mode, const std::string& needle, const std::string& line, size_t from,
                    bool forward, LineMatch* match) {
  if (line.empty()) return false;
  bool found = false;
  if (mode / 2 < 2) {
    if (needle.empty() || needle.size() > line.size()) return false;
    for (size_t at = 0; at + needle.size() <= line.size(); at++) {
      if (forward ? at < from : at > from) continue;
      if (!ReferenceMatchAt(mode, line, at, needle)) continue;
      size_t end = at + needle.size();
      if (mode / 2 == 1 && ((at > 0 && IsAlnum(line[at - 1])) ||
                            (end < line.size() && IsAlnum(line[end])))) {
        continue;
      }
      *match = {at, end};
      if (forward) return true;
      found = true;
    }
    return found;
  }
  std::vector<TokenSpan> needle_tokens = SplitTokens(needle.data(), needle.size());
  std::vector<TokenSpan> line_tokens = SplitTokens(line.data(), line.size());
  if (needle_tokens.empty()) return false;
  for (size_t t = 0; t < line_tokens.size(); t++) {
    std::vector<size_t> starts = {line_tokens[t].start};
    size_t dot = line.find('.', line_tokens[t].start);
    if (dot < line_tokens[t].end) {
      if (dot != line_tokens[t].start) starts.push_back(dot);
      if (dot + 1 < line_tokens[t].end) starts.push_back(dot + 1);
    }
    for (size_t start : starts) {
      if (forward ? start < from : start > from) continue;
      bool all = t + needle_tokens.size() <= line_tokens.size();
      for (size_t k = 0; all && k < needle_tokens.size(); k++) {
        size_t from_byte = k == 0 ? start : line_tokens[t + k].start;
        size_t to_byte = line_tokens[t + k].end;
        std::string n = needle.substr(needle_tokens[k].start, needle_tokens[k].end - needle_tokens[k].start);
        all = to_byte - from_byte == n.size() && ReferenceMatchAt(mode, line, from_byte, n);
      }
      if (!all) continue;
      *match = {start, line_tokens[t + needle_tokens.size() - 1].end};
      if (forward) return true;
      found = true;
    }
  }
  return found;
}

// Reads the input's bytes in order; zeros once they run out.
struct Input {
  const uint8_t* data;
  size_t size;
  size_t at;
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  uint32_t Bytes(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; i++) value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return value;
  }
  bool Done() const { return at >= size; }
};

const int KEYS[] = {KEY_CTRL_C, KEY_CTRL_F, KEY_CTRL_G, KEY_BACKSPACE, KEY_TAB, KEY_CTRL_J,
                    KEY_CTRL_L, KEY_ENTER, KEY_CTRL_O, KEY_CTRL_P, KEY_CTRL_R, KEY_CTRL_V,
                    KEY_CTRL_W, KEY_ESCAPE, KEY_CTRL_CLOSE_BRACKET, KEY_DOWN, KEY_UP, KEY_PPAGE,
                    KEY_NPAGE, KEY_RIGHT, KEY_LEFT, KEY_HOME, KEY_END, KEY_IC, KEY_DC, KEY_F1,
                    KEY_F3, KEY_F10, KEY_F12, 1, 24, 26, 0, -1, 127};

void CloseView(void* context) {
  *static_cast<bool*>(context) = true;
}

bool Within(const TextView& view, const TextPosition& p) {
  int n = LineCount(view.text);
  if (p.line < 0 || p.line > (n > 0 ? n - 1 : 0) || p.column < 0) return false;
  return p.column <= view.LineLengthInColumns(p.line);
}

void CheckState(const TextView& view, int lines) {
  Require(LineCount(view.text) == lines);
  Require(Within(view, view.cursor));
  if (view.selection.active) {
    Require(Within(view, view.selection.anchor));
    Require(Within(view, view.selection.end));
  }
  Require(view.horizontal_scroll >= 0 && view.pane_first[0] >= 0 && view.pane_first[1] >= 0);
  Require(view.mode >= MODE_NORMAL && view.mode <= MODE_REPLACE);
  Require(view.active_pane == 0 || (view.active_pane == 1 && view.IsSplit()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in = {data, size, 0};
  uint8_t flags = in.Byte();
  bool changelog = flags & 1;
  int rows = 1 + in.Byte() % 48, columns = 1 + in.Byte() % 130;
  size_t file_size = in.Bytes(2);
  if (file_size > size - in.at) file_size = size - in.at;

  FakePlatform platform;
  platform.file = data + in.at;
  platform.file_size = file_size;
  in.at += file_size;
  g_search_mode = (flags >> 1) % SEARCH_MODE_COUNT;
  g_overwrite = false;

  CellGrid grid;
  ResizeGrid(&grid, rows, columns);
  grid.client_width = columns * grid.cell_width;
  grid.client_height = rows * grid.cell_height;
  bool closed = false;
  TextView* view = changelog ? new ChangelogView(&grid, &platform, CloseView, &closed)
                             : new TextView(&grid, &platform);
  view->Load("changelog.txt");
  view->Draw();
  view->PlaceCursor(false, -1);
  int lines = LineCount(view->text);
  CheckState(*view, lines);

  for (int action = 0; action < 2000 && !in.Done() && !closed; action++) {
    uint8_t op = in.Byte();
    int before_mode = view->mode;
    TextPosition before = view->cursor;
    int key = 0;
    switch (op % 9) {
      case 0:
      case 1:
        key = KEYS[in.Byte() % (sizeof KEYS / sizeof KEYS[0])];
        break;
      case 2: {
        uint32_t c = in.Bytes(3) % 0x110000;
        key = TypedCharacterKey(c);
        break;
      }
      case 3: {
        uint8_t m = in.Byte();
        platform.shift = m & 1;
        platform.ctrl = m & 2;
        platform.alt = m & 4;
        continue;
      }
      case 4: {
        MouseEvent event;
        event.kind = static_cast<MouseKind>(in.Byte() % 6);
        event.x = (static_cast<int>(in.Byte()) * (columns + 4) / 256 - 2) * grid.cell_width + 1;
        event.y = (static_cast<int>(in.Byte()) * (rows + 4) / 256 - 2) * grid.cell_height + 1;
        uint8_t m = in.Byte();
        event.shift = m & 1;
        event.left_held = m & 2;
        event.wheel_delta = static_cast<int8_t>(in.Byte()) * 15;
        view->HandleMouse(event);
        break;
      }
      case 5: {
        rows = 1 + in.Byte() % 48;
        columns = 1 + in.Byte() % 130;
        ResizeGrid(&grid, rows, columns);
        grid.client_width = columns * grid.cell_width + in.Byte() % 8;
        grid.client_height = rows * grid.cell_height;
        if (grid.resize_handler) grid.resize_handler(grid.resize_context);
        break;
      }
      case 6: {
        // Queued keys, run as the window's timer runs them.
        int count = 1 + in.Byte() % 20;
        for (int i = 0; i < count; i++) PushKey(&grid, KEYS[in.Byte() % (sizeof KEYS / sizeof KEYS[0])]);
        RunTextView(view);
        break;
      }
      case 7: {
        // A search text cut from the file, and the search in one line
        // against the reference.
        size_t start = file_size ? in.Bytes(2) % file_size : 0;
        size_t length = in.Byte() % 24;
        if (start + length > file_size) length = file_size - start;
        view->search_text.assign(reinterpret_cast<const char*>(platform.file) + start, length);
        if (in.Byte() & 1) view->search_text += " ";
        if (lines == 0) break;
        int line = static_cast<int>(in.Bytes(2) % lines);
        std::string text(LineBytes(view->text, line), LineLength(view->text, line));
        if (text.size() * (view->search_text.size() + 1) > 4000000) break;
        int mode = in.Byte() % SEARCH_MODE_COUNT;
        size_t from = text.empty() ? 0 : in.Bytes(2) % (text.size() + 1);
        bool forward = in.Byte() & 1;
        LineMatch got = {0, 0}, expected = {0, 0};
        bool found = MatchInLine(mode, view->search_text, text.data(), text.size(), from, forward, &got);
        bool reference = ReferenceMatch(mode, view->search_text, text, from, forward, &expected);
        Require(found == reference);
        if (found) Require(got.start == expected.start && got.end == expected.end);
        break;
      }
      case 8:
        key = static_cast<int>(in.Bytes(4));
        break;
    }
    if (key != 0 && (op % 9) != 4 && (op % 9) != 5 && (op % 9) != 6 && (op % 9) != 7) {
      if (view->HandleKey(key)) break;   // closed by Ctrl+W
      bool moved_as_page = (before_mode == MODE_NORMAL || before_mode == MODE_MESSAGE) &&
                           (key == KEY_NPAGE || key == KEY_PPAGE);
      if (moved_as_page) {
        int last = lines > 0 ? lines - 1 : 0;
        if (key == KEY_NPAGE) {
          Require(view->cursor.line >= before.line);
          Require(before.line == last || view->cursor.line > before.line);
        } else {
          Require(view->cursor.line <= before.line);
          Require(before.line == 0 || view->cursor.line < before.line);
        }
      }
    }
    if (closed) break;
    CheckState(*view, lines);
  }
  delete view;
  g_search_mode = 0;
  return 0;
}
