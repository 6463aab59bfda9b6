// Units of typed text: a valid UTF-8 character of 2 to 4 bytes is one unit,
// every other byte is a unit of its own. Cursor moves, deletion and the
// screen work in units; the bytes themselves are never changed.
#ifndef RECORDSTORE_TEXT_UNITS_H_
#define RECORDSTORE_TEXT_UNITS_H_

#include <cstddef>

#include "recordstore/bytes.h"

namespace recordstore {

// The length of the UTF-8 character of 2 to 4 bytes at `position`. Returns 0
// when the bytes there are no such character; when the text ends inside one
// that may still be completed, returns 0 and sets *cut_short (if given).
size_t MultiByteLength(const ByteString& text, size_t position, bool* cut_short);

// The length of the unit at `position` (1 to 4); 0 at the end.
size_t UnitLength(const ByteString& text, size_t position);

// The start of the unit that ends at `position` (a unit boundary); 0 at 0.
size_t PreviousUnitStart(const ByteString& text, size_t position);

// The number of units in text[0, position).
size_t UnitsBefore(const ByteString& text, size_t position);

// The screen cells the unit at `position` takes: wcwidth of its character
// in the current locale; 1 for a byte that is no character there.
int UnitWidth(const ByteString& text, size_t position);

}  // namespace recordstore

#endif  // RECORDSTORE_TEXT_UNITS_H_
