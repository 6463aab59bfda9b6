#include "test_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testing_files {

static std::string TemporaryBase() {
  const char* base = getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

TempFolder::TempFolder() : TempFolder(TemporaryBase()) {}

TempFolder::TempFolder(const std::string& base) {
  std::string pattern = base + "/vernam-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempFolder::~TempFolder() {
  std::string command = "rm -rf '" + path + "'";
  if (system(command.c_str()) != 0) perror("rm");
}

std::vector<std::string> TempFolder::List() const {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

int FileMode(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

void SetByte(const std::string& path, int64_t offset, uint8_t value) {
  int fd = open(path.c_str(), O_WRONLY);
  if (fd < 0 || pwrite(fd, &value, 1, offset) != 1) throw std::runtime_error("SetByte " + path);
  close(fd);
}

void ShrinkSize(const std::string& path, int64_t size) {
  if (truncate(path.c_str(), size) != 0) throw std::runtime_error("ShrinkSize " + path);
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

std::vector<StoredRecord> ParseRecords(const std::string& file_bytes) {
  std::vector<StoredRecord> records;
  size_t at = 0;
  while (at < file_bytes.size()) {
    if (file_bytes.size() - at < 10) throw std::runtime_error("record header cut short");
    std::string name = file_bytes.substr(at, 6);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) {
      length = (length << 8) | static_cast<uint8_t>(file_bytes[at + 6 + static_cast<size_t>(i)]);
    }
    at += 10;
    if (length > file_bytes.size() - at) throw std::runtime_error("record value cut short");
    records.push_back({name, file_bytes.substr(at, length)});
    at += length;
  }
  return records;
}

std::string RecordBytes(const std::string& name, int32_t length, const std::string& value) {
  std::string bytes = name;
  if (bytes.size() < 6) bytes.resize(6, ' ');
  uint32_t field = static_cast<uint32_t>(length);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((field >> (8 * i)) & 0xFF));
  return bytes + value;
}

// Reads everything from two descriptors while feeding `input` to a third.
static void Pump(int in_fd, const std::string& input, int out_fd, int err_fd,
                 std::string* output, std::string* error) {
  size_t written = 0;
  if (input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  char buffer[65536];
  while (out_fd >= 0 || err_fd >= 0) {
    pollfd fds[3];
    int count = 0;
    if (out_fd >= 0) fds[count++] = {out_fd, POLLIN, 0};
    if (err_fd >= 0) fds[count++] = {err_fd, POLLIN, 0};
    if (in_fd >= 0) fds[count++] = {in_fd, POLLOUT, 0};
    if (poll(fds, count, -1) < 0) continue;
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in_fd) {
        ssize_t n = write(in_fd, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<size_t>(n);
        if (n < 0 || written == input.size()) {
          close(in_fd);
          in_fd = -1;
        }
        continue;
      }
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (fds[i].fd == out_fd ? output : error)->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        (fds[i].fd == out_fd ? out_fd : err_fd) = -1;
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
}

RunResult RunProgram(const std::string& program, const std::string& input,
                     const RunOptions& options) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 ||
      pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
  for (const std::string& entry : options.environment) environment.push_back(entry);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) _exit(126);
    if (options.file_size_limit >= 0) {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit;
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(options.file_size_limit);
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.user >= 0) {
      gid_t id = static_cast<gid_t>(options.user);
      if (setgroups(0, nullptr) != 0 || setresgid(id, id, id) != 0 ||
          setresuid(static_cast<uid_t>(id), static_cast<uid_t>(id), static_cast<uid_t>(id)) != 0) {
        _exit(125);
      }
    }
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : options.arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  // A child that exits without reading its input must not kill us.
  signal(SIGPIPE, SIG_IGN);
  RunResult result;
  Pump(in_pipe[1], input, out_pipe[0], err_pipe[0], &result.output, &result.error);
  int status = 0;
  struct rusage usage;
  while (wait4(pid, &status, 0, &usage) < 0) {
  }
  result.peak_rss_kib = usage.ru_maxrss;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

int64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool StartOnTerminal(const std::string& program, const TerminalOptions& options,
                     TerminalSession* session) {
  // The child waits at this gate until the modes are noted and the typed-ahead
  // input is in place.
  int gate[2];
  if (pipe2(gate, O_CLOEXEC) != 0) return false;
  winsize size = {options.rows, options.columns, 0, 0};
  session->pid = forkpty(&session->master, nullptr, options.modes, &size);
  if (session->pid == 0) {
    close(gate[1]);
    char go;
    if (read(gate[0], &go, 1) != 1) _exit(125);
    if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) _exit(126);
    for (const std::string& entry : options.environment) {
      size_t equals = entry.find('=');
      setenv(entry.substr(0, equals).c_str(),
             equals == std::string::npos ? "" : entry.c_str() + equals + 1, 1);
    }
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(gate[0]);
  bool ready = session->pid > 0 && tcgetattr(session->master, &session->modes_before) == 0 &&
               TypeKeys(session, options.typed_ahead) && write(gate[1], "g", 1) == 1;
  close(gate[1]);
  return ready;
}

int ReadSome(TerminalSession* session, int64_t timeout_ms) {
  pollfd ready = {session->master, POLLIN, 0};
  int polled = poll(&ready, 1, static_cast<int>(std::max<int64_t>(timeout_ms, 0)));
  if (polled < 0) return errno == EINTR ? 0 : -1;
  if (polled == 0) return 0;
  char buffer[65536];
  ssize_t count = read(session->master, buffer, sizeof buffer);
  if (count < 0 && errno == EINTR) return 0;
  if (count <= 0) return -1;  // EIO once the program's side is closed
  session->output.append(buffer, static_cast<size_t>(count));
  return static_cast<int>(count);
}

bool ReadUntil(TerminalSession* session, const std::string& text, int64_t timeout_ms) {
  int64_t deadline = NowMs() + timeout_ms;
  while (session->output.find(text) == std::string::npos) {
    int64_t left = deadline - NowMs();
    if (left <= 0 || ReadSome(session, left) < 0) return false;
  }
  return true;
}

bool TypeKeys(TerminalSession* session, const std::string& keys) {
  size_t written = 0;
  while (written < keys.size()) {
    ssize_t count = write(session->master, keys.data() + written, keys.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<size_t>(count);
  }
  return true;
}

RunResult FinishTerminal(TerminalSession* session, int64_t timeout_ms) {
  int64_t deadline = NowMs() + timeout_ms;
  int status = -1;  // neither exited nor signalled
  while (waitpid(session->pid, &status, WNOHANG) == 0) {
    int64_t left = deadline - NowMs();
    if (left <= 0) {
      kill(session->pid, SIGKILL);
      waitpid(session->pid, &status, 0);
      break;
    }
    // Waits for output a little at a time, and a millisecond once there is none to come.
    if (ReadSome(session, std::min<int64_t>(left, 10)) < 0) poll(nullptr, 0, 1);
  }
  while (ReadSome(session, 0) > 0) {
  }
  if (tcgetattr(session->master, &session->modes_after) != 0) {
    memset(&session->modes_after, 0, sizeof session->modes_after);
  }
  close(session->master);
  session->master = -1;
  RunResult result;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.output = session->output;
  return result;
}

bool SameModes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

}  // namespace testing_files
