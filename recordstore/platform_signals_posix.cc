// The end by a fatal signal: remove temporary files, put the terminal back,
// then die of the same signal so that the caller sees the usual status.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "recordstore/platform.h"

namespace recordstore {

namespace {

constexpr int kMaxTemporaryFiles = 8;
constexpr size_t kMaxPathSize = 4096;

// Fixed storage only: the handler may read it at any moment.
char temporary_files[kMaxTemporaryFiles][kMaxPathSize];
volatile sig_atomic_t temporary_file_used[kMaxTemporaryFiles];
void (*volatile terminal_restorer)() = nullptr;
std::atomic<bool> handlers_installed{false};

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void OnFatalSignal(int signal_number) {
  int saved_errno = errno;
  for (int i = 0; i < kMaxTemporaryFiles; ++i) {
    if (temporary_file_used[i]) unlink(temporary_files[i]);
  }
  if (terminal_restorer != nullptr) terminal_restorer();
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal_number);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signal_number);
  errno = saved_errno;
}

}  // namespace

void InstallInterruptHandlers() {
  if (handlers_installed.exchange(true)) return;
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kFatalSignals) sigaddset(&action.sa_mask, signal_number);
  for (int signal_number : kFatalSignals) {
    struct sigaction previous;
    // A signal ignored by whoever started us stays ignored.
    if (sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;
    }
    sigaction(signal_number, &action, nullptr);
  }
}

// Blocks the fatal signals while the table changes.
static void BlockFatalSignals(sigset_t* previous) {
  sigset_t block;
  sigemptyset(&block);
  for (int signal_number : kFatalSignals) sigaddset(&block, signal_number);
  sigprocmask(SIG_BLOCK, &block, previous);
}

void RegisterTemporaryFile(const ByteString& name) {
  if (name.size() >= kMaxPathSize) return;
  InstallInterruptHandlers();
  sigset_t previous;
  BlockFatalSignals(&previous);
  for (int i = 0; i < kMaxTemporaryFiles; ++i) {
    if (!temporary_file_used[i]) {
      memcpy(temporary_files[i], name.data(), name.size());
      temporary_files[i][name.size()] = '\0';
      temporary_file_used[i] = 1;
      break;
    }
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void UnregisterTemporaryFile(const ByteString& name) {
  sigset_t previous;
  BlockFatalSignals(&previous);
  for (int i = 0; i < kMaxTemporaryFiles; ++i) {
    if (temporary_file_used[i] && name == temporary_files[i]) temporary_file_used[i] = 0;
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void SetTerminalRestorer(void (*restore)()) {
  InstallInterruptHandlers();
  terminal_restorer = restore;
}

}  // namespace recordstore
