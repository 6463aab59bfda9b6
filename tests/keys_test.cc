#include "recordstore/keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace recordstore {
namespace {

struct KeyCase {
  std::string bytes;
  bool more_may_follow;
  size_t used;  // 0: wait for more
  KeyCode code;
};

TEST(KeysTest, DecodesTheFirstKeyOfTheBytes) {
  const KeyCode kWait = KeyCode::kIgnored;
  const std::vector<KeyCase> cases = {
      {"\r", true, 1, KeyCode::kEnter},
      {"\nx", true, 1, KeyCode::kEnter},
      {"\t", true, 1, KeyCode::kTab},
      {"\x7f", true, 1, KeyCode::kBackspace},
      {"\b", true, 1, KeyCode::kBackspace},
      {"a", true, 1, KeyCode::kCharacter},
      {" ", true, 1, KeyCode::kCharacter},
      {"\x01", true, 1, KeyCode::kIgnored},
      {std::string(1, '\0'), true, 1, KeyCode::kIgnored},
      // Esc alone only once nothing follows in time; Esc before another key.
      {"\x1b", true, 0, kWait},
      {"\x1b", false, 1, KeyCode::kEscape},
      {"\x1bx", true, 1, KeyCode::kEscape},
      {"\x1b\x1b[A", true, 1, KeyCode::kEscape},
      {"\x1b[", true, 0, kWait},
      {"\x1b[", false, 1, KeyCode::kEscape},
      {"\x1bO", true, 0, kWait},
      {"\x1bO", false, 1, KeyCode::kEscape},
      // The sequences of the editing keys.
      {"\x1b[A", true, 3, KeyCode::kUp},
      {"\x1b[B", true, 3, KeyCode::kDown},
      {"\x1b[C", true, 3, KeyCode::kRight},
      {"\x1b[Dx", true, 3, KeyCode::kLeft},
      {"\x1bOA", true, 3, KeyCode::kUp},
      {"\x1bOB", true, 3, KeyCode::kDown},
      {"\x1bOC", true, 3, KeyCode::kRight},
      {"\x1bOD", true, 3, KeyCode::kLeft},
      {"\x1b[H", true, 3, KeyCode::kHome},
      {"\x1bOH", true, 3, KeyCode::kHome},
      {"\x1b[1~", true, 4, KeyCode::kHome},
      {"\x1b[7~", true, 4, KeyCode::kHome},
      {"\x1b[F", true, 3, KeyCode::kEnd},
      {"\x1bOF", true, 3, KeyCode::kEnd},
      {"\x1b[4~", true, 4, KeyCode::kEnd},
      {"\x1b[8~", true, 4, KeyCode::kEnd},
      {"\x1b[3~", true, 4, KeyCode::kDelete},
      // Split and unknown sequences are taken whole.
      {"\x1b[3", true, 0, kWait},
      {"\x1b[3", false, 3, KeyCode::kIgnored},
      {"\x1b[1;5", true, 0, kWait},
      {"\x1b[1;5C", true, 6, KeyCode::kIgnored},
      {"\x1b[15~", true, 5, KeyCode::kIgnored},
      {"\x1b[200~", true, 6, KeyCode::kIgnored},
      {"\x1b[ q", true, 4, KeyCode::kIgnored},
      {"\x1bOP", true, 3, KeyCode::kIgnored},
      {"\x1b[1\rx", true, 3, KeyCode::kIgnored},
      // UTF-8 characters are one key; other bytes single ones.
      {"\xc3\xa4x", true, 2, KeyCode::kCharacter},
      {"\xe6\x97\xa5", true, 3, KeyCode::kCharacter},
      {"\xf0\x9f\x98\x80", true, 4, KeyCode::kCharacter},
      {"\xc3", true, 0, kWait},
      {"\xe6\x97", true, 0, kWait},
      {"\xe6\x97", false, 1, KeyCode::kCharacter},
      {"\xc3x", true, 1, KeyCode::kCharacter},
      {"\xc0\x80", true, 1, KeyCode::kCharacter},
      {"\xed\xa0\x80", true, 1, KeyCode::kCharacter},
      {"\xa4", true, 1, KeyCode::kCharacter},
      {"\xff", true, 1, KeyCode::kCharacter},
  };
  for (const KeyCase& c : cases) {
    Key key;
    size_t used = DecodeKey(c.bytes, c.more_may_follow, &key);
    std::string shown = testing::PrintToString(c.bytes) + (c.more_may_follow ? " more" : " end");
    EXPECT_EQ(used, c.used) << shown;
    if (used == 0) continue;
    EXPECT_EQ(key.code, c.code) << shown;
    EXPECT_EQ(key.text, c.code == KeyCode::kCharacter ? c.bytes.substr(0, used) : "") << shown;
  }
}

}  // namespace
}  // namespace recordstore
