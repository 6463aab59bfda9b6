// Fuzz target: ReadRecord and FindRecord on an arbitrary record file, from
// several start positions, each lookup made with both on two channels over
// the same file.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_entries.h"
#include "recordstore/channels.h"
#include "recordstore/records.h"

namespace fuzzing {

namespace {

using recordstore::ByteString;

// The names the programs look up, and awkward ones: letter case, blanks,
// zero bytes, the empty name, a name longer than any stored one.
const ByteString kNames[] = {"Head", "PriKey", "sekkey", " NB", "GLB ", "B1",
                             "B2",   "B99999", "",       ByteString("B1\0", 3),
                             ByteString("\0Head", 5),   "Seven77"};

// Both lookups must agree on what they found and on the position and end
// test after it; the value holds exactly the file's bytes at its offset, never
// more than the file has.
bool LookUpBoth(const ByteString& name, const ByteString& file, int64_t limit) {
  const recordstore::RecordValue value = recordstore::ReadRecord(1, name);
  const recordstore::RecordPlace place = recordstore::FindRecord(2, name);
  const int64_t size = static_cast<int64_t>(file.size());
  if (recordstore::ChannelPosition(1) != recordstore::ChannelPosition(2)) return false;
  if (recordstore::AtEnd(1) != recordstore::AtEnd(2)) return false;
  if (recordstore::ChannelPosition(1) < 0 || recordstore::ChannelPosition(1) > limit) return false;
  if (value.length < 0 || static_cast<int64_t>(value.bytes.size()) > value.length) return false;
  if (!place.found) return value.length == 0 && value.bytes.empty();
  if (value.length != place.length || place.value_offset < 0) return false;
  const int64_t held = std::clamp<int64_t>(size - place.value_offset, 0, value.length);
  if (static_cast<int64_t>(value.bytes.size()) != held) return false;
  return held == 0 || value.bytes == file.substr(static_cast<size_t>(place.value_offset),
                                                 static_cast<size_t>(held));
}

}  // namespace

bool FuzzReadRecord(const uint8_t* data, size_t size) {
  const std::string path = ScratchFolder("read_record") + "/records";
  if (!WriteScratchFile(path, data, size)) return false;
  const ByteString file(reinterpret_cast<const char*>(data), size);
  bool holds = recordstore::OpenChannel(1, path, recordstore::OpenPolicy::kReadOnly) ==
                   recordstore::kStatusDone &&
               recordstore::OpenChannel(2, path, recordstore::OpenPolicy::kReadOnly) ==
                   recordstore::kStatusDone;
  const int64_t file_size = static_cast<int64_t>(size);
  // The start, a position taken from the data, the middle, the end and past
  // it; the first round starts at 0 and each lookup goes on from the last.
  const int64_t from_data = size >= 2 ? (data[0] | (data[1] << 8)) % (file_size + 1) : 0;
  const int64_t starts[] = {0, from_data, file_size / 2, file_size, file_size + 3};
  for (int64_t start : starts) {
    recordstore::SetChannelPosition(1, start);
    recordstore::SetChannelPosition(2, start);
    for (const ByteString& name : kNames) {
      holds = LookUpBoth(name, file, std::max(file_size, start)) && holds;
    }
  }
  recordstore::CloseAllChannels();
  return holds;
}

}  // namespace fuzzing
