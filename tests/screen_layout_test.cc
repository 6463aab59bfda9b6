#include "recordstore/screen_layout.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace recordstore {
namespace {

const char kWide[] = "\xe6\x97\xa5";  // two cells
const char kUmlaut[] = "\xc3\xa4";    // one cell

class ScreenLayoutTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr); }
};

struct ColumnCase {
  int column;
  std::string text;
  int columns;
  int end_column;
};

TEST_F(ScreenLayoutTest, FollowsTheColumnThroughWrittenText) {
  const std::vector<ColumnCase> cases = {
      {0, "abc", 10, 3},
      {2, "ab\rc", 10, 1},
      {0, "x\r\n", 10, 0},
      {3, "\t", 10, 8},
      {8, "\t", 10, 9},
      {0, "a\b", 10, 0},
      {0, "0123456789", 10, 10},  // waits at the margin
      {0, "0123456789x", 10, 1},
      {9, kWide, 10, 2},
      {0, std::string(kUmlaut) + kWide, 10, 3},
      {0, "\a", 10, 0},
  };
  for (const ColumnCase& c : cases) {
    EXPECT_EQ(AdvanceColumn(c.column, c.text, c.columns), c.end_column)
        << testing::PrintToString(c.text) << " from " << c.column;
  }
}

struct RedrawCase {
  int start_column;
  int cursor_row;
  std::string text;
  size_t cursor;
  int columns;
  std::string bytes;
  int new_cursor_row;
};

TEST_F(ScreenLayoutTest, RedrawRepaintsBlanksAndPlacesTheCursor) {
  const std::string row_of_34(34, 'x');
  const std::string letters25 = "abcdefghijklmnopqrstuvwxy";
  const std::vector<RedrawCase> cases = {
      {6, 0, "abc", 3, 40, "\r\x1b[6Cabc\x1b[J\r\x1b[9C", 0},
      {6, 0, "abc", 1, 40, "\r\x1b[6Cabc\x1b[J\r\x1b[7C", 0},
      // Filling the row: on to the next one before erasing.
      {6, 0, row_of_34, 34, 40, "\r\x1b[6C" + row_of_34 + "\r\n\x1b[J\r", 1},
      {6, 0, row_of_34, 33, 40, "\r\x1b[6C" + row_of_34 + "\r\n\x1b[J\x1b[1A\r\x1b[39C", 0},
      // Back from a lower row; the freed rows are blanked.
      {6, 1, "ab", 1, 40, "\x1b[1A\r\x1b[6Cab\x1b[J\r\x1b[7C", 0},
      {0, 0, letters25, 5, 10, "\r" + letters25 + "\x1b[J\x1b[2A\r\x1b[5C", 0},
      {0, 0, letters25, 12, 10, "\r" + letters25 + "\x1b[J\x1b[1A\r\x1b[2C", 1},
      // A wide character that does not fit wraps whole.
      {8, 0, std::string("a") + kWide, 1, 10, std::string("\r\x1b[8Ca") + kWide + "\x1b[J\r", 1},
      {0, 0, std::string(kUmlaut) + kWide + "b", 5, 10,
       std::string("\r") + kUmlaut + kWide + "b\x1b[J\r\x1b[3C", 0},
      // Nothing left: everything from the start on is blanked.
      {5, 2, "", 0, 40, "\x1b[2A\r\x1b[5C\x1b[J\r\x1b[5C", 0},
  };
  for (const RedrawCase& c : cases) {
    LinePlacement placement{c.start_column, c.cursor_row};
    EXPECT_EQ(BuildRedraw(c.text, c.cursor, c.columns, &placement), c.bytes)
        << testing::PrintToString(c.text) << " cursor " << c.cursor;
    EXPECT_EQ(placement.cursor_row, c.new_cursor_row) << testing::PrintToString(c.text);
    EXPECT_EQ(placement.start_column, c.start_column);
  }
}

TEST_F(ScreenLayoutTest, MapsConsoleColourBitsToSgr) {
  EXPECT_EQ(ColourSequence(4, 0), "\x1b[31;40m");
  EXPECT_EQ(ColourSequence(12, 0), "\x1b[91;40m");
  EXPECT_EQ(ColourSequence(1, 7), "\x1b[34;47m");
  EXPECT_EQ(ColourSequence(2 + 8, 6 + 8), "\x1b[92;103m");
  EXPECT_EQ(ColourSequence(0x14, 0x1F), "\x1b[31;107m");  // low four bits only
}

}  // namespace
}  // namespace recordstore
