// The decrypter on hand-built key files and containers: records in any
// order, values shorter or longer than the bytes they restore.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decrypter_runs.h"
#include "test_files.h"

namespace {

using testing_files::RandomBytes;
using testing_files::ReadFile;
using testing_files::RecordBytes;
using testing_files::RunResult;
using testing_files::TempFolder;
using testing_files::WriteFile;

const std::string kHead = RecordBytes("Head", "VERNAM v.1.0 Schlu");

std::string Xor(const std::string& a, const std::string& b) {
  std::string out = a;
  for (size_t j = 0; j < out.size() && j < b.size(); ++j) out[j] = static_cast<char>(a[j] ^ b[j]);
  return out;
}

// Decrypts the hand-built pair as data.bin.VNZ and data.bin.VNS; returns the
// target's bytes, "(none)" when the run did not finish.
std::string Restore(const std::string& key_file, const std::string& container) {
  TempFolder folder;
  WriteFile(folder.Path("data.bin.VNS"), key_file);
  WriteFile(folder.Path("data.bin.VNZ"), container);
  RunResult run = decrypter_runs::RunIn(folder, DECRYPTER_PATH, "data.bin.VNZ\n");
  if (run.exit_status != 0 || run.output.find("Fertig.\r\n") == std::string::npos) {
    ADD_FAILURE() << run.output;
    return "(none)";
  }
  return ReadFile(folder.Path("data.bin"));
}

TEST(DecrypterRecords, OrderOfRecordsDoesNotMatter) {
  const std::string source = RandomBytes(3 * 16384 + 500, 3);
  const std::string primary = RandomBytes(16384, 4);
  const std::string secondary = RandomBytes(500, 5);
  std::string blocks[4];
  for (int i = 0; i < 3; ++i) blocks[i] = Xor(source.substr(i * 16384, 16384), primary);
  blocks[3] = Xor(source.substr(3 * 16384), secondary);
  const std::string key_file = RecordBytes("GLB", "500") + RecordBytes("SekKey", secondary) +
                               RecordBytes("NB", "5") + kHead + RecordBytes("PriKey", primary);
  const std::string container = RecordBytes("B3", blocks[2]) + RecordBytes("B4", blocks[3]) +
                                RecordBytes("B1", blocks[0]) + RecordBytes("B2", blocks[1]);
  EXPECT_TRUE(Restore(key_file, container) == source);
}

// Byte j of a key or a record past its end is 0: every full block gives
// 16384 bytes and the final block the last block length.
TEST(DecrypterRecords, BytesPastAnEndAreZero) {
  const std::string primary = RandomBytes(16384, 6);
  const std::string short_block = RandomBytes(100, 7);
  const std::string final_block = RandomBytes(20, 8);
  const std::string secondary = RandomBytes(10, 9);
  const std::string full_block = RandomBytes(16384, 10);
  struct Case {
    std::string name;
    std::string key_file;
    std::string container;
    std::string target;
  };
  const Case cases[] = {
      {"short full block",
       kHead + RecordBytes("PriKey", primary) + RecordBytes("NB", "3") + RecordBytes("GLB", "0"),
       RecordBytes("B1", short_block) + RecordBytes("B2", ""),
       Xor(short_block, primary) + primary.substr(100)},
      {"last block length beyond both values",
       kHead + RecordBytes("SekKey", secondary) + RecordBytes("NB", "2") +
           RecordBytes("GLB", "40000"),
       RecordBytes("B1", final_block),
       Xor(secondary, final_block) + final_block.substr(10) + std::string(40000 - 20, '\0')},
      {"full last block without a secondary key",
       kHead + RecordBytes("PriKey", primary) + RecordBytes("NB", " &H2") +
           RecordBytes("GLB", "16384"),
       RecordBytes("B1", Xor(full_block, primary)), full_block},
      {"last block length below 1",
       kHead + RecordBytes("PriKey", primary) + RecordBytes("NB", "3") + RecordBytes("GLB", "-5"),
       RecordBytes("B1", primary), std::string(16384, '\0')},
      {"no block count", kHead + RecordBytes("GLB", "0"), "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string target = Restore(c.key_file, c.container);
    EXPECT_EQ(target.size(), c.target.size());
    EXPECT_TRUE(target == c.target);
  }
}

// Appends a record whose value is `size` zero bytes, without holding them in
// memory: the file is lengthened past the record's header.
void AppendZeroRecord(const std::string& path, const std::string& name, int32_t size) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << RecordBytes(name, size, "");
  }
  auto end = static_cast<int64_t>(std::filesystem::file_size(path));
  testing_files::ShrinkSize(path, end + size);
}

// Values far longer than the bytes they restore are read a block at a time:
// the run's peak memory does not grow with them.
TEST(DecrypterRecords, MemoryDoesNotGrowWithStoredLengths) {
  const int32_t kHuge = 64 << 20;
  TempFolder folder;
  const std::string key_file = folder.Path("data.bin.VNS");
  const std::string container = folder.Path("data.bin.VNZ");
  WriteFile(key_file, kHead + RecordBytes("NB", "3") + RecordBytes("GLB", "100"));
  AppendZeroRecord(key_file, "PriKey", kHuge);
  AppendZeroRecord(key_file, "SekKey", kHuge);
  WriteFile(container, "");
  AppendZeroRecord(container, "B1", kHuge);
  AppendZeroRecord(container, "B2", kHuge);
  RunResult run = decrypter_runs::RunIn(folder, DECRYPTER_PATH, "data.bin.VNZ\n");
  EXPECT_TRUE(ReadFile(folder.Path("data.bin")) == std::string(16384 + 100, '\0'));
  // The same program rejecting an empty key file, for comparison.
  TempFolder empty;
  WriteFile(empty.Path("data.bin.VNS"), "");
  RunResult baseline = decrypter_runs::RunIn(empty, DECRYPTER_PATH, "data.bin.VNZ\n");
  EXPECT_LT(run.peak_rss_kib, baseline.peak_rss_kib + 16 * 1024);
}

}  // namespace
