#include "recordstore/line_editor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace recordstore {
namespace {

struct EditCase {
  std::string text;
  size_t cursor;
  Key key;
  std::string edited_text;
  size_t edited_cursor;
  bool bell = false;
  bool finished = false;
};

Key Press(KeyCode code) { return Key{code, ""}; }
Key Type(const std::string& text) { return Key{KeyCode::kCharacter, text}; }

constexpr int kColumns = 5;

TEST(LineEditorTest, AppliesAKeyToLineAndCursor) {
  const std::string ae = "\xc3\xa4";  // one unit of two bytes
  const std::vector<EditCase> cases = {
      {"", 0, Type("a"), "a", 1},
      {"ac", 1, Type("b"), "abc", 2},
      {"ac", 1, Type(ae), "a" + ae + "c", 3},
      {"a", 1, Type("\xff"), "a\xff", 2},
      {"abc", 3, Press(KeyCode::kTab), "abc     ", 8},
      {"abcdefgh", 8, Press(KeyCode::kTab), "abcdefgh        ", 16},
      {"ab", 0, Press(KeyCode::kTab), "        ab", 8},
      {ae + "bc", 4, Press(KeyCode::kTab), ae + "bc     ", 9},
      {"abc", 3, Press(KeyCode::kBackspace), "ab", 2},
      {"abc", 0, Press(KeyCode::kBackspace), "abc", 0},
      {"a" + ae, 3, Press(KeyCode::kBackspace), "a", 1},
      {"abc", 1, Press(KeyCode::kDelete), "ac", 1},
      {ae + "b", 0, Press(KeyCode::kDelete), "b", 0},
      {"abc", 3, Press(KeyCode::kDelete), "abc", 3, true},
      {"abc", 2, Press(KeyCode::kEscape), "", 0},
      {"abc", 2, Press(KeyCode::kHome), "abc", 0},
      {"abc", 1, Press(KeyCode::kEnd), "abc", 3},
      {"abc", 0, Press(KeyCode::kLeft), "abc", 0},
      {"abc", 3, Press(KeyCode::kRight), "abc", 3},
      {"a" + ae, 3, Press(KeyCode::kLeft), "a" + ae, 1},
      {"a" + ae, 1, Press(KeyCode::kRight), "a" + ae, 3},
      {"0123456789", 7, Press(KeyCode::kUp), "0123456789", 2},
      {"0123456789", 4, Press(KeyCode::kUp), "0123456789", 4},
      {"0123456789", 5, Press(KeyCode::kDown), "0123456789", 10},
      {"0123456789", 6, Press(KeyCode::kDown), "0123456789", 6},
      {ae + ae + ae + ae + ae + "x", 11, Press(KeyCode::kUp), ae + ae + ae + ae + ae + "x", 2},
      {"abc", 1, Press(KeyCode::kEnter), "abc", 3, false, true},
      {"abc", 1, Press(KeyCode::kIgnored), "abc", 1},
  };
  for (const EditCase& c : cases) {
    EditLineState line{c.text, c.cursor};
    EditOutcome outcome = EditLine(&line, c.key, kColumns);
    std::string shown = testing::PrintToString(c.text) + " at " + std::to_string(c.cursor) +
                        " key " + std::to_string(static_cast<int>(c.key.code));
    EXPECT_EQ(line.text, c.edited_text) << shown;
    EXPECT_EQ(line.cursor, c.edited_cursor) << shown;
    EXPECT_EQ(outcome.bell, c.bell) << shown;
    EXPECT_EQ(outcome.finished, c.finished) << shown;
  }
}

}  // namespace
}  // namespace recordstore
