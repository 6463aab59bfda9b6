// The progress line: drawn through the console's status line, timed by the
// platform's millisecond clock.
#include "recordstore/progress.h"

#include <cstdio>

#include "recordstore/console.h"
#include "recordstore/platform.h"
#include "recordstore/terminal.h"

namespace recordstore {

namespace {

constexpr double kMebibyte = 1024.0 * 1024.0;

// " 42 %   812.3 MiB/s": the whole percentage done and the mean rate so far.
ByteString ProgressText(int64_t done, int64_t total, uint32_t elapsed_ms) {
  done = done < 0 ? 0 : done > total ? total : done;
  int percent = static_cast<int>(done * 100 / total);
  double seconds = (elapsed_ms == 0 ? 1 : elapsed_ms) / 1000.0;
  double rate = static_cast<double>(done) / kMebibyte / seconds;
  char text[64];
  std::snprintf(text, sizeof text, "%3d %%  %7.1f MiB/s", percent, rate);
  return text;
}

}  // namespace

Progress StartProgress(int64_t total) {
  Progress progress;
  progress.total = total;
  progress.active = total > kProgressThreshold && OutputIsTerminal();
  if (progress.active) {
    progress.start = MillisecondTicks();
    progress.last_shown = progress.start;
    progress.calls_to_check = kProgressCallsPerCheck;
  }
  return progress;
}

void ShowProgressWhenDue(Progress* progress, int64_t done) {
  progress->calls_to_check = kProgressCallsPerCheck;
  uint32_t now = MillisecondTicks();
  if (progress->shown &&
      static_cast<uint32_t>(now - progress->last_shown) < kProgressInterval) {
    return;
  }
  progress->last_shown = now;
  ShowStatus(ProgressText(done, progress->total, now - progress->start));
  progress->shown = true;
}

void EndProgress(Progress* progress) {
  if (progress->shown) ClearStatus();
  progress->active = false;
  progress->shown = false;
}

}  // namespace recordstore
