// The decrypter on a terminal: the three questions show their prompts
// unchanged, and the answers typed to them are taken.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "decrypter_runs.h"
#include "test_files.h"

namespace {

// Runs the decrypter in `folder` on a pseudo-terminal with `typed` waiting in
// its input; returns everything it wrote once it has ended (killed when it
// writes nothing for 5 seconds).
std::string RunOnTerminal(const testing_files::TempFolder& folder, const std::string& typed,
                          int* status) {
  int master = -1;
  struct winsize size = {25, 200, 0, 0};
  pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    if (chdir(folder.path.c_str()) != 0) _exit(126);
    execl(DECRYPTER_PATH, DECRYPTER_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string screen;
  if (pid < 0 || write(master, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size())) {
    return screen;
  }
  char buffer[4096];
  for (;;) {
    pollfd ready = {master, POLLIN, 0};
    if (poll(&ready, 1, 5000) == 0) {
      kill(pid, SIGKILL);  // it waits for something it will never get
      break;
    }
    ssize_t count = read(master, buffer, sizeof buffer);
    if (count > 0) {
      screen.append(buffer, static_cast<size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      break;  // EIO once the program has ended
    }
  }
  waitpid(pid, status, 0);
  close(master);
  return screen;
}

TEST(DecrypterTerminal, PromptsAreShownUnchanged) {
  testing_files::TempFolder folder;
  const std::string source = testing_files::RandomBytes(1000, 11);
  ASSERT_TRUE(decrypter_runs::Encrypt(folder, source));
  int status = -1;
  std::string screen = RunOnTerminal(folder, "data.bin.VNZ\rkey\rtarget\r", &status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  size_t at = 0;
  // Each prompt is followed by the line editor's output, never by more text.
  for (const char* shown : {"\nBitte zu entschluesselnde Datei angeben! \r",
                            "\nBitte die Schluesseldatei angeben! \r",
                            "\nBitte die Zieldatei angeben! \r", "\nFertig.\r"}) {
    at = screen.find(shown, at);
    ASSERT_NE(at, std::string::npos) << shown << " in " << screen;
  }
  EXPECT_TRUE(testing_files::ReadFile(folder.Path("data.bin")) == source);
}

}  // namespace
