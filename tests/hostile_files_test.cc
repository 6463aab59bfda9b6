// Hostile key files and containers through the real decrypter: every run
// ends in bounded time and memory, with the end it documents: huge and
// negative record lengths in tiny files, huge counts, names with zero bytes,
// and a key file cut at each offset where its structure changes.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

using testing_files::RandomBytes;
using testing_files::ReadFile;
using testing_files::RecordBytes;
using testing_files::RunOptions;
using testing_files::RunProgram;
using testing_files::RunResult;
using testing_files::TempFolder;
using testing_files::WriteFile;

constexpr int32_t kHuge = 2147483647;  // 2^31-1
constexpr int64_t kMemoryLimitKib = 64 * 1024;
constexpr double kTimeLimitSeconds = 20;
constexpr char kInput[] = "data.VNZ\nx\ny\n";
constexpr char kOlderTarget[] = "an older target";
constexpr char kRejected[] = "Ungueltige Schluesseldatei!";

const std::string kHead = RecordBytes("Head", "VERNAM v.1.0 Schlu");

std::string Xor(const std::string& a, const std::string& b) {
  std::string out(a.size(), '\0');
  for (size_t i = 0; i < a.size(); ++i) out[i] = static_cast<char>(a[i] ^ b[i]);
  return out;
}

struct Outcome {
  RunResult result;
  std::string target;  // the target after the run; kOlderTarget when untouched
  bool only_inputs_left = false;  // no temporary file behind
};

// Runs the decrypter on the two files beside an older target.
Outcome Decrypt(const std::string& key_file, const std::string& container,
                int64_t file_size_limit = -1) {
  TempFolder folder;
  WriteFile(folder.Path("data.VNS"), key_file);
  WriteFile(folder.Path("data.VNZ"), container);
  WriteFile(folder.Path("data"), kOlderTarget);
  RunOptions options;
  options.folder = folder.path;
  options.file_size_limit = file_size_limit;
  const auto start = std::chrono::steady_clock::now();
  Outcome outcome;
  outcome.result = RunProgram(DECRYPTER_PATH, kInput, options);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took.count(), kTimeLimitSeconds);
#if !defined(__SANITIZE_ADDRESS__)
  // The sanitizer runtime's shadow memory and quarantine would count too.
  EXPECT_LE(outcome.result.peak_rss_kib, kMemoryLimitKib);
#endif
  outcome.target = ReadFile(folder.Path("data"));
  outcome.only_inputs_left =
      folder.List() == std::vector<std::string>{"data", "data.VNS", "data.VNZ"};
  return outcome;
}

// `line` printed, no "Fertig." unless that is the line, the status, and the
// target as expected.
void ExpectEnd(const Outcome& outcome, int status, const std::string& line,
               const std::string& target) {
  EXPECT_EQ(outcome.result.exit_status, status) << outcome.result.output << outcome.result.error;
  EXPECT_NE(outcome.result.output.find(line + "\r\n"), std::string::npos) << outcome.result.output;
  if (line != "Fertig.") {
    EXPECT_EQ(outcome.result.output.find("Fertig."), std::string::npos);
  }
  EXPECT_EQ(outcome.target, target);
  EXPECT_TRUE(outcome.only_inputs_left);
}

TEST(HostileFilesTest, EachEndsAsDocumentedInBoundedTimeAndMemory) {
  const std::string key = RandomBytes(16384, 7);
  const std::string secondary = "abcde";
  const std::string block = "vwxyz";
  struct HostileCase {
    const char* title;
    std::string key_file;
    std::string container;
    int64_t file_size_limit;
    int status;
    const char* line;
    std::string target;
  };
  const HostileCase cases[] = {
      {"header length 2^31-1", RecordBytes("Head", kHuge, "VERNAM v.1.0 Schlu"),
       RecordBytes("B1", block), -1, 0, kRejected, kOlderTarget},
      {"header length -1", RecordBytes("Head", -1, "VERNAM v.1.0 Schlu"),
       RecordBytes("B1", block), -1, 0, kRejected, kOlderTarget},
      // The lookups after it find the end of the file: no counts, nothing to
      // restore.
      {"primary key length 2^31-1", kHead + RecordBytes("PriKey", kHuge, key.substr(0, 10)),
       RecordBytes("B1", block), -1, 0, "Fertig.", ""},
      // A negative length is an empty value; the next name follows at once.
      {"primary key length -1",
       kHead + RecordBytes("PriKey", -1, "") + RecordBytes("SekKey", secondary) +
           RecordBytes("NB", "2") + RecordBytes("GLB", "5"),
       RecordBytes("B1", block), -1, 0, "Fertig.", Xor(block, secondary)},
      {"block length 2^31-1",
       kHead + RecordBytes("PriKey", key) + RecordBytes("SekKey", secondary) +
           RecordBytes("NB", "2") + RecordBytes("GLB", "5"),
       RecordBytes("B1", kHuge, block), -1, 0, "Fertig.", Xor(block, secondary)},
      {"block length -5 (an empty final block)",
       kHead + RecordBytes("PriKey", key) + RecordBytes("SekKey", secondary) +
           RecordBytes("NB", "2") + RecordBytes("GLB", "5"),
       RecordBytes("B1", -5, "") + RecordBytes("B9", block), -1, 0, "Fertig.", secondary},
      {"NB of 2^31-1",
       kHead + RecordBytes("PriKey", key) + RecordBytes("NB", "2147483647") +
           RecordBytes("GLB", "16384"),
       RecordBytes("B1", block), -1, 0, kRejected, kOlderTarget},
      // Streamed: 2 GiB would be written; a file-size limit of 1 MiB ends it
      // early with a failed write.
      {"GLB of 2^31-1",
       kHead + RecordBytes("PriKey", key) + RecordBytes("SekKey", secondary) +
           RecordBytes("NB", "2") + RecordBytes("GLB", "2147483647"),
       RecordBytes("B1", block), 1 << 20, 1, "Fehler beim Schreiben!", kOlderTarget},
      // Zero bytes at the end of a stored name are dropped like blanks.
      {"names ending in zero bytes",
       RecordBytes(std::string("Head\0\0", 6), "VERNAM v.1.0 Schlu") +
           RecordBytes("PriKey", key) + RecordBytes(std::string("SekKey"), secondary) +
           RecordBytes(std::string("NB\0\0\0\0", 6), "2") +
           RecordBytes(std::string("GLB\0 \0", 6), "5"),
       RecordBytes(std::string("B1\0\0\0\0", 6), block), -1, 0, "Fertig.",
       Xor(block, secondary)},
      // A zero byte at the start or inside a name stays.
      {"header name with a leading zero byte",
       RecordBytes(std::string("\0Head\0", 6), "VERNAM v.1.0 Schlu"), RecordBytes("B1", block),
       -1, 0, kRejected, kOlderTarget},
      {"block name with a zero byte inside",
       kHead + RecordBytes("PriKey", key) + RecordBytes("SekKey", secondary) +
           RecordBytes("NB", "2") + RecordBytes("GLB", "5"),
       RecordBytes(std::string("B\0001", 3), block), -1, 1, "Container ist beschaedigt!",
       kOlderTarget},
  };
  for (const HostileCase& hostile : cases) {
    SCOPED_TRACE(hostile.title);
    ExpectEnd(Decrypt(hostile.key_file, hostile.container, hostile.file_size_limit),
              hostile.status, hostile.line, hostile.target);
  }
}

// A real key file and container for a 1-byte source: "Head", "PriKey",
// "SekKey", "NB" "2", "GLB" "1", cut short. Cut anywhere inside "Head" the
// header test fails; cut anywhere after it, the counts are absent or read as
// 0, so nothing is restored and the target is empty. One cut in each part of
// the file here; tests/fuzz_regression_test.cc cuts at every offset.
TEST(HostileFilesTest, KeyFileCutShort) {
  TempFolder made;
  WriteFile(made.Path("data"), "Q");
  RunOptions options;
  options.folder = made.path;
  ASSERT_EQ(RunProgram(ENCRYPTER_PATH, "data\n", options).exit_status, 0);
  const std::string key_file = ReadFile(made.Path("data.VNS"));
  const std::string container = ReadFile(made.Path("data.VNZ"));
  ASSERT_EQ(key_file.size(), 28u + 16394u + 11u + 11u + 11u);
  ExpectEnd(Decrypt(key_file, container), 0, "Fertig.", "Q");
  struct Cut {
    const char* where;
    size_t size;
  };
  const Cut cuts[] = {
      {"inside the header's name", 3},      {"inside the header's length", 8},
      {"inside the header's value", 27},    {"right after the header", 28},
      {"inside the primary key", 9000},     {"inside the secondary key's length", 16430},
      {"right after NB's length", 16443},   {"inside GLB's name", 16446},
      {"before GLB's last byte", 16454},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.where);
    const Outcome outcome = Decrypt(key_file.substr(0, cut.size), container);
    if (cut.size < 28) {
      ExpectEnd(outcome, 0, kRejected, kOlderTarget);
    } else {
      ExpectEnd(outcome, 0, "Fertig.", "");
    }
  }
}

}  // namespace
