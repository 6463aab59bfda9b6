#include "recordstore/answer_field.h"

#include "recordstore/console.h"

namespace recordstore {

namespace {

constexpr int kBlank = ' ';
constexpr int kTab = '\t';
constexpr int kQuote = '"';
constexpr int kComma = ',';
constexpr int kCarriageReturn = '\r';
constexpr int kLineFeed = '\n';

int PeekByte(AnswerInput& input) {
  if (input.next == kNoByteYet) input.next = input.read_byte();
  return input.next;
}

// Uses the byte looked at; the end of the stream stays the end.
void TakeByte(AnswerInput& input) {
  if (input.next != kEndOfBytes) input.next = kNoByteYet;
}

bool IsLineEnd(int byte) { return byte == kLineFeed || byte == kCarriageReturn; }

// Takes a line end that is next: LF, CR LF or CR alone.
void TakeLineEnd(AnswerInput& input) {
  int byte = PeekByte(input);
  TakeByte(input);
  if (byte == kCarriageReturn && PeekByte(input) == kLineFeed) TakeByte(input);
}

// After a field that ended without its delimiter: passes over blanks and one
// comma or line end; any other byte stays.
void TakeDelimiter(AnswerInput& input) {
  while (PeekByte(input) == kBlank) TakeByte(input);
  int byte = PeekByte(input);
  if (byte == kComma) {
    TakeByte(input);
  } else if (IsLineEnd(byte)) {
    TakeLineEnd(input);
  }
}

}  // namespace

ByteString ParseAnswer(AnswerInput& input) {
  ByteString field;
  while (PeekByte(input) == kBlank || PeekByte(input) == kTab) TakeByte(input);
  bool quoted = PeekByte(input) == kQuote;
  if (quoted) TakeByte(input);
  for (;;) {
    int byte = PeekByte(input);
    if (byte == kEndOfBytes) return field;
    if (IsLineEnd(byte)) {
      TakeLineEnd(input);
      return field;
    }
    if (static_cast<int>(field.size()) == kAnswerLimit) {
      // A quoted field that is complete just here keeps its closing quote.
      if (quoted && byte == kQuote) TakeByte(input);
      TakeDelimiter(input);
      return field;
    }
    TakeByte(input);
    if (quoted ? byte == kQuote : byte == kComma) {
      if (quoted) TakeDelimiter(input);
      return field;
    }
    field.push_back(static_cast<char>(byte));
  }
}

ByteString ParseAnswer(const ByteString& line) {
  size_t position = 0;
  AnswerInput input;
  input.read_byte = [&line, &position]() {
    if (position == line.size()) return kEndOfBytes;
    return static_cast<int>(static_cast<unsigned char>(line[position++]));
  };
  return ParseAnswer(input);
}

}  // namespace recordstore
