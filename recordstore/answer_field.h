// The answer field: the part of a typed line, or of redirected standard
// input, that a question hands back. Leading blanks and tabs are skipped; a
// field that starts with a double quote runs to the next double quote (both
// dropped), any other field runs to the first comma; a field ends after
// kAnswerLimit bytes. In a stream a line end (LF, CR LF or CR alone) also ends
// the field.
#ifndef RECORDSTORE_ANSWER_FIELD_H_
#define RECORDSTORE_ANSWER_FIELD_H_

#include <functional>

#include "recordstore/bytes.h"

namespace recordstore {

// Values of AnswerInput::next besides a byte 0..255.
constexpr int kNoByteYet = -2;    // nothing looked at yet
constexpr int kEndOfBytes = -1;   // the stream is exhausted, for good

// A byte stream as the answer field reads it: the byte it looked at but did
// not use waits in `next` for the next question.
struct AnswerInput {
  std::function<int()> read_byte;  // the stream's next byte, or kEndOfBytes
  int next = kNoByteYet;
};

// The field from a typed line (which holds no line end); the rest of the line
// is dropped. Returns 0 to kAnswerLimit bytes.
ByteString ParseAnswer(const ByteString& line);

// The field from a stream. Takes the field and its delimiter (comma or line
// end; after a quoted or cut field also the blanks before it) and leaves the
// rest. Returns 0 to kAnswerLimit bytes; empty once the stream is exhausted.
ByteString ParseAnswer(AnswerInput& input);

}  // namespace recordstore

#endif  // RECORDSTORE_ANSWER_FIELD_H_
