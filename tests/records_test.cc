// Records: the exact bytes written, the name normal form, the two-pass
// lookup and files cut short inside a record.
#include "recordstore/records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recordstore/channels.h"
#include "test_files.h"

namespace recordstore {
namespace {

using testing_files::RandomBytes;
using testing_files::ReadFile;
using testing_files::SetByte;
using testing_files::ShrinkSize;
using testing_files::TempFolder;
using testing_files::WriteFile;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes.push_back(static_cast<char>(value));
  return bytes;
}

class RecordsTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseAllChannels(); }

  // Writes the records to a new file and returns its name.
  std::string MakeFile(const std::vector<std::pair<std::string, std::string>>& records) {
    std::string name = folder.Path("records" + std::to_string(files++));
    EXPECT_EQ(OpenChannel(9, name, OpenPolicy::kWriteWithTruncation), kStatusDone);
    for (const auto& [record_name, value] : records) WriteRecord(9, record_name, value);
    EXPECT_TRUE(CloseAllChannels());
    return name;
  }

  TempFolder folder;
  int files = 0;
};

TEST_F(RecordsTest, RecordsAreWrittenByteExactAndReadBack) {
  const std::string key = RandomBytes(16384);
  const std::string large = RandomBytes(100000);
  struct Case {
    std::string name;
    std::string value;
    std::string bytes;
    bool found_again;  // a lookup by the same name finds it
  };
  const Case cases[] = {
      {"Head", "VERNAM v.1.0 Schlu",
       Bytes({0x48, 0x65, 0x61, 0x64, 0x20, 0x20, 0x12, 0, 0, 0}) + "VERNAM v.1.0 Schlu", true},
      {"GLB", DecimalText(16384),
       Bytes({0x47, 0x4C, 0x42, 0x20, 0x20, 0x20, 5, 0, 0, 0, 0x31, 0x36, 0x33, 0x38, 0x34}),
       true},
      {"PriKey", key, "PriKey" + Bytes({0x00, 0x40, 0, 0}) + key, true},
      {"B1", large, "B1    " + Bytes({0xA0, 0x86, 0x01, 0}) + large, true},
      {"NB", "", "NB    " + Bytes({0, 0, 0, 0}), true},
      {"", "v", "      " + Bytes({1, 0, 0, 0}) + "v", true},
      {"B12345", Bytes({0, 7, 0}), "B12345" + Bytes({3, 0, 0, 0, 0, 7, 0}), true},
      {"B123456", "x", "B12345" + Bytes({1, 0, 0, 0}) + "x", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string name = MakeFile({{c.name, c.value}});
    EXPECT_TRUE(ReadFile(name) == c.bytes);
    ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kReadOnly), kStatusDone);
    RecordValue value = ReadRecord(1, c.name);
    EXPECT_EQ(value.length, c.found_again ? static_cast<int32_t>(c.value.size()) : 0);
    EXPECT_TRUE(value.bytes == (c.found_again ? c.value : ""));
    EXPECT_EQ(FindRecord(1, c.name).found, c.found_again);
    CloseAllChannels();
  }
}

TEST(NameNormalFormTest, UpperCasesAndTrimsOnlyBlanksAndTrailingZeros) {
  const std::pair<std::string, std::string> cases[] = {
      {"PriKey", "PRIKEY"},
      {"  nb  ", "NB"},
      {std::string("NB\0 \0", 5), "NB"},
      {std::string("\0NB", 3), std::string("\0NB", 3)},
      {std::string("N\0B", 3), std::string("N\0B", 3)},
      {"\tB1", "\tB1"},
      {"B 1", "B 1"},
      {"\xe4\xfc", "\xe4\xfc"},
      {"{az}", "{AZ}"},
      {std::string(6, '\0'), ""},
      {"", ""},
  };
  for (const auto& [name, form] : cases) EXPECT_EQ(NameNormalForm(name), form) << name;
}

TEST_F(RecordsTest, LookupsSearchOnFromThePositionThenFromTheStart) {
  const std::vector<std::pair<std::string, std::string>> records = {
      {"B1", "one"}, {"B2", "two"}, {"B3", "three"}, {"NB", "nb"}, {"GLB", "glb"},
      {"B2", "again"}};
  std::vector<int64_t> boundary = {0};  // offset of each record start, then the end
  for (const auto& record : records) {
    boundary.push_back(boundary.back() + 10 + static_cast<int64_t>(record.second.size()));
  }
  std::string name = MakeFile(records);
  struct Case {
    int start;  // record index where the lookup begins (6: the end)
    const char* wanted;
    const char* value;  // nullptr: not found
    int after;          // record index where the position stands afterwards
  };
  const Case cases[] = {
      {0, "B1", "one", 1},     {1, "B2", "two", 2},     {2, "B3", "three", 3},
      {3, "B1", "one", 1},     // out of order: on to the end, then from the start
      {2, "ZZ", nullptr, 2},   // absent, from the middle: back where it began
      {0, "ZZ", nullptr, 6},   // absent, from the start: at the end
      {2, "B2", "again", 6},   // duplicates: the first at or after the start
      {6, "B2", "two", 2},     // from the end: the one nearest the start
      {5, "NB", "nb", 4},      {0, " nb", "nb", 4},     {0, "gLb ", "glb", 5},
      {6, "", "", 6},          // from the end only the empty name matches
      {0, "B", nullptr, 6},
  };
  ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kReadOnly), kStatusDone);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + " " + c.wanted);
    SetChannelPosition(1, boundary[c.start]);
    RecordValue value = ReadRecord(1, c.wanted);
    EXPECT_EQ(value.bytes, c.value != nullptr ? c.value : "");
    EXPECT_EQ(value.length, static_cast<int32_t>(value.bytes.size()));
    EXPECT_EQ(ChannelPosition(1), boundary[c.after]);
    EXPECT_EQ(AtEnd(1), c.after == 6);
    // The same search without reading the value ends in the same place.
    SetChannelPosition(1, boundary[c.start]);
    RecordPlace place = FindRecord(1, c.wanted);
    EXPECT_EQ(place.found, c.value != nullptr);
    EXPECT_EQ(ChannelPosition(1), boundary[c.after]);
    if (c.value != nullptr) {
      EXPECT_EQ(place.length, static_cast<int32_t>(value.bytes.size()));
      EXPECT_EQ(place.value_offset, boundary[c.after] - place.length);
    }
  }
}

TEST_F(RecordsTest, FilesCutShortReadAsFarAsTheyGo) {
  // "Head" at 0 (28 bytes), "GLB" at 28: name 28-33, length 34-37, value 38-42.
  const std::string base = MakeFile({{"Head", "VERNAM v.1.0 Schlu"}, {"GLB", "16384"}});
  struct Case {
    const char* label;
    int64_t size;                            // cut to this many bytes
    std::vector<std::pair<int, int>> bytes;  // then set these bytes
    const char* wanted;
    int32_t length;
    std::string held;
    bool found;
    int64_t after;  // the position afterwards
  };
  const std::string whole = ReadFile(base);
  const Case cases[] = {
      {"inside the value", 41, {}, "GLB", 5, "163", true, 41},
      {"inside the length", 36, {{35, 1}}, "GLB", 261, "", true, 36},
      {"right after the name", 34, {}, "GLB", 0, "", true, 34},
      {"inside the name", 31, {}, "GLB", 0, "", true, 31},
      {"inside the name, other wanted", 31, {}, "NB", 0, "", false, 31},
      {"length beyond the file", 43, {{37, 0x7F}, {36, 0xFF}, {35, 0xFF}, {34, 0xFF}}, "GLB",
       0x7FFFFFFF, "16384", true, 43},
      {"passed over, beyond the file", 43, {{37, 0x7F}}, "ZZ", 0, "", false, 43},
      {"negative length, matched", 43, {{37, 0xFF}}, "GLB", 0, "", true, 38},
      // The next name is read right after a negative length: from Head's value.
      {"negative length, passed over", 43, {{9, 0xFF}}, "vernam", 0x312E7620,
       whole.substr(20), true, 43},
      {"empty file", 0, {}, "", 0, "", true, 0},
      {"empty file, other wanted", 0, {}, "Head", 0, "", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string name = folder.Path(c.label);
    WriteFile(name, ReadFile(base));
    ShrinkSize(name, c.size);
    for (auto [offset, byte] : c.bytes) SetByte(name, offset, static_cast<uint8_t>(byte));
    ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kReadOnly), kStatusDone);
    RecordValue value = ReadRecord(1, c.wanted);
    EXPECT_EQ(value.length, c.length);
    EXPECT_EQ(value.bytes, c.held);
    EXPECT_EQ(ChannelPosition(1), c.after);
    EXPECT_EQ(AtEnd(1), c.after == c.size);
    SetChannelPosition(1, 0);
    EXPECT_EQ(FindRecord(1, c.wanted).found, c.found);
    EXPECT_EQ(ChannelPosition(1), c.after);
    CloseAllChannels();
  }
}

TEST_F(RecordsTest, RecordsOnAChannelThatIsNotOpen) {
  WriteRecord(4, "Head", "value");
  EXPECT_EQ(folder.List().size(), 0u);
  for (const char* wanted : {"", "Head"}) {
    RecordValue value = ReadRecord(4, wanted);
    EXPECT_EQ(value.length, 0);
    EXPECT_TRUE(value.bytes.empty());
  }
  EXPECT_FALSE(FindRecord(4, "Head").found);
}

TEST_F(RecordsTest, UpdateOrCreateOverwritesFromTheStartAndKeepsTheRest) {
  std::string name = folder.Path("existing");
  WriteFile(name, std::string(40, 'z'));
  ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kUpdateOrCreate), kStatusDone);
  WriteRecord(1, "NB", "12");
  EXPECT_TRUE(CloseAllChannels());
  EXPECT_EQ(ReadFile(name), "NB    " + Bytes({2, 0, 0, 0}) + "12" + std::string(28, 'z'));
}

}  // namespace
}  // namespace recordstore
