// The line editor on a real terminal: the demo dialogue on a pseudo-terminal
// 40 columns wide, driven by writing key bytes to its master side.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kWaitMs = 5000;

struct Session {
  pid_t pid = -1;
  int master = -1;
  std::string screen;  // everything the program wrote so far
  struct termios modes_before;
};

int64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Starts the demo; `typed_ahead` is in the terminal's input before the
// program runs.
void Start(Session* session, const std::string& typed_ahead) {
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  struct winsize size = {12, 40, 0, 0};
  session->pid = forkpty(&session->master, nullptr, nullptr, &size);
  ASSERT_GE(session->pid, 0);
  if (session->pid == 0) {
    close(gate[1]);
    char go;
    if (read(gate[0], &go, 1) != 1) _exit(125);
    setenv("LC_ALL", "C.UTF-8", 1);
    execl(DIALOGUE_DEMO_PATH, DIALOGUE_DEMO_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(gate[0]);
  ASSERT_EQ(tcgetattr(session->master, &session->modes_before), 0);
  ASSERT_EQ(write(session->master, typed_ahead.data(), typed_ahead.size()),
            static_cast<ssize_t>(typed_ahead.size()));
  ASSERT_EQ(write(gate[1], "g", 1), 1);
  close(gate[1]);
}

// Reads the screen output until it holds `text` (true) or the time is up.
bool ReadUntil(Session* session, const std::string& text) {
  int64_t deadline = NowMs() + kWaitMs;
  while (session->screen.find(text) == std::string::npos) {
    int64_t left = deadline - NowMs();
    pollfd ready = {session->master, POLLIN, 0};
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    ssize_t count = read(session->master, buffer, sizeof buffer);
    if (count <= 0) return false;
    session->screen.append(buffer, static_cast<size_t>(count));
  }
  return true;
}

void Type(Session* session, const std::string& keys) {
  ASSERT_EQ(write(session->master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

// The wait status once the program has ended; killed after the time is up.
int Finish(Session* session) {
  int status = 0;
  int64_t deadline = NowMs() + kWaitMs;
  while (waitpid(session->pid, &status, WNOHANG) == 0) {
    if (NowMs() > deadline) {
      kill(session->pid, SIGKILL);
      waitpid(session->pid, &status, 0);
      break;
    }
    ReadUntil(session, std::string(1, '\0'));  // drains output, waits a little
  }
  return status;
}

void ExpectSameModes(const termios& a, const termios& b) {
  EXPECT_EQ(a.c_iflag, b.c_iflag);
  EXPECT_EQ(a.c_oflag, b.c_oflag);
  EXPECT_EQ(a.c_lflag, b.c_lflag);
  EXPECT_EQ(a.c_cflag, b.c_cflag);
  EXPECT_EQ(memcmp(a.c_cc, b.c_cc, sizeof a.c_cc), 0);
}

TEST(ConsoleTerminalTest, EditsTypedAheadKeysAndShowsAnswersInRed) {
  Session session;
  Start(&session, "ab");
  ASSERT_TRUE(ReadUntil(&session, "Name: ")) << session.screen;
  // Left, X, Home, Y, End, ae, Backspace, a wide character, Delete at the
  // end (bell), Enter.
  Type(&session, "\x1b[DX\x1b[HY\x1bOF\xc3\xa4\x7f\xe6\x97\xa5\x1b[3~\r");
  ASSERT_TRUE(ReadUntil(&session, "\x1b[31;40m[YaXb\xe6\x97\xa5]\r")) << session.screen;
  EXPECT_NE(session.screen.find('\a'), std::string::npos);
  // The status is erased before the next output, which starts where it did.
  ASSERT_TRUE(ReadUntil(&session, "\r1/2\x1b[J\r\x1b[3C\r2/2\x1b[J\r\x1b[3C\r\x1b[J\rNoch einer:"))
      << session.screen;
  // Esc alone clears the line; a comma ends the answer.
  Type(&session, "  zz");
  ASSERT_TRUE(ReadUntil(&session, "zz\x1b[J"));
  Type(&session, "\x1b");
  ASSERT_TRUE(ReadUntil(&session, "\r\x1b[11C\x1b[J\r\x1b[11C")) << session.screen;
  Type(&session, "w,v\r");
  ASSERT_TRUE(ReadUntil(&session, "[w]\r")) << session.screen;
  // One key, a whole sequence, ends the wait.
  Type(&session, "\x1b[A");
  ASSERT_TRUE(ReadUntil(&session, "Ende\r")) << session.screen;
  int status = Finish(&session);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  termios modes_after;
  ASSERT_EQ(tcgetattr(session.master, &modes_after), 0);
  ExpectSameModes(session.modes_before, modes_after);
  close(session.master);
}

TEST(ConsoleTerminalTest, CtrlCAtThePromptEndsWithTheModesRestored) {
  Session session;
  Start(&session, "");
  ASSERT_TRUE(ReadUntil(&session, "Name: "));
  termios modes_during;
  ASSERT_EQ(tcgetattr(session.master, &modes_during), 0);
  EXPECT_EQ(modes_during.c_lflag & (ICANON | ECHO | IEXTEN), 0u);
  EXPECT_NE(modes_during.c_lflag & ISIG, 0u);
  Type(&session, "abc");
  ASSERT_TRUE(ReadUntil(&session, "abc"));
  Type(&session, "\x03");
  int status = Finish(&session);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  termios modes_after;
  ASSERT_EQ(tcgetattr(session.master, &modes_after), 0);
  ExpectSameModes(session.modes_before, modes_after);
  close(session.master);
}

}  // namespace
