// Fuzz target: the decimal value of an arbitrary text, whole and read in
// pieces.
#include <string>

#include "decrypter/decimal_value.h"
#include "fuzz/fuzz_entries.h"

namespace fuzzing {

bool FuzzDecimalValue(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int32_t value = decrypter::DecimalValue(text);
  // In pieces cut where the text's own bytes say, as a long record value is
  // read: the same value, and once the reading has ended no later byte
  // changes it.
  decrypter::DecimalReading reading;
  size_t at = 0;
  bool stable = true;
  int32_t ended_value = 0;
  bool ended = false;
  while (at < size) {
    size_t piece = std::min<size_t>(size - at, 1 + data[at] % 7);
    decrypter::ContinueDecimalReading(&reading, text.data() + at, piece);
    at += piece;
    if (ended) stable = stable && decrypter::DecimalReadingValue(reading) == ended_value;
    if (!ended && decrypter::DecimalReadingEnded(reading)) {
      ended = true;
      ended_value = decrypter::DecimalReadingValue(reading);
    }
  }
  // A byte that is no digit, sign, white space or base prefix ends any text
  // without changing its value.
  return stable && decrypter::DecimalReadingValue(reading) == value &&
         decrypter::DecimalValue(text + "x") == value;
}

}  // namespace fuzzing
