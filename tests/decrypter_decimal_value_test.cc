// The decimal value of a text, as the decrypter reads "NB" and "GLB".
#include "decrypter/decimal_value.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string text;
  int32_t value;
};

TEST(DecimalValue, Table) {
  const Case cases[] = {
      {"", 0},
      {"   ", 0},
      {"7232", 7232},
      {"  16384", 16384},
      {"0042", 42},
      {"12ab34", 12},
      {"12 34", 12},
      {"1.5", 1},
      {"-17", -17},
      {"+17", 17},
      {"- 17", 0},
      {"+-1", 0},
      {"--1", 0},
      {"abc", 0},
      {" \t\n\v\f\r 9", 9},
      {"\t -3", -3},
      {std::string("\0" "5", 2), 0},
      {std::string("5\0" "5", 3), 5},
      // Base prefixes, either case; reading stops at the first non-digit.
      {"&H1F", 31},
      {"&hff", 255},
      {"  &HaBc", 0xABC},
      {"&H1G2", 1},
      {"&O17", 15},
      {"&o78", 7},
      {"&B101", 5},
      {"&b1021", 2},
      {"&H", 0},
      {"&", 0},
      {"&X12", 0},
      {"&H-1", 0},
      {"\t&H10", 0},
      {"& H10", 0},
      // Beyond 32 bits the value wraps modulo 2^32.
      {"2147483647", 2147483647},
      {"2147483648", -2147483647 - 1},
      {"-2147483648", -2147483647 - 1},
      {"4294967295", -1},
      {"4294967297", 1},
      {"99999999999999999999", 1661992959},
      {"&HFFFFFFFF", -1},
      {"&H100000005", 5},
      {"&B11111111111111111111111111111111", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decrypter::DecimalValue(c.text), c.value) << '"' << c.text << '"';
  }
}

// Read in pieces, a text gives the value it gives whole.
TEST(DecimalValue, PiecesGiveTheWholeValue) {
  const std::string texts[] = {"   &h7fff", "  \t-123456789x", "&B", "  12"};
  for (const std::string& text : texts) {
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      decrypter::DecimalReading reading;
      decrypter::ContinueDecimalReading(&reading, text.data(), cut);
      decrypter::ContinueDecimalReading(&reading, text.data() + cut, text.size() - cut);
      EXPECT_EQ(decrypter::DecimalReadingValue(reading), decrypter::DecimalValue(text))
          << '"' << text << "\" cut at " << cut;
    }
  }
}

}  // namespace
