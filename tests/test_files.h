// Test helpers: a fresh temporary folder, whole-file reads and writes, byte
// mutators, and running a built program with redirected standard streams or
// on a pseudo-terminal.
#ifndef TESTS_TEST_FILES_H_
#define TESTS_TEST_FILES_H_

#include <sys/types.h>
#include <termios.h>

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

// Milliseconds on a monotonic clock.
int64_t NowMs();

// A program running on a new pseudo-terminal.
struct TerminalSession {
  pid_t pid = -1;
  int master = -1;         // the terminal's master side, closed by FinishTerminal
  std::string output;      // everything the program wrote so far
  termios modes_before{};  // the terminal's modes before the program ran
  termios modes_after{};   // and once it had ended (all zero when unreadable)
};

struct TerminalOptions {
  std::string folder;  // working folder, "" for the current one
  unsigned short rows = 25;
  unsigned short columns = 80;
  const termios* modes = nullptr;        // the terminal's first modes, nullptr for the defaults
  std::string typed_ahead;               // in the terminal's input before the program runs
  std::vector<std::string> environment;  // extra NAME=VALUE entries, replacing inherited ones
};

// Starts `program` without arguments on a new pseudo-terminal. Returns false
// when the terminal, the process or the typed-ahead input cannot be set up.
bool StartOnTerminal(const std::string& program, const TerminalOptions& options,
                     TerminalSession* session);
// Waits up to `timeout_ms` for output and adds what came to session->output.
// Returns the number of bytes added, 0 when none came in time, -1 once the
// program's side of the terminal is closed and all output read.
int ReadSome(TerminalSession* session, int64_t timeout_ms);
// Reads until the output holds `text`. Returns true then; false when the time
// is up or the program's side is closed first.
bool ReadUntil(TerminalSession* session, const std::string& text, int64_t timeout_ms);
// Writes `keys` to the terminal's input. Returns false when not all of them
// were written.
bool TypeKeys(TerminalSession* session, const std::string& keys);
// Reads the output until the program has ended, killing it with SIGKILL when
// it has not after `timeout_ms`; then records the modes and closes the master
// side. Returns the exit status or signal and the whole output (no error
// output: both streams go to the terminal); exit_status -1 and signal 0 when
// it could not be waited for.
RunResult FinishTerminal(TerminalSession* session, int64_t timeout_ms);
// Whether two sets of terminal modes agree in every flag and control character.
bool SameModes(const termios& a, const termios& b);

}  // namespace testing_files

#endif  // TESTS_TEST_FILES_H_
