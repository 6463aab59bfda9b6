// The cipher's one operation: bytes combined by exclusive or.
#ifndef RECORDSTORE_XOR_BYTES_H_
#define RECORDSTORE_XOR_BYTES_H_

#include <cstddef>
#include <cstdint>

namespace recordstore {

// output[j] = data[j] ^ key[j] for j in [0, size). `output` may be `data`.
inline void XorBytes(char* output, const char* data, const char* key, size_t size) {
  for (size_t j = 0; j < size; ++j) {
    output[j] = static_cast<char>(static_cast<uint8_t>(data[j]) ^ static_cast<uint8_t>(key[j]));
  }
}

}  // namespace recordstore

#endif  // RECORDSTORE_XOR_BYTES_H_
