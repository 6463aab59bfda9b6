// The decimal value of a text: how the key file's counts "NB" and "GLB" are
// read. Blanks first; then either "&H", "&O" or "&B" (either case) and digits
// of base 16, 8 or 2, or white space, an optional sign and decimal digits.
// Reading stops at the first byte that is no digit of the base. Numbers that
// do not fit 32 bits wrap modulo 2^32, like a 32-bit accumulator: "4294967297"
// is 1, "2147483648" is -2147483648, "&HFFFFFFFF" is -1.
#ifndef DECRYPTER_DECIMAL_VALUE_H_
#define DECRYPTER_DECIMAL_VALUE_H_

#include <cstddef>
#include <cstdint>

#include "recordstore/bytes.h"

namespace decrypter {

// A text read so far, so that a long record value can be read in pieces.
// Start with a value-initialised state.
struct DecimalReading {
  int phase = 0;  // see decimal_value.cc
  uint32_t base = 10;
  bool negative = false;
  uint32_t accumulator = 0;
};

// Reads the next `size` bytes of the text into the reading.
void ContinueDecimalReading(DecimalReading* reading, const char* bytes, size_t size);
// True when no later byte can change the value.
bool DecimalReadingEnded(const DecimalReading& reading);
// The value of the text read so far, as if it ended there; 0 when it holds
// no digit.
int32_t DecimalReadingValue(const DecimalReading& reading);

// The value of a whole text.
int32_t DecimalValue(const recordstore::ByteString& text);

}  // namespace decrypter

#endif  // DECRYPTER_DECIMAL_VALUE_H_
