// The terminal through termios and the standard streams through read and
// write. Raw mode is switched with TCSANOW so that keys typed ahead are kept.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "recordstore/platform.h"
#include "recordstore/terminal.h"

namespace recordstore {

namespace {

constexpr int kInput = 0;
constexpr int kOutput = 1;
constexpr int kDefaultColumns = 80;

// Read by the signal handlers: written before they are installed.
struct termios saved_modes;
struct termios raw_modes;
volatile sig_atomic_t modes_saved = 0;
volatile sig_atomic_t window_resized = 0;
volatile sig_atomic_t resumed = 0;
bool prepared = false;

bool InForeground() { return tcgetpgrp(kInput) == getpgrp(); }

void ApplyRawModes() {
  if (modes_saved && InForeground()) tcsetattr(kInput, TCSANOW, &raw_modes);
}

void SetHandler(int signal_number, void (*handler)(int)) {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

// Ctrl+Z: stop with the terminal's own modes; raw again once continued.
void OnSuspend(int) {
  int saved_errno = errno;
  RestoreTerminal();
  SetHandler(SIGTSTP, SIG_DFL);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(SIGTSTP);
  // Continued.
  SetHandler(SIGTSTP, OnSuspend);
  ApplyRawModes();
  resumed = 1;
  errno = saved_errno;
}

// Continued after any stop (also one not from the keyboard).
void OnContinue(int) {
  int saved_errno = errno;
  ApplyRawModes();
  resumed = 1;
  errno = saved_errno;
}

void OnResize(int) { window_resized = 1; }

void RestoreAtExit() { RestoreTerminal(); }

bool IsIgnored(int signal_number) {
  struct sigaction current;
  return sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

bool InputIsTerminal() {
  static const bool is_terminal = isatty(kInput) == 1;
  return is_terminal;
}

bool OutputIsTerminal() {
  static const bool is_terminal = isatty(kOutput) == 1;
  return is_terminal;
}

void WriteOutput(const ByteString& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = write(kOutput, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<size_t>(written);
  }
}

int ReadInputByte() {
  for (;;) {
    unsigned char byte;
    ssize_t count = read(kInput, &byte, 1);
    if (count == 1) return byte;
    if (count < 0 && errno == EINTR) continue;
    return -1;
  }
}

void PrepareTerminal() {
  if (prepared) return;
  prepared = true;
  setlocale(LC_CTYPE, "");
  if (!InputIsTerminal() || tcgetattr(kInput, &saved_modes) != 0) return;
  raw_modes = saved_modes;
  raw_modes.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
  raw_modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
  raw_modes.c_cc[VMIN] = 1;
  raw_modes.c_cc[VTIME] = 0;
  modes_saved = 1;
  std::atexit(RestoreAtExit);
  SetTerminalRestorer(RestoreTerminal);
  if (!IsIgnored(SIGTSTP)) SetHandler(SIGTSTP, OnSuspend);
  SetHandler(SIGCONT, OnContinue);
  SetHandler(SIGWINCH, OnResize);
  if (tcsetattr(kInput, TCSANOW, &raw_modes) != 0) modes_saved = 0;
}

void RestoreTerminal() {
  if (modes_saved) tcsetattr(kInput, TCSANOW, &saved_modes);
}

int TerminalColumns() {
  struct winsize size;
  int fd = OutputIsTerminal() ? kOutput : kInput;
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

bool TerminalInputWaiting() {
  struct pollfd input = {kInput, POLLIN, 0};
  return poll(&input, 1, 0) > 0 && (input.revents & POLLIN) != 0;
}

int ReadTerminalByte(int timeout_ms) {
  // The signals that ask for a redraw reach us only inside pselect, so that
  // none is lost between the test of the flag and the wait.
  sigset_t redraw_signals, previous;
  sigemptyset(&redraw_signals);
  sigaddset(&redraw_signals, SIGWINCH);
  sigaddset(&redraw_signals, SIGCONT);
  sigprocmask(SIG_BLOCK, &redraw_signals, &previous);
  int result = kInputEnded;
  for (;;) {
    if (resumed) {
      resumed = 0;
      window_resized = 0;
      result = kResumed;
      break;
    }
    if (window_resized) {
      window_resized = 0;
      result = kWindowResized;
      break;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(kInput, &readable);
    struct timespec timeout = {timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
    int ready = pselect(kInput + 1, &readable, nullptr, nullptr,
                        timeout_ms < 0 ? nullptr : &timeout, &previous);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      result = kTimedOut;
      break;
    }
    if (ready < 0) break;
    unsigned char byte;
    ssize_t count = read(kInput, &byte, 1);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count == 1) result = byte;
    break;
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  return result;
}

}  // namespace recordstore
