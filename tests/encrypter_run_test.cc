// The encrypter end to end: the built program run with redirected standard
// input in a fresh folder, its output and files checked.
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "encrypter/random_source.h"
#include "gtest/gtest.h"
#include "test_files.h"

namespace {

using testing_files::ParseRecords;
using testing_files::ReadFile;
using testing_files::RunProgram;
using testing_files::StoredRecord;
using testing_files::TempFolder;
using testing_files::WriteFile;

constexpr size_t kBlock = 16384;

// Everything up to the first log step, with standard input redirected (no
// prompt shown, no colour bytes).
const std::string kDialogueStart =
    "Die Vernam-Verschluesselung:\r\n"
    "Hier ist die Moeglichkeit gegeben grosse Dateien nach dem Block-Chiffrier\r\n"
    "Verfahren zu verschluesseln.\r\n"
    "\r\n"
    "\r\n"
    "Log:\r\n"
    "====\r\n"
    "Oeffne Dateien...\r\n";
const std::string kDialogueSteps = "Erstelle Header...\r\nStarte Verschluesseln...\r\n";

// Sets the umask for one test and puts the old one back.
struct ScopedUmask {
  explicit ScopedUmask(mode_t mask) : old(umask(mask)) {}
  ~ScopedUmask() { umask(old); }
  mode_t old;
};

std::vector<std::string> Names(const std::vector<StoredRecord>& records) {
  std::vector<std::string> names;
  for (const StoredRecord& record : records) names.push_back(record.name);
  return names;
}

// True when `key` is the key drawn from a seed whose integer part lies
// between those of `low` and `high`.
bool DrawnFromSeedBetween(const std::string& key, double low, double high) {
  for (double seed = std::floor(low); seed <= std::floor(high); seed += 1) {
    encrypter::RandomSource source;
    encrypter::SeedRandomSource(&source, seed);
    std::string drawn(key.size(), '\0');
    encrypter::FillKey(&source, drawn.data(), drawn.size());
    if (drawn == key) return true;
  }
  return false;
}

struct SourceCase {
  size_t size;
  std::vector<size_t> block_lengths;  // container records B1, B2, ...
  size_t secondary_key_length;        // 0: no "SekKey"
  std::string nb;
  std::string glb;
};

TEST(EncrypterRunTest, WritesTheRecordSetsForEachSourceSize) {
  const SourceCase cases[] = {
      {0, {}, 0, "1", "0"},
      {1, {1}, 1, "2", "1"},
      {16383, {16383}, 16383, "2", "16383"},
      {16384, {kBlock}, 0, "2", "16384"},
      {16385, {kBlock, 1}, 1, "3", "1"},
      {2 * kBlock, {kBlock, kBlock}, 0, "3", "16384"},
      {40000, {kBlock, kBlock, 7232}, 7232, "4", "7232"},
  };
  ScopedUmask mask(027);
  for (const SourceCase& c : cases) {
    SCOPED_TRACE(c.size);
    TempFolder folder;
    const std::string source = testing_files::RandomBytes(c.size, static_cast<uint32_t>(c.size));
    WriteFile(folder.Path("data.bin"), source);
    // Stale files of the final names are replaced whole.
    WriteFile(folder.Path("data.bin.VNZ"), std::string(50000, 'z'));
    WriteFile(folder.Path("data.bin.VNS"), std::string(50000, 's'));

    double before = encrypter::Seconds();
    testing_files::RunOptions options;
    options.folder = folder.path;
    testing_files::RunResult result = RunProgram(ENCRYPTER_PATH, "data.bin\n", options);
    double after = encrypter::Seconds();

    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, kDialogueStart + kDialogueSteps + "Fertig.\r\n");
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"data.bin", "data.bin.VNS", "data.bin.VNZ"}));
    EXPECT_EQ(ReadFile(folder.Path("data.bin")), source);
    EXPECT_EQ(testing_files::FileMode(folder.Path("data.bin.VNS")), 0600);
    EXPECT_EQ(testing_files::FileMode(folder.Path("data.bin.VNZ")), 0640);

    std::vector<StoredRecord> keys = ParseRecords(ReadFile(folder.Path("data.bin.VNS")));
    std::vector<std::string> key_names = {"Head", "PriKey", "NB", "GLB"};
    if (c.secondary_key_length > 0) key_names.insert(key_names.begin() + 2, "SekKey");
    ASSERT_EQ(Names(keys), key_names);
    EXPECT_EQ(keys[0].value, "VERNAM v.1.0 Schlu");
    const std::string& primary_key = keys[1].value;
    ASSERT_EQ(primary_key.size(), kBlock);
    EXPECT_EQ(keys[keys.size() - 2].value, c.nb);
    EXPECT_EQ(keys.back().value, c.glb);
    EXPECT_TRUE(DrawnFromSeedBetween(primary_key, before + encrypter::Pi(),
                                     after + encrypter::Pi()));
    std::string secondary_key;
    if (c.secondary_key_length > 0) {
      secondary_key = keys[2].value;
      ASSERT_EQ(secondary_key.size(), c.secondary_key_length);
      double n = static_cast<double>(c.block_lengths.size());
      double pi = encrypter::Pi();
      EXPECT_TRUE(DrawnFromSeedBetween(secondary_key, (before + n * pi) + pi * pi,
                                       (after + n * pi) + pi * pi));
    }
    EXPECT_EQ((primary_key + secondary_key).find('\x01'), std::string::npos);

    const std::string container_bytes = ReadFile(folder.Path("data.bin.VNZ"));
    EXPECT_EQ(container_bytes.size(), c.size + 10 * c.block_lengths.size());
    std::vector<StoredRecord> blocks = ParseRecords(container_bytes);
    ASSERT_EQ(blocks.size(), c.block_lengths.size());
    size_t offset = 0;
    for (size_t b = 0; b < blocks.size(); ++b) {
      EXPECT_EQ(blocks[b].name, std::string("B").append(std::to_string(b + 1)));
      ASSERT_EQ(blocks[b].value.size(), c.block_lengths[b]);
      const std::string& key = blocks[b].value.size() == kBlock ? primary_key : secondary_key;
      std::string restored = blocks[b].value;
      for (size_t j = 0; j < restored.size(); ++j) restored[j] ^= key[j];
      EXPECT_EQ(restored, source.substr(offset, restored.size())) << "B" << b + 1;
      offset += restored.size();
    }
  }
}

enum class Setup { kMissing, kFolder, kNamedPipe, kTooLarge, kOrdinarySource };

struct FailureCase {
  const char* what;
  Setup setup;
  int64_t file_size_limit;
  std::string output_after_opening;  // what follows "Oeffne Dateien..."
};

TEST(EncrypterRunTest, FailureEndsLeaveExistingFilesAsTheyWere) {
  const std::string write_failed = kDialogueSteps + "Fehler beim Schreiben!\r\n";
  const FailureCase cases[] = {
      {"missing source", Setup::kMissing, -1, "Quelldatei kann nicht gelesen werden!\r\n"},
      {"folder as source", Setup::kFolder, -1, "Quelldatei kann nicht gelesen werden!\r\n"},
      // Refused, not waited on: nobody writes to the pipe.
      {"named pipe as source", Setup::kNamedPipe, -1, "Quelldatei kann nicht gelesen werden!\r\n"},
      {"source over 99999 blocks", Setup::kTooLarge, -1, "Quelldatei ist zu gross!\r\n"},
      {"write fails", Setup::kOrdinarySource, 300000, write_failed},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string source = folder.Path("data.bin");
    switch (c.setup) {
      case Setup::kMissing: break;
      case Setup::kFolder: ASSERT_EQ(mkdir(source.c_str(), 0700), 0); break;
      case Setup::kNamedPipe: ASSERT_EQ(mkfifo(source.c_str(), 0600), 0); break;
      case Setup::kTooLarge:
        WriteFile(source, "");
        testing_files::ShrinkSize(source, int64_t{99999} * 16384 + 1);  // sparse
        break;
      case Setup::kOrdinarySource: WriteFile(source, testing_files::RandomBytes(600000)); break;
    }
    const std::string old_container = testing_files::RandomBytes(1000, 2);
    const std::string old_key_file = testing_files::RandomBytes(1000, 3);
    WriteFile(folder.Path("data.bin.VNZ"), old_container);
    WriteFile(folder.Path("data.bin.VNS"), old_key_file);
    const std::vector<std::string> entries = folder.List();

    testing_files::RunOptions options;
    options.folder = folder.path;
    options.file_size_limit = c.file_size_limit;
    testing_files::RunResult result = RunProgram(ENCRYPTER_PATH, "data.bin\n", options);

    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.output, kDialogueStart + c.output_after_opening);
    EXPECT_EQ(folder.List(), entries);
    EXPECT_EQ(ReadFile(folder.Path("data.bin.VNZ")), old_container);
    EXPECT_EQ(ReadFile(folder.Path("data.bin.VNS")), old_key_file);
  }
}

}  // namespace
