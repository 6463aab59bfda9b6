// The fuzz targets' entry points on their seed corpus and on every input that
// once made one of them fail (tests/regression/<target>/), so that the normal
// test run keeps them fixed. The fuzzers themselves run in CI only.
#include <dirent.h>

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

TEST(FuzzRegressionTest, ReadRecord) {
  for (const std::string& path : Inputs("read_record")) {
    const std::string input = testing_files::ReadFile(path);
    EXPECT_TRUE(fuzzing::FuzzReadRecord(Bytes(input), input.size())) << path;
  }
}

TEST(FuzzRegressionTest, Answer) {
  for (const std::string& path : Inputs("answer")) {
    const std::string input = testing_files::ReadFile(path);
    EXPECT_TRUE(fuzzing::FuzzAnswer(Bytes(input), input.size())) << path;
  }
}

TEST(FuzzRegressionTest, DecimalValue) {
  for (const std::string& path : Inputs("decimal_value")) {
    const std::string input = testing_files::ReadFile(path);
    EXPECT_TRUE(fuzzing::FuzzDecimalValue(Bytes(input), input.size())) << path;
  }
}

TEST(FuzzRegressionTest, Decryption) {
  for (const std::string& path : Inputs("decryption")) {
    const std::string input = testing_files::ReadFile(path);
    EXPECT_TRUE(fuzzing::FuzzDecryption(Bytes(input), input.size())) << path;
  }
}

}  // namespace
