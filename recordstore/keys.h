// Key presses decoded from the bytes a terminal sends: control bytes, ESC
// sequences (CSI and SS3) and UTF-8 characters.
#ifndef RECORDSTORE_KEYS_H_
#define RECORDSTORE_KEYS_H_

#include <cstddef>

#include "recordstore/bytes.h"

namespace recordstore {

enum class KeyCode {
  kIgnored,    // a key the editor does not know, or a sequence it ignores
  kEnter,
  kCharacter,  // one byte 32..126 or 128..255, or one UTF-8 character
  kTab,
  kBackspace,
  kDelete,
  kEscape,
  kHome,
  kEnd,
  kLeft,
  kRight,
  kUp,
  kDown,
};

struct Key {
  KeyCode code = KeyCode::kIgnored;
  ByteString text;  // the character's bytes, for kCharacter only
};

// How long a key's remaining bytes may take after its first ones, e.g. after
// ESC before it counts as the Esc key alone.
constexpr int kKeyFollowUpMs = 50;

// Decodes the key at the start of `bytes` (not empty). Returns the number of
// bytes it takes (at least 1) and sets *key. Returns 0 when the bytes begin a
// key that is not complete yet and `more_may_follow`; called again without
// `more_may_follow` (none came in time) the incomplete start is resolved: ESC
// alone, or before a lone "[" or "O", is the Esc key; a cut CSI or SS3
// sequence is ignored whole; a cut UTF-8 character is a single byte.
size_t DecodeKey(const ByteString& bytes, bool more_may_follow, Key* key);

}  // namespace recordstore

#endif  // RECORDSTORE_KEYS_H_
