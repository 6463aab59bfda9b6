// Fuzz target: the answer field taken from arbitrary redirected standard
// input, question after question until it is exhausted, and from the same
// bytes as one typed line.
#include <string>

#include "fuzz/fuzz_entries.h"
#include "recordstore/answer_field.h"
#include "recordstore/console.h"

namespace fuzzing {

namespace {

using recordstore::ByteString;

// An answer is at most kAnswerLimit consecutive bytes of the input, and a
// line end is never part of it.
bool IsAnswerOf(const ByteString& answer, const ByteString& input) {
  return answer.size() <= static_cast<size_t>(recordstore::kAnswerLimit) &&
         answer.find_first_of("\r\n") == ByteString::npos &&
         input.find(answer) != ByteString::npos;
}

}  // namespace

bool FuzzAnswer(const uint8_t* data, size_t size) {
  const ByteString bytes(reinterpret_cast<const char*>(data), size);
  size_t position = 0;
  recordstore::AnswerInput input;
  input.read_byte = [&]() {
    return position == size ? recordstore::kEndOfBytes : static_cast<int>(data[position++]);
  };
  // Every question takes at least one byte while bytes remain.
  size_t questions = 0;
  while (position < size || input.next >= 0) {
    if (++questions > size) return false;
    if (!IsAnswerOf(recordstore::ParseAnswer(input), bytes)) return false;
  }
  if (!recordstore::ParseAnswer(input).empty()) return false;
  return IsAnswerOf(recordstore::ParseAnswer(bytes), bytes);
}

}  // namespace fuzzing
