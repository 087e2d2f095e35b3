#pragma once
// The character-cell screen as the text viewer sees it: rows x columns cells
// of (UTF-16 character, attribute), a text cursor, a queue of key codes and
// the scroll figures the window draws its scrollbars from. The window layer
// (cell_screen) owns one, paints it and feeds its queue; no platform header.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Cell {
  uint16_t character;   // 0 = blank
  uint8_t attribute;    // (colour pair << 1) | bright
};

const int KEY_QUEUE_SIZE = 64;

// The panes the view shows, for the scrollbars and the mouse.
struct GridPane {
  int top_row;      // first screen row of the pane
  int rows;         // visible rows, 0 when the pane is not shown
  int first_line;   // first visible line
};

struct CellGrid {
  int rows = 1, columns = 1;
  int cell_width = 8, cell_height = 8;
  int client_width = 8, client_height = 8;   // pixels of the control's client area
  std::vector<Cell> cells;                    // rows x columns, row by row
  uint8_t drawing_attribute = 0;
  uint8_t clearing_attribute = 0;
  int cursor_row = 0, cursor_column = 0;

  int keys[KEY_QUEUE_SIZE] = {};
  int key_read = 0, key_count = 0;

  // Scroll figures, set by the view on every full redraw.
  GridPane panes[2] = {{1, 0, 0}, {0, 0, 0}};
  int split_row = 0;          // divider row of a split view, 0 with one pane
  int line_count = 0;
  int top_rows = 1, bottom_rows = 1;

  bool repaint_pending = false;
  bool full_redraw = false;   // while set, marking cells does nothing

  // Set by the window: repaint a block of cells (row, column, rows, columns).
  void (*invalidate)(void* context, int row, int column, int rows, int columns) = nullptr;
  void* invalidate_context = nullptr;
  // Set by the view: redraw everything after a size change.
  void (*resize_handler)(void* context) = nullptr;
  void* resize_context = nullptr;
};

// Sets the grid size (each at least 1), all cells blank, cursor at (0, 0).
// Returns false, leaving no cells, when the memory cannot be had.
bool ResizeGrid(CellGrid* grid, int rows, int columns);
Cell GridCell(const CellGrid* grid, int row, int column);
void MoveGridCursor(CellGrid* grid, int row, int column);
// Writes UTF-8 text at the cursor in the drawing attribute, one cell per
// character, stopping at the row's end; the cursor moves past what was written.
void WriteGridText(CellGrid* grid, const char* text, size_t length);
void WriteGridString(CellGrid* grid, const char* text);
// Clears from the cursor to the row's end with the clearing attribute.
void ClearToRowEnd(CellGrid* grid);
// Asks the window to repaint a block of cells (nothing during a full redraw).
void MarkCells(CellGrid* grid, int row, int column, int rows, int columns);
void BeginFullRedraw(CellGrid* grid);
// Ends a full redraw by marking the whole grid once.
void EndFullRedraw(CellGrid* grid);

// Appends a key code; when 64 are queued the oldest is dropped.
void PushKey(CellGrid* grid, int key);
// The next key code, or -1 when none is queued; with an empty queue and a
// repaint pending, clears the flag, marks the grid and returns 12 (redraw).
int ReadKey(CellGrid* grid);
void ClearKeys(CellGrid* grid);

// One character of UTF-8 as the grid shows it: valid 2-, 3- and 4-byte
// sequences decode (overlong forms and surrogates do not), 5- and 6-byte
// sequences show as "_", any other byte shows as the character of its value.
struct DecodedChar {
  uint32_t code;   // characters above U+FFFF are kept whole here
  int length;      // bytes taken, at least 1
};
DecodedChar DecodeGridChar(const unsigned char* text, size_t length);
// The 16-bit cell value for a decoded character.
uint16_t CellCharacter(uint32_t code);

// Scrollbar of a pane in pixels, relative to the pane's top: shown when the
// pane's rows v are above 0 and below the line count n.
struct ScrollbarGeometry {
  bool shown;
  int left;            // x of the bar's left edge
  int width;           // one cell, two when the spare width is under half a cell
  int track_height;    // v x cell height
  int thumb_offset;
  int thumb_height;
};
ScrollbarGeometry PaneScrollbar(const CellGrid* grid, int pane);
