// A progress line for long runs: on a terminal, when more than 64 MiB are to
// be processed, one status line under the last log line shows the percentage
// done and the mean rate in MiB/s, drawn at the first clock reading and then
// at most ten times a second. When standard output is not a terminal nothing
// of it is ever written.
#ifndef RECORDSTORE_PROGRESS_H_
#define RECORDSTORE_PROGRESS_H_

#include <cstdint>

namespace recordstore {

constexpr int64_t kProgressThreshold = int64_t{64} * 1024 * 1024;  // bytes
constexpr uint32_t kProgressInterval = 100;                       // ms
// UpdateProgress reads the clock on every this many calls only.
constexpr int kProgressCallsPerCheck = 16;

struct Progress {
  bool active = false;      // a terminal and more than the threshold to do
  int64_t total = 0;        // bytes to process
  uint32_t start = 0;       // clock reading at the start, in ms
  uint32_t last_shown = 0;  // clock reading at the last drawing, in ms
  int calls_to_check = 0;   // calls left before the next clock reading
  bool shown = false;       // a line is on the screen
};

// Returns the progress of a run over `total` bytes: active only when standard
// output is a terminal and `total` is above kProgressThreshold. Draws nothing
// yet.
Progress StartProgress(int64_t total);

// Draws the line for `done` bytes when none was drawn yet or at least
// kProgressInterval ms have passed since the last drawing.
void ShowProgressWhenDue(Progress* progress, int64_t done);

// Cheap enough for every block: returns at once when inactive and reads the
// clock only on every kProgressCallsPerCheck-th call.
inline void UpdateProgress(Progress* progress, int64_t done) {
  if (!progress->active || --progress->calls_to_check > 0) return;
  ShowProgressWhenDue(progress, done);
}

// Erases the line when one was drawn, so the next log line stands where it
// would have stood without it. The progress is inactive afterwards.
void EndProgress(Progress* progress);

}  // namespace recordstore

#endif  // RECORDSTORE_PROGRESS_H_
