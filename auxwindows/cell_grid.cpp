#include "auxwindows/cell_grid.h"

#include <cstring>
#include <new>

bool ResizeGrid(CellGrid* grid, int rows, int columns) {
  grid->rows = rows < 1 ? 1 : rows;
  grid->columns = columns < 1 ? 1 : columns;
  grid->cursor_row = 0;
  grid->cursor_column = 0;
  try {
    grid->cells.assign(static_cast<size_t>(grid->rows) * static_cast<size_t>(grid->columns),
                       Cell{0, 0});
  } catch (const std::bad_alloc&) {
    grid->cells.clear();
    return false;
  }
  return true;
}

Cell GridCell(const CellGrid* grid, int row, int column) {
  if (grid->cells.empty() || row < 0 || column < 0 || row >= grid->rows ||
      column >= grid->columns) {
    return Cell{0, 0};
  }
  return grid->cells[static_cast<size_t>(row) * grid->columns + column];
}

void MoveGridCursor(CellGrid* grid, int row, int column) {
  grid->cursor_row = row;
  grid->cursor_column = column;
}

static bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

DecodedChar DecodeGridChar(const unsigned char* text, size_t length) {
  unsigned char lead = text[0];
  if (lead < 0x80) return {lead, 1};
  int count = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    count = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    count = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    count = 4;
    code = lead & 0x07;
  } else if (lead >= 0xF8 && lead <= 0xFB) {
    count = 5;
  } else if (lead >= 0xFC && lead <= 0xFD) {
    count = 6;
  }
  if (count == 0 || static_cast<size_t>(count) > length) return {lead, 1};
  for (int i = 1; i < count; i++) {
    if (!IsContinuation(text[i])) return {lead, 1};
    code = (code << 6) | (text[i] & 0x3F);
  }
  if (count >= 5) return {'_', count};
  static const uint32_t LEAST[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < LEAST[count] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return {lead, 1};
  }
  return {code, count};
}

uint16_t CellCharacter(uint32_t code) {
  // A cell holds one UTF-16 unit: characters beyond it show as the
  // replacement character.
  return code > 0xFFFF ? 0xFFFD : static_cast<uint16_t>(code);
}

void WriteGridText(CellGrid* grid, const char* text, size_t length) {
  if (grid->cells.empty() || grid->cursor_row < 0 || grid->cursor_row >= grid->rows) return;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  int row = grid->cursor_row;
  int start = grid->cursor_column < 0 ? 0 : grid->cursor_column;
  int column = start;
  Cell* line = &grid->cells[static_cast<size_t>(row) * grid->columns];
  size_t at = 0;
  while (at < length && column < grid->columns) {
    DecodedChar c = DecodeGridChar(bytes + at, length - at);
    at += c.length;
    line[column].character = CellCharacter(c.code);
    line[column].attribute = grid->drawing_attribute;
    column++;
  }
  grid->cursor_column = column;
  if (column > start) MarkCells(grid, row, start, 1, column - start);
}

void WriteGridString(CellGrid* grid, const char* text) {
  WriteGridText(grid, text, strlen(text));
}

void ClearToRowEnd(CellGrid* grid) {
  if (grid->cells.empty() || grid->cursor_row < 0 || grid->cursor_row >= grid->rows) return;
  int start = grid->cursor_column < 0 ? 0 : grid->cursor_column;
  Cell* line = &grid->cells[static_cast<size_t>(grid->cursor_row) * grid->columns];
  for (int column = start; column < grid->columns; column++) {
    line[column] = Cell{0, grid->clearing_attribute};
  }
  if (start < grid->columns) MarkCells(grid, grid->cursor_row, start, 1, grid->columns - start);
}

void MarkCells(CellGrid* grid, int row, int column, int rows, int columns) {
  if (grid->full_redraw || !grid->invalidate) return;
  grid->invalidate(grid->invalidate_context, row, column, rows, columns);
}

void BeginFullRedraw(CellGrid* grid) {
  grid->full_redraw = true;
}

void EndFullRedraw(CellGrid* grid) {
  grid->full_redraw = false;
  MarkCells(grid, 0, 0, grid->rows, grid->columns);
}

void PushKey(CellGrid* grid, int key) {
  if (grid->key_count == KEY_QUEUE_SIZE) {
    grid->key_read = (grid->key_read + 1) % KEY_QUEUE_SIZE;
    grid->key_count--;
  }
  grid->keys[(grid->key_read + grid->key_count) % KEY_QUEUE_SIZE] = key;
  grid->key_count++;
}

int ReadKey(CellGrid* grid) {
  if (grid->key_count == 0) {
    if (!grid->repaint_pending) return -1;
    grid->repaint_pending = false;
    MarkCells(grid, 0, 0, grid->rows, grid->columns);
    return 12;
  }
  int key = grid->keys[grid->key_read];
  grid->key_read = (grid->key_read + 1) % KEY_QUEUE_SIZE;
  grid->key_count--;
  return key;
}

void ClearKeys(CellGrid* grid) {
  grid->key_read = 0;
  grid->key_count = 0;
}

ScrollbarGeometry PaneScrollbar(const CellGrid* grid, int pane) {
  ScrollbarGeometry bar = {false, 0, 0, 0, 0, 0};
  const GridPane& p = grid->panes[pane];
  int v = p.rows;
  int n = grid->line_count;
  if (v <= 0 || v >= n) return bar;
  int ch = grid->cell_height;
  int spare = grid->client_width - grid->columns * grid->cell_width;
  bar.shown = true;
  bar.width = spare * 2 < grid->cell_width ? 2 * grid->cell_width : grid->cell_width;
  bar.left = grid->client_width - bar.width;
  bar.track_height = v * ch;
  long long thumb = static_cast<long long>(v) * v * ch / n;
  bar.thumb_height = static_cast<int>(thumb < ch ? ch : thumb);
  long long room = bar.track_height - bar.thumb_height;
  long long offset = room * p.first_line / (n - v);
  if (offset > room) offset = room;
  if (offset < 0) offset = 0;
  bar.thumb_offset = static_cast<int>(offset);
  return bar;
}
