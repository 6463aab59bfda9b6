#include "recordstore/answer_field.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recordstore/console.h"

namespace recordstore {
namespace {

// A stream over fixed bytes.
AnswerInput StreamOf(const std::string& bytes, size_t* position) {
  AnswerInput input;
  input.read_byte = [&bytes, position]() {
    if (*position == bytes.size()) return kEndOfBytes;
    return static_cast<int>(static_cast<unsigned char>(bytes[(*position)++]));
  };
  return input;
}

std::string AllBytesFrom32() {
  std::string bytes = "x";  // so that the blank is not a leading one
  for (int byte = 32; byte <= 255; ++byte) {
    if (byte != ',' && byte != '"') bytes.push_back(static_cast<char>(byte));
  }
  return bytes;
}

// One typed line and its answer; a stream holding the same bytes gives the
// same answer.
struct LineCase {
  std::string line;
  std::string answer;
};

TEST(AnswerFieldTest, TakesTheFieldFromALineAndFromAStream) {
  const std::string long_line(5000, 'y');
  const std::vector<LineCase> cases = {
      {"", ""},
      {"    ", ""},
      {"  x  ", "x  "},
      {"\t \tname.txt", "name.txt"},
      {"a,b", "a"},
      {",a", ""},
      {"\" a, b \"c", " a, b "},
      {"  \"open to the end, too", "open to the end, too"},
      {"\"\"", ""},
      {"a\"b\"", "a\"b\""},
      {long_line, std::string(kAnswerLimit, 'y')},
      {"\"" + long_line + "\"", std::string(kAnswerLimit, 'y')},
      {AllBytesFrom32(), AllBytesFrom32()},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(ParseAnswer(c.line), c.answer) << "line: " << c.line.substr(0, 40);
    size_t position = 0;
    AnswerInput stream = StreamOf(c.line, &position);
    EXPECT_EQ(ParseAnswer(stream), c.answer) << "stream: " << c.line.substr(0, 40);
  }
}

// Redirected input: several questions read one stream; what a field leaves
// is there for the next one.
struct StreamCase {
  std::string input;
  std::vector<std::string> answers;
};

TEST(AnswerFieldTest, SuccessiveQuestionsShareTheStream) {
  const std::vector<StreamCase> cases = {
      {"a,b\n", {"a", "b", ""}},
      {"x\r\ny\rz\nw", {"x", "y", "z", "w", ""}},
      {"\r\n\nv", {"", "", "v"}},
      {"\"q\"  ,r\n", {"q", "r"}},
      {"\"q\"  \r\nr", {"q", "r"}},
      {"\"q\" s,t\n", {"q", "s", "t"}},
      {"\"open\nnext\n", {"open", "next", ""}},
      {"  \n x \n", {"", "x "}},
      {std::string(4100, 'a') + " ,b\n", {std::string(kAnswerLimit, 'a'), "aaaa ", "b"}},
      {std::string(kAnswerLimit, 'a') + "  ,b\n", {std::string(kAnswerLimit, 'a'), "b"}},
      {"", {"", "", ""}},
  };
  for (const StreamCase& c : cases) {
    size_t position = 0;
    AnswerInput stream = StreamOf(c.input, &position);
    for (size_t i = 0; i < c.answers.size(); ++i) {
      EXPECT_EQ(ParseAnswer(stream), c.answers[i])
          << "input: " << c.input.substr(0, 40) << " question " << i + 1;
    }
  }
}

}  // namespace
}  // namespace recordstore
