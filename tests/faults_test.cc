// Faults through the real programs: writes that fail at chosen offsets, a
// full disk, failing fsync, close, rename and read calls, files that cannot
// be read, and Ctrl+C in the middle of a run. Every failure ends with its
// line and status and without "Fertig.", and every file in the folder stays
// byte for byte as it was, with no temporary file left behind.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

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
using testing_files::TerminalSession;
using testing_files::WriteFile;

constexpr int kNobody = 65534;
constexpr int kBlock = 16384;
constexpr int kRecordHeader = 10;
constexpr size_t kSourceSize = 40000;  // blocks of 16384, 16384 and 7232 bytes
constexpr char kSource[] = "data.bin";
constexpr char kEncrypterInput[] = "data.bin\n";
constexpr char kDecrypterInput[] = "data.bin.VNZ\nx\ny\n";

enum class Program { kEncrypter, kDecrypter };

enum class Fault {
  kFileSizeLimit,  // RLIMIT_FSIZE of `limit` bytes, SIGXFSZ ignored
  kDiskFull,       // a tmpfs with room for the existing files only
  kShim,           // the preloaded shim fails `call` on files ending in `file`
  kUnreadable,     // `file` gets mode 0000; the run is not privileged
};

struct FaultCase {
  const char* title;
  Program program;
  Fault fault;
  int64_t limit;
  const char* call;
  const char* file;
  int exit_status;
  const char* line;
};

constexpr Program kEnc = Program::kEncrypter;
constexpr Program kDec = Program::kDecrypter;
constexpr char kWriteError[] = "Fehler beim Schreiben!";
constexpr char kReadError[] = "Fehler beim Lesen!";

const FaultCase kFaultCases[] = {
    // The encrypter writes the key file's first records, then the container
    // records of 16394 bytes each; every file is limited on its own.
    {"encrypter, write fails at offset 0", kEnc, Fault::kFileSizeLimit, 0, "", "", 1,
     kWriteError},
    {"encrypter, write fails inside a record", kEnc, Fault::kFileSizeLimit, 20000, "", "", 1,
     kWriteError},
    {"encrypter, write fails on a block record boundary", kEnc, Fault::kFileSizeLimit,
     2 * (kBlock + kRecordHeader), "", "", 1, kWriteError},
    {"encrypter, disk full", kEnc, Fault::kDiskFull, 0, "", "", 1, kWriteError},
    {"encrypter, fsync fails", kEnc, Fault::kShim, 0, "fsync", "", 1, kWriteError},
    {"encrypter, close fails", kEnc, Fault::kShim, 0, "close", "", 1, kWriteError},
    {"encrypter, rename fails", kEnc, Fault::kShim, 0, "rename", "", 1, kWriteError},
    {"encrypter, source read fails", kEnc, Fault::kShim, 0, "read", kSource, 1, kReadError},
    {"encrypter, source unreadable", kEnc, Fault::kUnreadable, 0, "", kSource, 1,
     "Quelldatei kann nicht gelesen werden!"},
    // The decrypter writes the target's restored blocks back to back.
    {"decrypter, write fails at offset 0", kDec, Fault::kFileSizeLimit, 0, "", "", 1,
     kWriteError},
    {"decrypter, write fails inside a block", kDec, Fault::kFileSizeLimit, 20000, "", "", 1,
     kWriteError},
    {"decrypter, write fails on a block boundary", kDec, Fault::kFileSizeLimit, 2 * kBlock, "",
     "", 1, kWriteError},
    {"decrypter, disk full", kDec, Fault::kDiskFull, 0, "", "", 1, kWriteError},
    {"decrypter, fsync fails", kDec, Fault::kShim, 0, "fsync", "", 1, kWriteError},
    {"decrypter, close fails", kDec, Fault::kShim, 0, "close", "", 1, kWriteError},
    {"decrypter, rename fails", kDec, Fault::kShim, 0, "rename", "", 1, kWriteError},
    {"decrypter, container read fails", kDec, Fault::kShim, 0, "read", ".VNZ", 1, kReadError},
    {"decrypter, key file read fails", kDec, Fault::kShim, 0, "read", ".VNS", 1, kReadError},
    {"decrypter, container unreadable", kDec, Fault::kUnreadable, 0, "", "data.bin.VNZ", 1,
     "Container kann nicht gelesen werden!"},
    {"decrypter, key file unreadable", kDec, Fault::kUnreadable, 0, "", "data.bin.VNS", 0,
     "Ungueltige Schluesseldatei!"},
};

const char* ProgramPath(Program program) {
  return program == Program::kEncrypter ? ENCRYPTER_PATH : DECRYPTER_PATH;
}

// Every entry of a folder: name -> permission bits and bytes (for a file of
// more than 1 MiB its size and modification time instead).
using Snapshot = std::map<std::string, std::string>;

Snapshot TakeSnapshot(const TempFolder& folder) {
  Snapshot snapshot;
  for (const std::string& name : folder.List()) {
    struct stat st;
    if (lstat(folder.Path(name).c_str(), &st) != 0) continue;
    std::string entry = std::to_string(st.st_mode) + ":";
    if (st.st_size > (1 << 20)) {
      entry += std::to_string(st.st_size) + "@" + std::to_string(st.st_mtim.tv_sec) + "." +
               std::to_string(st.st_mtim.tv_nsec);
    } else {
      entry += ReadFile(folder.Path(name));
    }
    snapshot[name] = entry;
  }
  return snapshot;
}

// The encrypter's container and key file for the source, made once.
const std::string& EncryptedFile(const char* suffix) {
  static const std::pair<std::string, std::string> made = [] {
    TempFolder folder;
    WriteFile(folder.Path(kSource), RandomBytes(kSourceSize));
    RunOptions options;
    options.folder = folder.path;
    RunResult result = RunProgram(ENCRYPTER_PATH, kEncrypterInput, options);
    if (result.exit_status != 0) throw std::runtime_error("encrypter: " + result.output);
    return std::make_pair(ReadFile(folder.Path("data.bin.VNZ")),
                          ReadFile(folder.Path("data.bin.VNS")));
  }();
  return std::string(suffix) == ".VNZ" ? made.first : made.second;
}

// The folder before a run: for the encrypter the source and older outputs;
// for the decrypter a real container and key file and an older target.
void PrepareFolder(Program program, const TempFolder& folder) {
  if (program == Program::kEncrypter) {
    WriteFile(folder.Path(kSource), RandomBytes(kSourceSize));
    WriteFile(folder.Path("data.bin.VNZ"), "an older container");
    WriteFile(folder.Path("data.bin.VNS"), "an older key file");
  } else {
    WriteFile(folder.Path("data.bin.VNZ"), EncryptedFile(".VNZ"));
    WriteFile(folder.Path("data.bin.VNS"), EncryptedFile(".VNS"));
    ASSERT_EQ(chmod(folder.Path("data.bin.VNS").c_str(), 0600), 0);
    WriteFile(folder.Path(kSource), "an older target");
  }
}

// The sanitizer runtime would refuse a library preloaded in front of it; the
// shim replaces no allocation function, so the order does not matter.
void AllowPreloadInFrontOfSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  const char* options = getenv("ASAN_OPTIONS");
  std::string value = options != nullptr ? options : "";
  if (value.find("verify_asan_link_order=0") == std::string::npos) {
    setenv("ASAN_OPTIONS", (value + ":verify_asan_link_order=0").c_str(), 1);
  }
#endif
}

// Runs the program on a copy of `work` in a private tmpfs that holds the
// files there plus 16 KiB, too little for the new outputs, and copies the
// tmpfs back into `after`. A private mount namespace keeps the mount from
// outliving the run. Returns false when no tmpfs can be had here.
bool RunOnFullDisk(Program program, const std::string& input, const TempFolder& work,
                   const TempFolder& disk, const TempFolder& after, RunResult* result) {
  int64_t room = 16384;
  for (const std::string& name : work.List()) {
    room += (static_cast<int64_t>(ReadFile(work.Path(name)).size()) + 4095) / 4096 * 4096;
  }
  const std::string script =
      "mount -t tmpfs -o size=" + std::to_string(room) + " tmpfs \"$1\" || exit 97\n"
      "echo mounted >&2\n"
      "cp -a \"$2\"/. \"$1\"/ && cd \"$1\" || exit 98\n"
      "\"$4\"; status=$?\n"
      "cp -a \"$1\"/. \"$3\"/ || exit 98\n"
      "exit $status\n";
  RunOptions options;
  options.arguments = {geteuid() == 0 ? "-m" : "-Urm", "/bin/sh", "-c", script, "sh",
                       disk.path, work.path, after.path, ProgramPath(program)};
  *result = RunProgram("/usr/bin/unshare", input, options);
  // Without the line the namespace or the mount was refused.
  const size_t mounted = result->error.find("mounted\n");
  if (mounted == std::string::npos) return false;
  result->error.erase(mounted, 8);
  return true;
}

TEST(FaultsTest, EveryFailureEndsCleanly) {
  AllowPreloadInFrontOfSanitizer();
  for (const FaultCase& fault_case : kFaultCases) {
    SCOPED_TRACE(fault_case.title);
    TempFolder folder;
    PrepareFolder(fault_case.program, folder);
    const std::string input =
        fault_case.program == Program::kEncrypter ? kEncrypterInput : kDecrypterInput;
    RunOptions options;
    options.folder = folder.path;
    switch (fault_case.fault) {
      case Fault::kFileSizeLimit:
        options.file_size_limit = fault_case.limit;
        break;
      case Fault::kShim:
        options.environment = {std::string("LD_PRELOAD=") + FAULT_SHIM_PATH,
                               std::string("FAULT_SHIM_FAIL=") + fault_case.call,
                               std::string("FAULT_SHIM_SUFFIX=") + fault_case.file};
        break;
      case Fault::kUnreadable:
        // Root reads anything: run as an unprivileged user, who needs the
        // folder and the other files.
        if (geteuid() == 0) {
          options.user = kNobody;
          chmod(folder.path.c_str(), 0777);
          for (const std::string& name : folder.List()) chmod(folder.Path(name).c_str(), 0644);
        }
        chmod(folder.Path(fault_case.file).c_str(), 0);
        break;
      case Fault::kDiskFull:
        break;
    }
    const Snapshot before = TakeSnapshot(folder);
    RunResult result;
    Snapshot after;
    if (fault_case.fault == Fault::kDiskFull) {
      TempFolder disk, copied;
      if (!RunOnFullDisk(fault_case.program, input, folder, disk, copied, &result)) {
        std::cout << "[  SKIPPED ] " << fault_case.title << ": no tmpfs can be mounted here\n";
        continue;
      }
      after = TakeSnapshot(copied);
    } else {
      result = RunProgram(ProgramPath(fault_case.program), input, options);
      after = TakeSnapshot(folder);
    }
    EXPECT_EQ(result.exit_status, fault_case.exit_status) << result.output << result.error;
    EXPECT_NE(result.output.find(std::string(fault_case.line) + "\r\n"), std::string::npos)
        << result.output;
    EXPECT_EQ(result.output.find("Fertig."), std::string::npos) << result.output;
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(after == before) << "the folder changed";
  }
}

// ---- Ctrl+C through a terminal.

// Runs `program` on a new pseudo-terminal in `folder`, types `typed`, and
// presses Ctrl+C as soon as a file that was not there before has bytes in it.
// Returns whether it did within a minute; either way *result holds the end of
// the run and the session its output and terminal modes.
bool InterruptOnTerminal(Program program, const TempFolder& folder, const std::string& typed,
                         TerminalSession* session, RunResult* result) {
  const auto names_before = folder.List();
  termios modes;
  memset(&modes, 0, sizeof modes);
  modes.c_iflag = ICRNL | IXON;
  modes.c_oflag = OPOST | ONLCR;
  modes.c_cflag = CS8 | CREAD | B38400;
  modes.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN;
  modes.c_cc[VINTR] = 3;
  modes.c_cc[VEOF] = 4;
  modes.c_cc[VMIN] = 1;
  testing_files::TerminalOptions options;
  options.folder = folder.path;
  options.modes = &modes;
  options.typed_ahead = typed;
  if (!testing_files::StartOnTerminal(ProgramPath(program), options, session)) return false;

  bool interrupted = false;
  const int64_t deadline = testing_files::NowMs() + 60000;
  while (!interrupted && testing_files::NowMs() < deadline &&
         testing_files::ReadSome(session, 1) >= 0) {
    for (const std::string& name : folder.List()) {
      bool is_new = std::find(names_before.begin(), names_before.end(), name) ==
                    names_before.end();
      struct stat st;
      if (is_new && stat(folder.Path(name).c_str(), &st) == 0 && st.st_size > 0) {
        interrupted = testing_files::TypeKeys(session, "\x03");
        break;
      }
    }
  }
  *result = testing_files::FinishTerminal(session, deadline - testing_files::NowMs());
  return interrupted;
}

TEST(FaultsTest, ControlCRemovesTemporaryFilesAndRestoresTheTerminal) {
  struct InterruptCase {
    const char* title;
    Program program;
    const char* typed;
  };
  const InterruptCase cases[] = {
      {"encrypter on a 1 GiB source", Program::kEncrypter, "big.bin\r"},
      {"decrypter restoring a final block of 2^31-1 bytes", Program::kDecrypter,
       "big.bin.VNZ\rx\ry\r"},
  };
  for (const InterruptCase& interrupt_case : cases) {
    SCOPED_TRACE(interrupt_case.title);
    TempFolder folder;
    if (interrupt_case.program == Program::kEncrypter) {
      // Sparse: costs nothing until read.
      WriteFile(folder.Path("big.bin"), "");
      ASSERT_EQ(truncate(folder.Path("big.bin").c_str(), int64_t{1} << 30), 0);
      WriteFile(folder.Path("big.bin.VNZ"), "an older container");
    } else {
      // The decrypter streams the final block's 2^31-1 bytes.
      WriteFile(folder.Path("big.bin.VNS"),
                RecordBytes("Head", "VERNAM v.1.0 Schlu") +
                    RecordBytes("PriKey", RandomBytes(kBlock)) +
                    RecordBytes("SekKey", RandomBytes(100, 2)) + RecordBytes("NB", "2") +
                    RecordBytes("GLB", "2147483647"));
      WriteFile(folder.Path("big.bin.VNZ"), RecordBytes("B1", RandomBytes(100, 3)));
      WriteFile(folder.Path("big.bin"), "an older target");
    }
    const Snapshot before = TakeSnapshot(folder);
    TerminalSession session;
    RunResult result;
    ASSERT_TRUE(InterruptOnTerminal(interrupt_case.program, folder, interrupt_case.typed,
                                    &session, &result))
        << "never saw the run write:\n" << session.output;
    EXPECT_EQ(result.signal, SIGINT) << "exit status " << result.exit_status << "\n"
                                     << result.output;
    EXPECT_TRUE(testing_files::SameModes(session.modes_before, session.modes_after));
    EXPECT_TRUE(TakeSnapshot(folder) == before) << "the folder changed";
  }
}

}  // namespace
