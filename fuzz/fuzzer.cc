// One libFuzzer program per entry point: FUZZ_ENTRY names it (see
// fuzz/CMakeLists.txt). A broken property stops the run like a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzing::FUZZ_ENTRY(data, size)) __builtin_trap();
  return 0;
}
