// Background writes: one thread that performs one positioned write at a time
// while the caller goes on (see StartBackgroundWrite in platform.h).
#include <pthread.h>
#include <signal.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "recordstore/platform.h"

namespace recordstore {

namespace {

struct Writer {
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;  // the thread runs
  bool busy = false;     // a write is handed over and not finished yet
  FileHandle file = kNoFile;
  const char* data = nullptr;
  int64_t size = 0;
  int64_t offset = 0;
  int64_t stored = 0;  // what the last finished write stored
};

// Never destroyed: the idle thread still waits on it while the process ends.
Writer& TheWriter() {
  static Writer* writer = new Writer;
  return *writer;
}

void RunWriter(Writer* writer) {
  // Signals sent to the process are taken by the thread that runs the
  // program; those caused by this thread's own calls are left alone.
  sigset_t signals;
  sigfillset(&signals);
  for (int own : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGXFSZ}) sigdelset(&signals, own);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::unique_lock<std::mutex> lock(writer->mutex);
  for (;;) {
    writer->changed.wait(lock, [writer] { return writer->busy; });
    lock.unlock();
    int64_t stored = WriteFileAt(writer->file, writer->data, writer->size, writer->offset);
    lock.lock();
    writer->stored = stored;
    writer->busy = false;
    writer->changed.notify_all();
  }
}

}  // namespace

void StartBackgroundWrite(FileHandle file, const char* data, int64_t size, int64_t offset) {
  Writer& writer = TheWriter();
  std::unique_lock<std::mutex> lock(writer.mutex);
  writer.changed.wait(lock, [&writer] { return !writer.busy; });
  if (!writer.started) {
    try {
      std::thread(RunWriter, &writer).detach();
      writer.started = true;
    } catch (const std::system_error&) {
      // No thread to be had: the write is made here and now.
      writer.stored = WriteFileAt(file, data, size, offset);
      return;
    }
  }
  writer.file = file;
  writer.data = data;
  writer.size = size;
  writer.offset = offset;
  writer.busy = true;
  writer.changed.notify_all();
}

int64_t FinishBackgroundWrite() {
  Writer& writer = TheWriter();
  std::unique_lock<std::mutex> lock(writer.mutex);
  writer.changed.wait(lock, [&writer] { return !writer.busy; });
  return writer.stored;
}

}  // namespace recordstore
