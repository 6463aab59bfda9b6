// Entry points of the fuzz targets. The libFuzzer programs (fuzzer.cc) and the
// test that replays the seed corpus and every input that once failed
// (tests/fuzz_regression_test.cc) call the same functions. Each takes
// arbitrary bytes and returns false when a property broke; a crash, a hang or
// a sanitizer report is a failure as well.
#ifndef FUZZ_FUZZ_ENTRIES_H_
#define FUZZ_FUZZ_ENTRIES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzing {

// The bytes are a record file: lookups of several names from several start
// positions, ReadRecord and FindRecord side by side.
bool FuzzReadRecord(const uint8_t* data, size_t size);

// The bytes are redirected standard input: answers until it is exhausted;
// and the same bytes as one typed line.
bool FuzzAnswer(const uint8_t* data, size_t size);

// The bytes are the text of "NB" or "GLB".
bool FuzzDecimalValue(const uint8_t* data, size_t size);

// The bytes are a key file and a container (see decryption_entry.cc for the
// split); a whole decryption run on them.
bool FuzzDecryption(const uint8_t* data, size_t size);

// A private scratch folder for `target` (in /dev/shm when there is one), the
// same on every call, removed with its files when the process ends.
std::string ScratchFolder(const std::string& target);
// The names of a folder's entries.
std::vector<std::string> FolderEntries(const std::string& folder);
// Replaces the file's contents. Returns false on a failure.
bool WriteScratchFile(const std::string& path, const uint8_t* data, size_t size);

}  // namespace fuzzing

#endif  // FUZZ_FUZZ_ENTRIES_H_
