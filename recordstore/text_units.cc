#include "recordstore/text_units.h"

#include <cwchar>

namespace recordstore {

namespace {

constexpr unsigned kContinuationLow = 0x80;
constexpr unsigned kContinuationHigh = 0xBF;

unsigned ByteOf(const ByteString& text, size_t position) {
  return static_cast<unsigned char>(text[position]);
}

// The sequence length a lead byte announces and the range its second byte
// must fall in (excluding overlong forms, surrogates and values past
// U+10FFFF); length 0 for a byte that leads no multi-byte character.
struct LeadByte {
  size_t length;
  unsigned second_low;
  unsigned second_high;
};

LeadByte Lead(unsigned byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {2, kContinuationLow, kContinuationHigh};
  if (byte == 0xE0) return {3, 0xA0, kContinuationHigh};
  if (byte == 0xED) return {3, kContinuationLow, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, kContinuationLow, kContinuationHigh};
  if (byte == 0xF0) return {4, 0x90, kContinuationHigh};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, kContinuationLow, kContinuationHigh};
  if (byte == 0xF4) return {4, kContinuationLow, 0x8F};
  return {0, 0, 0};
}

}  // namespace

size_t MultiByteLength(const ByteString& text, size_t position, bool* cut_short) {
  if (cut_short != nullptr) *cut_short = false;
  if (position >= text.size()) return 0;
  LeadByte lead = Lead(ByteOf(text, position));
  if (lead.length == 0) return 0;
  for (size_t i = 1; i < lead.length; ++i) {
    if (position + i == text.size()) {
      if (cut_short != nullptr) *cut_short = true;
      return 0;
    }
    unsigned byte = ByteOf(text, position + i);
    unsigned low = i == 1 ? lead.second_low : kContinuationLow;
    unsigned high = i == 1 ? lead.second_high : kContinuationHigh;
    if (byte < low || byte > high) return 0;
  }
  return lead.length;
}

size_t UnitLength(const ByteString& text, size_t position) {
  if (position >= text.size()) return 0;
  size_t length = MultiByteLength(text, position, nullptr);
  return length == 0 ? 1 : length;
}

size_t PreviousUnitStart(const ByteString& text, size_t position) {
  size_t start = 0;
  for (size_t at = 0; at < position && at < text.size(); at += UnitLength(text, at)) start = at;
  return start;
}

size_t UnitsBefore(const ByteString& text, size_t position) {
  size_t count = 0;
  for (size_t at = 0; at < position && at < text.size(); at += UnitLength(text, at)) ++count;
  return count;
}

int UnitWidth(const ByteString& text, size_t position) {
  size_t length = MultiByteLength(text, position, nullptr);
  if (length == 0) return 1;
  unsigned first = ByteOf(text, position);
  // Decoded by hand: the locale need not be a UTF-8 one for the layout.
  unsigned code_point = first & (0x7Fu >> length);
  for (size_t i = 1; i < length; ++i) code_point = (code_point << 6) | (ByteOf(text, position + i) & 0x3F);
  int width = wcwidth(static_cast<wchar_t>(code_point));
  return width < 0 ? 1 : width;
}

}  // namespace recordstore
