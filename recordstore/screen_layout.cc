#include "recordstore/screen_layout.h"

#include "recordstore/text_units.h"

namespace recordstore {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kBackspace = '\b';
constexpr char kTab = '\t';
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDeleteCharacter = 0x7F;
constexpr int kTabStop = 8;
constexpr char kControlSequence[] = "\x1b[";
constexpr char kEraseBelow[] = "\x1b[J";

struct Cell {
  int row;
  int column;
};

// Places a character `width` cells wide at `at`, wrapping when it does not
// fit; returns where it lands and moves `at` behind it.
Cell Place(Cell* at, int width, int columns) {
  if (at->column + width > columns && at->column > 0) *at = {at->row + 1, 0};
  Cell placed = *at;
  at->column += width;
  return placed;
}

// The cell before which offset `cursor` stands, and the end of the text.
// Returns true when the text fills its last row: the terminal then keeps the
// cursor at the margin, and the end lies at the start of the next row.
bool Lay(const ByteString& text, size_t cursor, int columns, int start_column, Cell* cursor_cell,
         Cell* end) {
  Cell at = {0, start_column};
  *cursor_cell = {-1, 0};
  for (size_t position = 0; position < text.size(); position += UnitLength(text, position)) {
    Cell placed = Place(&at, UnitWidth(text, position), columns);
    if (position == cursor) *cursor_cell = placed;
  }
  bool at_margin = at.column >= columns;
  if (at_margin) at = {at.row + 1, 0};
  *end = at;
  if (cursor_cell->row < 0) *cursor_cell = at;
  return at_margin;
}

constexpr int kColourBits = 0x0F;
constexpr int kBrightBit = 8;
constexpr int kForegroundBase = 30;
constexpr int kBrightForegroundBase = 90;
constexpr int kBackgroundBase = 40;
constexpr int kBrightBackgroundBase = 100;

// The colour bits (1 blue, 2 green, 4 red) as an SGR colour index (1 red,
// 2 green, 4 blue), plus the base for normal or bright.
int SgrColour(int colour, int base, int bright_base) {
  colour &= kColourBits;
  int index = ((colour & 1) << 2) | (colour & 2) | ((colour & 4) >> 2);
  return ((colour & kBrightBit) != 0 ? bright_base : base) + index;
}

ByteString Move(int count, char final_byte) {
  if (count <= 0) return ByteString();
  return kControlSequence + DecimalText(count) + final_byte;
}

}  // namespace

int AdvanceColumn(int column, const ByteString& text, int columns) {
  Cell at = {0, column};
  size_t position = 0;
  while (position < text.size()) {
    char byte = text[position];
    unsigned value = static_cast<unsigned char>(byte);
    if (byte == kCarriageReturn || byte == kLineFeed) {
      at.column = 0;
    } else if (byte == kBackspace) {
      if (at.column > 0) at.column = (at.column >= columns ? columns : at.column) - 1;
    } else if (byte == kTab) {
      int next = (at.column / kTabStop + 1) * kTabStop;
      at.column = at.column >= columns - 1 ? at.column : (next < columns ? next : columns - 1);
    } else if (value >= kFirstPrintable && value != kDeleteCharacter) {
      Place(&at, UnitWidth(text, position), columns);
      position += UnitLength(text, position);
      continue;
    }
    ++position;
  }
  return at.column;
}

ByteString ColourSequence(int foreground, int background) {
  return kControlSequence + DecimalText(SgrColour(foreground, kForegroundBase, kBrightForegroundBase)) +
         ";" + DecimalText(SgrColour(background, kBackgroundBase, kBrightBackgroundBase)) + "m";
}

int CursorRow(const ByteString& text, size_t cursor, int columns, int start_column) {
  Cell cursor_cell, end;
  Lay(text, cursor, columns, start_column, &cursor_cell, &end);
  return cursor_cell.row;
}

ByteString BuildRedraw(const ByteString& text, size_t cursor, int columns,
                       LinePlacement* placement) {
  Cell cursor_cell, end;
  bool at_margin = Lay(text, cursor, columns, placement->start_column, &cursor_cell, &end);
  ByteString out = Move(placement->cursor_row, 'A');
  out += kCarriageReturn;
  out += Move(placement->start_column, 'C');
  out += text;
  // Erasing at the margin would hit the last character: go on to the next
  // row first.
  if (at_margin) out += "\r\n";
  out += kEraseBelow;
  out += Move(end.row - cursor_cell.row, 'A');
  out += kCarriageReturn;
  out += Move(cursor_cell.column, 'C');
  placement->cursor_row = cursor_cell.row;
  return out;
}

}  // namespace recordstore

