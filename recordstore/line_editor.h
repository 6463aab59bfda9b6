// The edit line of a question and what each key does to it. Always inserts;
// positions and moves count units (see text_units.h).
#ifndef RECORDSTORE_LINE_EDITOR_H_
#define RECORDSTORE_LINE_EDITOR_H_

#include <cstddef>

#include "recordstore/bytes.h"
#include "recordstore/keys.h"

namespace recordstore {

struct EditLineState {
  ByteString text;    // the typed bytes, no line end
  size_t cursor = 0;  // byte offset 0..text.size(), on a unit boundary
};

struct EditOutcome {
  bool finished = false;  // Enter: the line is complete, cursor at its end
  bool bell = false;      // Delete at the end: ring the bell, nothing else
};

// Applies `key` to the line. `columns` is the terminal's width, the distance
// of Up and Down. Returns what the caller must do besides redrawing.
EditOutcome EditLine(EditLineState* line, const Key& key, int columns);

}  // namespace recordstore

#endif  // RECORDSTORE_LINE_EDITOR_H_
