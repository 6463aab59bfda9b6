// Where text lands on a terminal that wraps at its right margin, and the
// control sequences that repaint an edit line spanning several rows or set
// the colour.
#ifndef RECORDSTORE_SCREEN_LAYOUT_H_
#define RECORDSTORE_SCREEN_LAYOUT_H_

#include <cstddef>

#include "recordstore/bytes.h"

namespace recordstore {

// The column the cursor stands in after `text` is written from `column` on a
// terminal `columns` wide: CR and LF go to column 0, BS one back, TAB to the
// next multiple of 8, other control bytes stay; a character that does not fit
// wraps. Returns 0..columns; `columns` means the cursor waits at the right
// margin for the next character to wrap.
int AdvanceColumn(int column, const ByteString& text, int columns);

// A line of text drawn from a start column, and the row its cursor was left
// in, counted from the line's first row.
struct LinePlacement {
  int start_column = 0;  // 0..columns-1
  int cursor_row = 0;
};

// The row of the cell before which the byte offset `cursor` of `text` stands,
// counted from the first row; the end of a line filling its last row lies on
// the next row.
int CursorRow(const ByteString& text, size_t cursor, int columns, int start_column);

// One write that repaints `text` from placement->start_column: it moves from
// the cursor row given to the start, writes the text, blanks every cell after
// it, and puts the cursor before byte offset `cursor`. Sets
// placement->cursor_row to the row the cursor is left in.
ByteString BuildRedraw(const ByteString& text, size_t cursor, int columns,
                       LinePlacement* placement);

// The SGR sequence for a console colour pair: the low four bits of each
// number are the colour bits 1 blue, 2 green, 4 red, 8 bright (foreground 4
// gives 31, 12 gives 91; backgrounds 40-47 and 100-107).
ByteString ColourSequence(int foreground, int background);

}  // namespace recordstore

#endif  // RECORDSTORE_SCREEN_LAYOUT_H_
