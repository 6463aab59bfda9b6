#include "recordstore/keys.h"

#include "recordstore/text_units.h"

namespace recordstore {

namespace {

constexpr unsigned char kByteBackspace = 0x08;
constexpr unsigned char kByteTab = 0x09;
constexpr unsigned char kByteLineFeed = 0x0A;
constexpr unsigned char kByteCarriageReturn = 0x0D;
constexpr unsigned char kByteEscape = 0x1B;
constexpr unsigned char kByteBlank = 0x20;
constexpr unsigned char kByteDeleteCharacter = 0x7F;
constexpr unsigned char kCsiIntroducer = '[';
constexpr unsigned char kSs3Introducer = 'O';

// ECMA-48 control sequence byte classes.
bool IsParameterByte(unsigned byte) { return byte >= 0x30 && byte <= 0x3F; }
bool IsIntermediateByte(unsigned byte) { return byte >= 0x20 && byte <= 0x2F; }
bool IsFinalByte(unsigned byte) { return byte >= 0x40 && byte <= 0x7E; }

size_t Found(KeyCode code, size_t length, Key* key) {
  key->code = code;
  key->text.clear();
  return length;
}

// The keys with a letter as the final byte, in CSI without parameters and in
// SS3.
KeyCode LetterKey(unsigned final_byte) {
  switch (final_byte) {
    case 'A': return KeyCode::kUp;
    case 'B': return KeyCode::kDown;
    case 'C': return KeyCode::kRight;
    case 'D': return KeyCode::kLeft;
    case 'H': return KeyCode::kHome;
    case 'F': return KeyCode::kEnd;
    default: return KeyCode::kIgnored;
  }
}

// The keys "ESC [ n ~".
KeyCode TildeKey(const ByteString& parameters) {
  if (parameters == "1" || parameters == "7") return KeyCode::kHome;
  if (parameters == "4" || parameters == "8") return KeyCode::kEnd;
  if (parameters == "3") return KeyCode::kDelete;
  return KeyCode::kIgnored;
}

// "ESC [" parameters, intermediates, final byte; bytes from position 2.
size_t DecodeCsi(const ByteString& bytes, bool more_may_follow, Key* key) {
  size_t at = 2;
  while (at < bytes.size() && IsParameterByte(static_cast<unsigned char>(bytes[at]))) ++at;
  size_t parameters_end = at;
  while (at < bytes.size() && IsIntermediateByte(static_cast<unsigned char>(bytes[at]))) ++at;
  if (at == bytes.size()) return more_may_follow ? 0 : Found(KeyCode::kIgnored, at, key);
  unsigned final_byte = static_cast<unsigned char>(bytes[at]);
  // A byte that cannot be in the sequence breaks it off; it is a key again.
  if (!IsFinalByte(final_byte)) return Found(KeyCode::kIgnored, at, key);
  KeyCode code = KeyCode::kIgnored;
  if (at == parameters_end) {
    ByteString parameters = bytes.substr(2, parameters_end - 2);
    if (parameters.empty()) code = LetterKey(final_byte);
    if (final_byte == '~') code = TildeKey(parameters);
  }
  return Found(code, at + 1, key);
}

size_t DecodeEscape(const ByteString& bytes, bool more_may_follow, Key* key) {
  if (bytes.size() == 1) return more_may_follow ? 0 : Found(KeyCode::kEscape, 1, key);
  unsigned second = static_cast<unsigned char>(bytes[1]);
  if (second == kCsiIntroducer) {
    if (bytes.size() == 2 && !more_may_follow) return Found(KeyCode::kEscape, 1, key);
    return DecodeCsi(bytes, more_may_follow, key);
  }
  if (second == kSs3Introducer) {
    if (bytes.size() == 2) return more_may_follow ? 0 : Found(KeyCode::kEscape, 1, key);
    unsigned final_byte = static_cast<unsigned char>(bytes[2]);
    if (!IsFinalByte(final_byte)) return Found(KeyCode::kIgnored, 2, key);
    return Found(LetterKey(final_byte), 3, key);
  }
  // Esc followed by another key.
  return Found(KeyCode::kEscape, 1, key);
}

}  // namespace

size_t DecodeKey(const ByteString& bytes, bool more_may_follow, Key* key) {
  unsigned first = static_cast<unsigned char>(bytes[0]);
  switch (first) {
    case kByteCarriageReturn:
    case kByteLineFeed: return Found(KeyCode::kEnter, 1, key);
    case kByteTab: return Found(KeyCode::kTab, 1, key);
    case kByteBackspace:
    case kByteDeleteCharacter: return Found(KeyCode::kBackspace, 1, key);
    case kByteEscape: return DecodeEscape(bytes, more_may_follow, key);
    default: break;
  }
  if (first < kByteBlank) return Found(KeyCode::kIgnored, 1, key);
  bool cut_short = false;
  size_t length = MultiByteLength(bytes, 0, &cut_short);
  if (cut_short && more_may_follow) return 0;
  if (length == 0) length = 1;
  key->code = KeyCode::kCharacter;
  key->text = bytes.substr(0, length);
  return length;
}

}  // namespace recordstore
