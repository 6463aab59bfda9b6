// The fuzz targets' entry points on their seed corpus and on every input that
// once made one of them fail (tests/regression/<target>/), so that the normal
// test run keeps them fixed. The fuzzers themselves run in CI only.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/fuzz_entries.h"
#include "test_files.h"

namespace {

// The files of fuzz/corpus/<target> and tests/regression/<target>.
std::vector<std::string> Inputs(const std::string& target) {
  std::vector<std::string> paths;
  for (const std::string& folder : {std::string(TESTS_SOURCE_DIR) + "/../fuzz/corpus/" + target,
                                    std::string(TESTS_SOURCE_DIR) + "/regression/" + target}) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) continue;
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') paths.push_back(folder + "/" + entry->d_name);
    }
    closedir(dir);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

const uint8_t* Bytes(const std::string& input) {
  return reinterpret_cast<const uint8_t*>(input.data());
}

// Every input of `target` through its entry point.
void Replay(const std::string& target, bool (*entry)(const uint8_t*, size_t)) {
  for (const std::string& path : Inputs(target)) {
    const std::string input = testing_files::ReadFile(path);
    EXPECT_TRUE(entry(Bytes(input), input.size())) << path;
  }
}

TEST(FuzzRegressionTest, ReadRecord) { Replay("read_record", fuzzing::FuzzReadRecord); }
TEST(FuzzRegressionTest, Answer) { Replay("answer", fuzzing::FuzzAnswer); }
TEST(FuzzRegressionTest, DecimalValue) { Replay("decimal_value", fuzzing::FuzzDecimalValue); }
TEST(FuzzRegressionTest, Decryption) { Replay("decryption", fuzzing::FuzzDecryption); }

// A real key file for a 1-byte source ("Head", "PriKey", "SekKey", "NB",
// "GLB"), cut short, with its container: at every offset outside the 16384
// key bytes of "PriKey" and at every 7th inside them (where every cut reads
// alike). Cut inside "Head" the header test fails and no target is made; cut
// after it, nothing is restored and the target is empty.
// hostile_files_test.cc runs some of these cuts through the decrypter itself.
TEST(FuzzRegressionTest, DecryptionOfAKeyFileCutAtEveryOffset) {
  testing_files::TempFolder made;
  testing_files::WriteFile(made.Path("data"), "Q");
  testing_files::RunOptions options;
  options.folder = made.path;
  ASSERT_EQ(testing_files::RunProgram(ENCRYPTER_PATH, "data\n", options).exit_status, 0);
  const std::string key_file = testing_files::ReadFile(made.Path("data.VNS"));
  const std::string container = testing_files::ReadFile(made.Path("data.VNZ"));
  const size_t header_size = 28;
  const std::string target = fuzzing::ScratchFolder("decryption") + "/data";
  const size_t key_start = header_size + 10;
  const size_t key_end = key_start + 16384;
  for (size_t cut = 0; cut <= key_file.size(); ++cut) {
    if (cut > key_start && cut < key_end && cut % 7 != 0) continue;
    std::string input = {static_cast<char>(cut & 0xFF), static_cast<char>(cut >> 8)};
    input += key_file.substr(0, cut) + container;
    struct stat st;
    const bool holds = fuzzing::FuzzDecryption(Bytes(input), input.size());
    const bool target_there = stat(target.c_str(), &st) == 0;
    const int64_t restored = cut == key_file.size() ? 1 : 0;
    if (!holds || target_there != (cut >= header_size) ||
        (target_there && st.st_size != restored)) {
      ADD_FAILURE() << "cut at " << cut;
      break;
    }
  }
}

}  // namespace
