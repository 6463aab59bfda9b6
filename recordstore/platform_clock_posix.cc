// The clock on POSIX: time since boot in nanoseconds.
#include <time.h>

#include "recordstore/platform.h"

namespace recordstore {

static bool ReadClock(int64_t* nanoseconds) {
  struct timespec now;
  if (clock_gettime(CLOCK_BOOTTIME, &now) != 0 && clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
    return false;
  }
  *nanoseconds = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
  return true;
}

bool ReadHighResolutionCounter(int64_t* ticks) { return ReadClock(ticks); }

bool HighResolutionFrequency(int64_t* ticks_per_second) {
  int64_t ignored;
  if (!ReadClock(&ignored)) return false;
  *ticks_per_second = 1000000000;
  return true;
}

uint32_t MillisecondTicks() {
  int64_t nanoseconds = 0;
  ReadClock(&nanoseconds);
  return static_cast<uint32_t>(nanoseconds / 1000000);
}

}  // namespace recordstore
