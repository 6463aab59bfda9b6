// The final block's lookup: tried where the encrypter puts the final block,
// it must come to what a lookup from the start of the container finds, and
// the restored bytes must be those of the plain run of lookups by name.
#include <gtest/gtest.h>

#include <string>

#include "decrypter/decryption.h"
#include "recordstore/channels.h"
#include "recordstore/records.h"
#include "test_files.h"

namespace decrypter {
namespace {

using testing_files::RandomBytes;
using testing_files::ReadFile;
using testing_files::RecordBytes;
using testing_files::TempFolder;
using testing_files::WriteFile;

constexpr int kReferenceChannel = 4;
constexpr int32_t kLastLength = 500;
constexpr int32_t kBlockCount = 4;  // B1 and B2 full, B3 the final block

const std::string kPrimary = RandomBytes(16384, 21);
const std::string kSecondary = RandomBytes(kLastLength, 22);
const std::string kKeyFile =
    RecordBytes("Head", "VERNAM v.1.0 Schlu") + RecordBytes("PriKey", kPrimary) +
    RecordBytes("SekKey", kSecondary) + RecordBytes("NB", std::to_string(kBlockCount)) +
    RecordBytes("GLB", std::to_string(kLastLength));

std::string Block(uint32_t seed) { return RandomBytes(16384, seed); }

std::string BlockName(int number) {
  std::string name = "B";
  name += std::to_string(number);
  return name;
}

// The restored bytes as the run of lookups by name gives them: the final
// block looked up from the start, then every full block from where the
// lookup before stopped; bytes past a value's end are 0.
std::string ReferenceRestore(const std::string& container) {
  std::string target;
  EXPECT_EQ(recordstore::OpenChannel(kReferenceChannel, container,
                                     recordstore::OpenPolicy::kReadOnly),
            recordstore::kStatusDone);
  recordstore::RecordValue final_block =
      recordstore::ReadRecord(kReferenceChannel, BlockName(kBlockCount - 1));
  for (int i = 1; i <= kBlockCount - 2; ++i) {
    recordstore::RecordValue block =
        recordstore::ReadRecord(kReferenceChannel, BlockName(i));
    for (int j = 1; j <= 16384; ++j) {
      target += static_cast<char>(recordstore::ByteAt(block, j) ^ static_cast<uint8_t>(kPrimary[j - 1]));
    }
  }
  for (int j = 1; j <= kLastLength; ++j) {
    target += static_cast<char>(recordstore::ByteAt(final_block, j) ^
                                static_cast<uint8_t>(kSecondary[j - 1]));
  }
  recordstore::CloseAllChannels();
  return target;
}

// The decrypter's steps on the container; the target's bytes, or "" when a
// step failed (its end in *failed_end).
struct Restoration {
  std::string target;
  StepEnd failed_end = StepEnd::kDone;
  int64_t fetched_by_first_lookup = 0;
};

Restoration Restore(const TempFolder& folder, const std::string& container) {
  Restoration result;
  WriteFile(folder.Path("key"), kKeyFile);
  recordstore::OpenChannel(kContainerChannel, container, recordstore::OpenPolicy::kReadOnly);
  recordstore::OpenChannel(kKeyFileChannel, folder.Path("key"), recordstore::OpenPolicy::kReadOnly);
  static KeyFile keys;
  EXPECT_TRUE(HeaderMatches());
  EXPECT_EQ(ReadKeyFile(&keys), StepEnd::kDone);
  FinalBlock final_block;
  StepEnd end = FindFinalBlock(keys, &final_block);
  result.fetched_by_first_lookup = recordstore::ChannelBytesFetched(kContainerChannel);
  if (end == StepEnd::kDone) {
    EXPECT_EQ(recordstore::OpenTemporaryChannel(kTargetChannel, folder.Path("target"), 0600),
              recordstore::kStatusDone);
    end = RestoreFullBlocks(keys, &final_block);
  }
  if (end == StepEnd::kDone) end = RestoreFinalBlock(keys, final_block);
  if (end == StepEnd::kDone && recordstore::CommitChannels({kTargetChannel})) {
    result.target = ReadFile(folder.Path("target"));
  }
  result.failed_end = end;
  recordstore::CloseAllChannels();
  return result;
}

TEST(DecrypterFinalBlock, FirstLookupReadsOneNameAndLength) {
  TempFolder folder;
  const std::string container = folder.Path("container");
  WriteFile(container, RecordBytes("B1", Block(1)) + RecordBytes("B2", Block(2)) +
                           RecordBytes("B3", RandomBytes(kLastLength, 3)));
  Restoration restored = Restore(folder, container);
  EXPECT_EQ(restored.fetched_by_first_lookup, 10);
  EXPECT_TRUE(restored.target == ReferenceRestore(container));
}

// Containers where a record named like the final block stands where the
// encrypter puts it, but the lookup from the start finds another, or where
// the records before it are not in line.
TEST(DecrypterFinalBlock, SameBytesAsTheLookupFromTheStart) {
  const std::string b1 = Block(1);
  const std::string b2 = Block(2);
  const std::string last = RandomBytes(kLastLength, 3);
  const std::string decoy = Block(4);
  struct Case {
    std::string name;
    std::string container;
  };
  const Case cases[] = {
      {"in place",
       RecordBytes("B1", b1) + RecordBytes("B2", b2) + RecordBytes("B3", last)},
      {"an earlier record bears its name",
       RecordBytes("B1", b1) + RecordBytes("B3", decoy) + RecordBytes("B3", last) +
           RecordBytes("B2", b2)},
      {"the record before it holds it in its value, the real one follows",
       RecordBytes("B1", b1) + RecordBytes("B2", b2 + RecordBytes("B3", decoy)) +
           RecordBytes("B3", last)},
      {"a record after it bears the first block's name",
       RecordBytes("B1", b1) + RecordBytes("B2", b2) + RecordBytes("B3", last) +
           RecordBytes("B1", decoy)},
      {"out of order",
       RecordBytes("B3", last) + RecordBytes("B1", b1) + RecordBytes("B2", b2)},
      {"a short and a long full block, in line up to it",
       RecordBytes("B1", b1.substr(0, 100)) + RecordBytes("B2", b2 + decoy.substr(0, 16284)) +
           RecordBytes("B3", last)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string container = folder.Path("container");
    WriteFile(container, c.container);
    const std::string expected = ReferenceRestore(container);
    ASSERT_EQ(expected.size(), 2u * 16384 + kLastLength);
    Restoration restored = Restore(folder, container);
    EXPECT_EQ(restored.failed_end, StepEnd::kDone);
    EXPECT_TRUE(restored.target == expected);
  }
}

// A final block's name only inside another record's value: no lookup from the
// start finds it, and the container is damaged.
TEST(DecrypterFinalBlock, NameInsideAValueIsNoRecord) {
  TempFolder folder;
  const std::string container = folder.Path("container");
  WriteFile(container, RecordBytes("B1", Block(1)) +
                           RecordBytes("B2", Block(2) + RecordBytes("B3", Block(4))));
  Restoration restored = Restore(folder, container);
  EXPECT_EQ(restored.failed_end, StepEnd::kContainerDamaged);
  EXPECT_EQ(restored.target, "");
  EXPECT_FALSE(testing_files::Exists(folder.Path("target")));
}

}  // namespace
}  // namespace decrypter
