// What a lookup fetches from the file: a record found behind many others
// costs their names and lengths, never their values.
#include <gtest/gtest.h>

#include <string>

#include "recordstore/channels.h"
#include "recordstore/records.h"
#include "test_files.h"

namespace recordstore {
namespace {

std::string BlockName(int number) {
  std::string name = "B";
  name += std::to_string(number);
  return name;
}

TEST(RecordLookupReadsTest, RecordsPassedOverCostOnlyTheirNamesAndLengths) {
  constexpr int kRecords = 64;
  constexpr int64_t kValueSize = 16384;
  testing_files::TempFolder folder;
  const std::string name = folder.Path("container");
  std::string file;
  for (int number = 1; number <= kRecords; ++number) {
    file += testing_files::RecordBytes(BlockName(number),
                                       testing_files::RandomBytes(kValueSize, number));
  }
  testing_files::WriteFile(name, file);
  struct Case {
    bool read_value;  // ReadRecord, else FindRecord
    int64_t fetched;
  };
  const Case cases[] = {
      {false, kRecords * 10},
      {true, kRecords * 10 + kValueSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.read_value ? "ReadRecord" : "FindRecord");
    ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kReadOnly), kStatusDone);
    const std::string last = BlockName(kRecords);
    if (c.read_value) {
      EXPECT_EQ(ReadRecord(1, last).bytes, testing_files::RandomBytes(kValueSize, kRecords));
    } else {
      EXPECT_TRUE(FindRecord(1, last).found);
    }
    EXPECT_EQ(ChannelBytesFetched(1), c.fetched);
    CloseAllChannels();
  }
}

}  // namespace
}  // namespace recordstore
