// Byte strings: length-counted, zero bytes are ordinary content.
#ifndef RECORDSTORE_BYTES_H_
#define RECORDSTORE_BYTES_H_

#include <cstdint>
#include <string>

namespace recordstore {

// Keys, blocks, names and answers. Never measured by searching for a zero byte.
using ByteString = std::string;

// The byte at a 1-based position; 0 for a position outside the string.
inline uint8_t ByteAt(const ByteString& bytes, int64_t position) {
  if (position < 1 || position > static_cast<int64_t>(bytes.size())) return 0;
  return static_cast<uint8_t>(bytes[static_cast<size_t>(position - 1)]);
}

// The decimal text of an integer: digits, with a leading "-" when negative.
inline ByteString DecimalText(int64_t value) { return std::to_string(value); }

}  // namespace recordstore

#endif  // RECORDSTORE_BYTES_H_
