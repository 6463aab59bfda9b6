// Channels: open policies, transfers at the end of a file, the end test,
// buffering against a plain model, lost writes, temporary files.
#include "recordstore/channels.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "test_files.h"

namespace recordstore {
namespace {

using testing_files::Exists;
using testing_files::FileMode;
using testing_files::RandomBytes;
using testing_files::ReadFile;
using testing_files::TempFolder;
using testing_files::WriteFile;

class ChannelsTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseAllChannels(); }
  TempFolder folder;
};

// Lowers the file-size limit for this process (SIGXFSZ ignored, so a write
// beyond it is short and then fails with EFBIG, also for root); restores it.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved);
    old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);
  }
  rlimit saved;
  void (*old_handler)(int);
};

struct PolicyCase {
  const char* label;
  OpenPolicy policy;
  std::optional<std::string> before;  // none: the file is missing
  int open_status;
  int write_status;                   // of writing "AB" at position 0
  std::optional<std::string> after;   // the file after closing; none: missing
  std::string read;                   // 4 bytes read at position 0 after writing
};

TEST_F(ChannelsTest, OpenPoliciesOnExistingAndMissingFiles) {
  const PolicyCase cases[] = {
      {"update missing", OpenPolicy::kUpdateOrCreate, std::nullopt, kStatusDone, kStatusDone,
       "AB", std::string("AB\0\0", 4)},
      {"update existing", OpenPolicy::kUpdateOrCreate, "012345", kStatusDone, kStatusDone,
       "AB2345", "AB23"},
      {"read-only missing", OpenPolicy::kReadOnly, std::nullopt, kStatusCannotOpen,
       kStatusRefused, std::nullopt, "...."},
      {"read-only existing", OpenPolicy::kReadOnly, "012345", kStatusDone, kStatusShortWrite,
       "012345", "0123"},
      {"truncate missing", OpenPolicy::kWriteWithTruncation, std::nullopt, kStatusDone,
       kStatusDone, "AB", std::string(4, '\0')},
      {"truncate existing", OpenPolicy::kWriteWithTruncation, "012345", kStatusDone,
       kStatusDone, "AB", std::string(4, '\0')},
  };
  for (const PolicyCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::string name = folder.Path(c.label);
    if (c.before) WriteFile(name, *c.before);
    ASSERT_EQ(OpenChannel(1, name, c.policy), c.open_status);
    if (c.open_status == kStatusDone) {
      int64_t kept = c.policy == OpenPolicy::kWriteWithTruncation ? 0 : c.before.value_or("").size();
      EXPECT_EQ(ReadFile(name).size(), static_cast<size_t>(kept));
      EXPECT_EQ(ChannelSize(1), kept);
      EXPECT_EQ(ChannelPosition(1), 0);
      EXPECT_EQ(AtEnd(1), kept == 0);
    }
    EXPECT_EQ(WriteBytes(1, "AB"), c.write_status);
    EXPECT_EQ(SetChannelPosition(1, 0), c.open_status == kStatusDone ? kStatusDone : kStatusRefused);
    std::string read = "....";
    ReadBytes(1, read.data(), read.size());
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(CloseAllChannels(), c.write_status == kStatusDone || c.open_status != kStatusDone);
    EXPECT_EQ(Exists(name), c.after.has_value());
    if (c.after) {
      EXPECT_EQ(ReadFile(name), *c.after);
    }
  }
}

// Update-or-create on an existing file that cannot be opened for writing
// falls back to reading it; the file is never emptied. Permission checks do
// not hold for root, so the child drops to an ordinary user first.
TEST_F(ChannelsTest, UpdateOrCreateNeverEmptiesAnUnwritableFile) {
  std::string name = folder.Path("locked");
  WriteFile(name, "kept bytes");
  ASSERT_EQ(chmod(name.c_str(), 0444), 0);
  ASSERT_EQ(chmod(folder.path.c_str(), 0755), 0);
  EXPECT_EXIT(
      {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) std::_Exit(10);
        if (OpenChannel(1, name, OpenPolicy::kUpdateOrCreate) != kStatusDone) std::_Exit(11);
        if (WriteBytes(1, "XY") != kStatusShortWrite) std::_Exit(12);
        SetChannelPosition(1, 0);
        std::string read(4, '.');
        ReadBytes(1, read.data(), read.size());
        if (read != "kept") std::_Exit(13);
        std::_Exit(CloseAllChannels() ? 14 : 0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(name), "kept bytes");

  // A folder under the name: its size cannot be measured, so the channel
  // stays not open, and nothing is created, cut or removed.
  std::string folder_name = folder.Path("a folder");
  ASSERT_EQ(mkdir(folder_name.c_str(), 0755), 0);
  WriteFile(folder_name + "/inside", "x");
  EXPECT_EQ(OpenChannel(2, folder_name, OpenPolicy::kUpdateOrCreate), kStatusRefused);
  EXPECT_TRUE(AtEnd(2));
  EXPECT_EQ(ReadFile(folder_name + "/inside"), "x");
}

TEST_F(ChannelsTest, ReadsPastTheEndZeroFillAndAdvanceByWhatIsThere) {
  std::string name = folder.Path("data");
  std::string bytes = RandomBytes(300000);
  WriteFile(name, bytes);
  ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kReadOnly), kStatusDone);
  struct Case {
    int64_t from;
    size_t size;
  };
  // Within the read-ahead, across its end, larger than it, and past the end.
  const Case cases[] = {{0, 10}, {299900, 16384}, {1000, 299500}, {299998, 4}, {400000, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    ASSERT_EQ(SetChannelPosition(1, c.from), kStatusDone);
    std::string read(c.size, 'x');
    EXPECT_EQ(ReadBytes(1, read.data(), read.size()), kStatusDone);
    size_t there = c.from >= 300000 ? 0 : std::min(c.size, static_cast<size_t>(300000 - c.from));
    std::string expected = bytes.substr(std::min<size_t>(c.from, bytes.size()), there);
    expected.resize(c.size, '\0');
    EXPECT_EQ(read, expected);
    EXPECT_EQ(ChannelPosition(1), c.from + static_cast<int64_t>(there));
    EXPECT_EQ(AtEnd(1), c.from + c.size >= 300000);
  }
  // Missing high-order bytes of an integer are 0.
  SetChannelPosition(1, 299998);
  int32_t value = -1;
  EXPECT_EQ(ReadInt32(1, &value), kStatusDone);
  EXPECT_EQ(value, static_cast<uint8_t>(bytes[299998]) | static_cast<uint8_t>(bytes[299999]) << 8);
  EXPECT_EQ(ReadBytes(1, nullptr, 0), kStatusRefused);
  EXPECT_FALSE(ChannelReadFailed(1));
}

TEST_F(ChannelsTest, IntegersAreLittleEndianAndTheEndTestKeepsTheOpeningSize) {
  std::string name = folder.Path("ints");
  WriteFile(name, "abcd");
  ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kUpdateOrCreate), kStatusDone);
  char first[3];
  ReadBytes(1, first, 3);
  EXPECT_FALSE(AtEnd(1));
  ReadBytes(1, first, 1);
  EXPECT_TRUE(AtEnd(1));  // reached, no failed read needed
  EXPECT_EQ(WriteInt32(1, -2), kStatusDone);
  EXPECT_EQ(WriteInt32(1, 0x01020304), kStatusDone);
  EXPECT_EQ(ChannelSize(1), 12);
  SetChannelPosition(1, 0);
  EXPECT_FALSE(AtEnd(1));
  SetChannelPosition(1, 6);
  EXPECT_TRUE(AtEnd(1));  // writes after opening do not move the limit
  int32_t value = 0;
  SetChannelPosition(1, 4);
  ReadInt32(1, &value);
  EXPECT_EQ(value, -2);
  EXPECT_EQ(SetChannelPosition(1, -1), kStatusShortWrite);
  EXPECT_EQ(ChannelPosition(1), 8);
  EXPECT_TRUE(CloseAllChannels());
  EXPECT_EQ(ReadFile(name), std::string("abcd\xfe\xff\xff\xff\x04\x03\x02\x01", 12));
}

// Random writes, reads and moves of every size against a plain string.
TEST_F(ChannelsTest, BufferedTransfersMatchAPlainModel) {
  std::string name = folder.Path("model");
  std::string model = RandomBytes(100000, 7);
  WriteFile(name, model);
  ASSERT_EQ(OpenChannel(1, name, OpenPolicy::kUpdateOrCreate), kStatusDone);
  std::mt19937 random(42);
  // Up to beyond the channel's buffer (1 MiB), which such writes bypass.
  const size_t sizes[] = {1, 4, 10, 16394, 70000, 262144, 400000, 1048576, 1200000};
  int64_t position = 0;
  for (int step = 0; step < 400; ++step) {
    size_t size = sizes[random() % 9] - (random() % 2);
    if (size == 0) size = 1;
    switch (random() % 4) {
      case 0: {
        position = random() % (model.size() + 1000);
        ASSERT_EQ(SetChannelPosition(1, position), kStatusDone);
        break;
      }
      case 1: {
        std::string read(size, 'x');
        ASSERT_EQ(ReadBytes(1, read.data(), size), kStatusDone);
        std::string expected = position < static_cast<int64_t>(model.size())
                                   ? model.substr(position, size)
                                   : std::string();
        position += expected.size();
        expected.resize(size, '\0');
        ASSERT_EQ(read, expected) << "step " << step;
        break;
      }
      default: {
        std::string bytes = RandomBytes(size, step);
        ASSERT_EQ(WriteBytes(1, bytes), kStatusDone);
        if (model.size() < position + size) model.resize(position + size, '\0');
        model.replace(position, size, bytes);
        position += size;
        break;
      }
    }
    ASSERT_EQ(ChannelPosition(1), position);
  }
  EXPECT_EQ(ChannelSize(1), static_cast<int64_t>(model.size()));
  EXPECT_TRUE(CloseAllChannels());
  EXPECT_TRUE(ReadFile(name) == model);
}

// A transfer is a read combined with the key, then a write of the result: sizes in
// and beyond one buffer, reads running past the end of the source, writes
// continuing a run or starting elsewhere.
TEST_F(ChannelsTest, TransfersAreAReadWithKeyThenAWrite) {
  const std::string source = RandomBytes(300000, 8);
  const std::string key = RandomBytes(1200000, 9);
  WriteFile(folder.Path("source"), source);
  ASSERT_EQ(OpenChannel(1, folder.Path("source"), OpenPolicy::kReadOnly), kStatusDone);
  ASSERT_EQ(OpenChannel(2, folder.Path("out"), OpenPolicy::kUpdateOrCreate), kStatusDone);
  struct Step {
    int64_t from;  // source position
    int64_t to;    // destination position
    size_t size;
  };
  const Step steps[] = {{0, 0, 10},         {10, 10, 16384},      {16394, 16394, 262143},
                        {0, 278537, 262144}, {299990, 540681, 20}, {310000, 540701, 5},
                        {5, 100, 300000},    {0, 300100, 1},       {7, 300101, 1200000}};
  std::string model;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.size);
    SetChannelPosition(1, step.from);
    SetChannelPosition(2, step.to);
    ASSERT_EQ(TransferXorBytes(1, 2, key.data(), step.size), kStatusDone);
    std::string expected = step.from < static_cast<int64_t>(source.size())
                               ? source.substr(step.from, step.size)
                               : std::string();
    EXPECT_EQ(ChannelPosition(1), step.from + static_cast<int64_t>(expected.size()));
    EXPECT_EQ(ChannelPosition(2), step.to + static_cast<int64_t>(step.size));
    expected.resize(step.size, '\0');
    for (size_t j = 0; j < step.size; ++j) expected[j] = static_cast<char>(expected[j] ^ key[j]);
    if (model.size() < step.to + step.size) model.resize(step.to + step.size, '\0');
    model.replace(step.to, step.size, expected);
  }
  EXPECT_TRUE(CloseAllChannels());
  EXPECT_TRUE(ReadFile(folder.Path("out")) == model);
}

TEST_F(ChannelsTest, TransfersThatCannotWrite) {
  WriteFile(folder.Path("source"), "abcdef");
  ASSERT_EQ(OpenChannel(1, folder.Path("source"), OpenPolicy::kReadOnly), kStatusDone);
  ASSERT_EQ(OpenChannel(2, folder.Path("source"), OpenPolicy::kReadOnly), kStatusDone);
  const char key[4] = {};
  // To a read-only channel: the read happens, the write is short.
  EXPECT_EQ(TransferXorBytes(1, 2, key, 4), kStatusShortWrite);
  EXPECT_EQ(ChannelPosition(1), 4);
  EXPECT_TRUE(ChannelWriteFailed(2));
  // Not open, or the same channel: nothing moves.
  EXPECT_EQ(TransferXorBytes(1, 3, key, 2), kStatusRefused);
  EXPECT_EQ(TransferXorBytes(3, 1, key, 2), kStatusRefused);
  EXPECT_EQ(TransferXorBytes(1, 1, key, 2), kStatusRefused);
  EXPECT_EQ(ChannelPosition(1), 4);
  EXPECT_EQ(ReadFile(folder.Path("source")), "abcdef");
}

TEST_F(ChannelsTest, EveryOperationOnAChannelThatIsNotOpenDoesNothing) {
  std::string missing = folder.Path("missing");
  ASSERT_EQ(OpenChannel(7, missing, OpenPolicy::kReadOnly), kStatusCannotOpen);
  for (int channel : {-1, 0, 3, 7, 254, 255}) {
    SCOPED_TRACE(channel);
    EXPECT_EQ(WriteBytes(channel, "abc"), kStatusRefused);
    EXPECT_EQ(WriteInt32(channel, 5), kStatusRefused);
    std::string destination = "....";
    EXPECT_EQ(ReadBytes(channel, destination.data(), 4), kStatusRefused);
    int32_t value = 99;
    EXPECT_EQ(ReadInt32(channel, &value), kStatusRefused);
    EXPECT_EQ(destination, "....");
    EXPECT_EQ(value, 99);
    EXPECT_EQ(SetChannelPosition(channel, 10), kStatusRefused);
    EXPECT_EQ(ChannelPosition(channel), 0);
    EXPECT_EQ(ChannelSize(channel), 0);
    EXPECT_TRUE(AtEnd(channel));
    EXPECT_EQ(SkipBytes(channel, 10), 0);
    EXPECT_FALSE(ChannelWriteFailed(channel));
    EXPECT_FALSE(DiscardChannel(channel));
    EXPECT_FALSE(CommitChannels({channel}));
  }
  EXPECT_FALSE(Exists(missing));
  for (int channel : {0, 255}) {
    EXPECT_EQ(OpenChannel(channel, folder.Path("x"), OpenPolicy::kUpdateOrCreate),
              kStatusRefused);
  }
  EXPECT_TRUE(CloseAllChannels());
}

TEST_F(ChannelsTest, OpeningAnOpenChannelLeavesItAsItWas) {
  WriteFile(folder.Path("first"), "first");
  ASSERT_EQ(OpenChannel(1, folder.Path("first"), OpenPolicy::kReadOnly), kStatusDone);
  char byte;
  ReadBytes(1, &byte, 1);
  EXPECT_EQ(OpenChannel(1, folder.Path("second"), OpenPolicy::kUpdateOrCreate), kStatusRefused);
  EXPECT_EQ(ChannelPosition(1), 1);
  EXPECT_EQ(ChannelSize(1), 5);
  EXPECT_FALSE(Exists(folder.Path("second")));
}

TEST_F(ChannelsTest, AWriteBeyondTheFileSizeLimitIsReported) {
  std::string small = folder.Path("small");
  std::string large = folder.Path("large");
  std::string bytes = RandomBytes(1 << 20);
  {
    FileSizeLimit limit(100000);
    // Buffered: the loss shows when the buffer is written out.
    ASSERT_EQ(OpenChannel(1, small, OpenPolicy::kWriteWithTruncation), kStatusDone);
    EXPECT_EQ(WriteBytes(1, bytes.data(), 150000), kStatusDone);
    // Larger than the buffer: the write itself is short.
    ASSERT_EQ(OpenChannel(2, large, OpenPolicy::kWriteWithTruncation), kStatusDone);
    EXPECT_EQ(WriteBytes(2, bytes), kStatusShortWrite);
    EXPECT_EQ(ChannelPosition(2), 100000);
    EXPECT_TRUE(ChannelWriteFailed(2));
    // Whole buffers written in the background: the loss shows at a later write.
    ASSERT_EQ(OpenChannel(3, folder.Path("runs"), OpenPolicy::kWriteWithTruncation), kStatusDone);
    int short_writes = 0;
    for (int i = 0; i < 200; ++i) {
      if (WriteBytes(3, bytes.data(), 16394) != kStatusDone) ++short_writes;
    }
    EXPECT_GT(short_writes, 0);
    EXPECT_TRUE(ChannelWriteFailed(3));
    EXPECT_FALSE(CloseAllChannels());
  }
  std::string runs;
  while (runs.size() < 100000) runs += bytes.substr(0, 16394);
  EXPECT_TRUE(ReadFile(folder.Path("runs")) == runs.substr(0, 100000));
  EXPECT_EQ(ReadFile(large), bytes.substr(0, 100000));
  EXPECT_LE(ReadFile(small).size(), 100000u);
  // A clean run afterwards reports success again.
  ASSERT_EQ(OpenChannel(1, small, OpenPolicy::kWriteWithTruncation), kStatusDone);
  EXPECT_EQ(WriteBytes(1, bytes), kStatusDone);
  EXPECT_TRUE(CloseAllChannels());
  EXPECT_TRUE(ReadFile(small) == bytes);
}

TEST_F(ChannelsTest, CommitReplacesTheFinalFilesWithTheGivenMode) {
  std::string key = folder.Path("key");
  std::string link = folder.Path("link");
  std::string target = folder.Path("target");
  WriteFile(key, "old key");
  WriteFile(target, "target");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(OpenTemporaryChannel(1, key, 0600), kStatusDone);
  ASSERT_EQ(OpenTemporaryChannel(2, link, 0640), kStatusDone);
  EXPECT_EQ(OpenTemporaryChannel(2, link, 0640), kStatusRefused);
  WriteBytes(1, "new key");
  WriteBytes(2, "new link");
  EXPECT_EQ(ReadFile(key), "old key");  // nothing shows before the commit
  EXPECT_TRUE(CommitChannels({1, 2}));
  EXPECT_TRUE(AtEnd(1));
  EXPECT_EQ(ReadFile(key), "new key");
  EXPECT_EQ(FileMode(key), 0600);
  EXPECT_EQ(ReadFile(link), "new link");
  EXPECT_EQ(FileMode(link), 0640);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(ReadFile(target), "target");
  EXPECT_EQ(folder.List(), (std::vector<std::string>{"key", "link", "target"}));
}

TEST_F(ChannelsTest, AFailedCommitLeavesTheFinalFilesAsTheyWere) {
  std::string first = folder.Path("first");
  std::string second = folder.Path("second");
  WriteFile(first, "first before");
  ASSERT_EQ(OpenTemporaryChannel(1, first, 0644), kStatusDone);
  ASSERT_EQ(OpenTemporaryChannel(2, second, 0644), kStatusDone);
  WriteBytes(1, "first after");
  {
    FileSizeLimit limit(1000);
    WriteBytes(2, RandomBytes(5000));  // buffered; fails at the commit
    EXPECT_FALSE(CommitChannels({1, 2}));
  }
  EXPECT_TRUE(AtEnd(1));
  EXPECT_EQ(ReadFile(first), "first before");
  EXPECT_EQ(folder.List(), std::vector<std::string>{"first"});
}

TEST_F(ChannelsTest, DiscardAndCloseRemoveUncommittedTemporaryFiles) {
  std::string final_name = folder.Path("final");
  WriteFile(final_name, "final");
  ASSERT_EQ(OpenTemporaryChannel(1, final_name, 0644), kStatusDone);
  WriteBytes(1, "discarded");
  EXPECT_EQ(folder.List().size(), 2u);
  EXPECT_TRUE(DiscardChannel(1));
  EXPECT_EQ(folder.List(), std::vector<std::string>{"final"});
  ASSERT_EQ(OpenTemporaryChannel(1, final_name, 0644), kStatusDone);
  WriteBytes(1, "left open");
  EXPECT_FALSE(CloseAllChannels());  // never reached the final name
  EXPECT_EQ(folder.List(), std::vector<std::string>{"final"});
  EXPECT_EQ(ReadFile(final_name), "final");
  EXPECT_EQ(OpenTemporaryChannel(1, folder.Path("no folder/x"), 0644), kStatusCannotOpen);
}

}  // namespace
}  // namespace recordstore
