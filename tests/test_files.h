// Test helpers: a fresh temporary folder, whole-file reads and writes, byte
// mutators, and running a built program with redirected standard streams.
#ifndef TESTS_TEST_FILES_H_
#define TESTS_TEST_FILES_H_

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_files {

// A new empty folder under $TMPDIR (or /tmp), removed with its contents by the
// destructor.
struct TempFolder {
  TempFolder();
  // The same under `base` (for example /dev/shm for large files).
  explicit TempFolder(const std::string& base);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string Path(const std::string& name) const { return path + "/" + name; }
  // Names of the entries in the folder, sorted.
  std::vector<std::string> List() const;
  std::string path;
};

bool Exists(const std::string& path);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Permission bits of a file (st_mode & 07777), -1 when missing.
int FileMode(const std::string& path);
// Mutators: set one byte, cut a file to `size` bytes.
void SetByte(const std::string& path, int64_t offset, uint8_t value);
void ShrinkSize(const std::string& path, int64_t size);
// `size` random bytes from a fixed seed.
std::string RandomBytes(size_t size, uint32_t seed = 1);

// The records of a record file, in stored order: name with its padding
// blanks removed, and value. Fails the calling test on a malformed file.
struct StoredRecord {
  std::string name;
  std::string value;
};
std::vector<StoredRecord> ParseRecords(const std::string& file_bytes);
// The bytes of one record: `name` blank-padded to 6 bytes (longer names kept
// whole), then `length` little-endian, then `value`; hostile files may give a
// length that differs from the value's.
std::string RecordBytes(const std::string& name, int32_t length, const std::string& value);
inline std::string RecordBytes(const std::string& name, const std::string& value) {
  return RecordBytes(name, static_cast<int32_t>(value.size()), value);
}

// One finished run of a program.
struct RunResult {
  int exit_status = -1;   // when it exited, else -1
  int signal = 0;         // the signal that ended it, else 0
  std::string output;     // standard output
  std::string error;      // standard error
  int64_t peak_rss_kib = 0;  // the child's peak resident memory (wait4's ru_maxrss)
};

struct RunOptions {
  std::string folder;            // working folder, "" for the current one
  int64_t file_size_limit = -1;  // RLIMIT_FSIZE in bytes (SIGXFSZ ignored), -1 none
  std::vector<std::string> environment;  // extra NAME=VALUE entries
  std::vector<std::string> arguments;    // command-line arguments after the name
  int user = -1;  // run as this user and group id, no supplementary groups; -1 as we are
};

// Runs `program` with `input` as standard input (a pipe that is closed after
// the input), capturing standard output and error.
RunResult RunProgram(const std::string& program, const std::string& input,
                     const RunOptions& options = {});

}  // namespace testing_files

#endif  // TESTS_TEST_FILES_H_
