#include "decrypter/decimal_value.h"

namespace decrypter {

namespace {

// Where the reading stands.
enum Phase {
  kLeadingBlanks = 0,  // only blanks so far
  kAmpersand,          // blanks and "&": a base letter may follow
  kWhiteSpace,         // past a white-space byte other than a blank
  kDigits,             // past a sign, a base prefix or a first digit
  kEnded,              // a byte that ends the number was read
};

bool IsWhiteSpace(uint8_t byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

// The digit's value, or `base` or more when the byte is no digit of it.
uint32_t DigitValue(uint8_t byte) {
  if (byte >= '0' && byte <= '9') return byte - '0';
  if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10u;
  if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10u;
  return 16;
}

// The base a letter after "&" stands for, 0 for none.
uint32_t BaseOfLetter(uint8_t byte) {
  switch (byte) {
    case 'H': case 'h': return 16;
    case 'O': case 'o': return 8;
    case 'B': case 'b': return 2;
    default: return 0;
  }
}

// In the white space before a decimal number: a sign or a digit starts it.
void StartDecimal(DecimalReading* reading, uint8_t byte) {
  reading->base = 10;
  if (byte == '+' || byte == '-') {
    reading->negative = byte == '-';
    reading->phase = kDigits;
  } else if (DigitValue(byte) < 10) {
    reading->accumulator = DigitValue(byte);
    reading->phase = kDigits;
  } else {
    reading->phase = kEnded;
  }
}

void ReadByte(DecimalReading* reading, uint8_t byte) {
  switch (reading->phase) {
    case kLeadingBlanks:
      if (byte == ' ') return;
      if (byte == '&') {
        reading->phase = kAmpersand;
      } else if (IsWhiteSpace(byte)) {
        reading->phase = kWhiteSpace;
      } else {
        StartDecimal(reading, byte);
      }
      return;
    case kAmpersand:
      // "&" without a base letter is no number at all.
      reading->base = BaseOfLetter(byte);
      reading->phase = reading->base == 0 ? kEnded : kDigits;
      return;
    case kWhiteSpace:
      if (!IsWhiteSpace(byte)) StartDecimal(reading, byte);
      return;
    case kDigits:
      if (DigitValue(byte) >= reading->base) {
        reading->phase = kEnded;
      } else {
        // Unsigned arithmetic: wraps modulo 2^32.
        reading->accumulator = reading->accumulator * reading->base + DigitValue(byte);
      }
      return;
    default:
      return;
  }
}

}  // namespace

void ContinueDecimalReading(DecimalReading* reading, const char* bytes, size_t size) {
  for (size_t i = 0; i < size && reading->phase != kEnded; ++i) {
    ReadByte(reading, static_cast<uint8_t>(bytes[i]));
  }
}

bool DecimalReadingEnded(const DecimalReading& reading) { return reading.phase == kEnded; }

int32_t DecimalReadingValue(const DecimalReading& reading) {
  uint32_t value = reading.negative ? 0u - reading.accumulator : reading.accumulator;
  return static_cast<int32_t>(value);  // two's complement, modulo 2^32
}

int32_t DecimalValue(const recordstore::ByteString& text) {
  DecimalReading reading;
  ContinueDecimalReading(&reading, text.data(), text.size());
  return DecimalReadingValue(reading);
}

}  // namespace decrypter
