#include "decrypter/decryption.h"

#include <string.h>  // explicit_bzero

#include <algorithm>
#include <cstring>

#include "decrypter/decimal_value.h"
#include "recordstore/channels.h"
#include "recordstore/progress.h"

namespace decrypter {

using recordstore::kBlockSize;
using recordstore::RecordPlace;

namespace {

bool ReadFailed() {
  return recordstore::ChannelReadFailed(kContainerChannel) ||
         recordstore::ChannelReadFailed(kKeyFileChannel);
}

bool WriteFailed(int status) {
  return status != recordstore::kStatusDone || recordstore::ChannelWriteFailed(kTargetChannel);
}

// A needed record that is not there: a read error may have hidden it.
StepEnd MissingBlock() { return ReadFailed() ? StepEnd::kReadFailed : StepEnd::kContainerDamaged; }

ByteString BlockName(int64_t block_number) {
  ByteString name = recordstore::kBlockRecordPrefix;
  name += recordstore::DecimalText(block_number);
  return name;
}

// The decimal value of a key-file record, read a piece at a time.
int32_t ReadCount(const char* record_name) {
  RecordPlace place = recordstore::FindRecord(kKeyFileChannel, record_name);
  DecimalReading reading;
  char piece[256];
  for (int64_t offset = 0; offset < place.length && !DecimalReadingEnded(reading);
       offset += static_cast<int64_t>(sizeof piece)) {
    size_t size = static_cast<size_t>(std::min<int64_t>(sizeof piece, place.length - offset));
    ReadValueBytes(kKeyFileChannel, place, offset, piece, size);
    ContinueDecimalReading(&reading, piece, size);
  }
  return DecimalReadingValue(reading);
}

bool Needed(const KeyFile& keys) { return keys.last_block_length > 0; }

// Writes `size` restored bytes to the target: the found value's bytes from
// byte `offset` (0-based) on, each combined with key[j], read straight into
// the target channel; where the value or the file holds no byte, the key's
// byte itself. The container's position is left as it was. Returns the
// target's write status.
int WriteRestoredBytes(const RecordPlace& place, int64_t offset, const char* key, size_t size) {
  size_t held = 0;
  int status = recordstore::kStatusDone;
  if (place.found && offset < place.length) {
    held = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size),
                                                 place.length - offset));
    int64_t position = recordstore::ChannelPosition(kContainerChannel);
    recordstore::SetChannelPosition(kContainerChannel, place.value_offset + offset);
    status = recordstore::TransferXorBytes(kContainerChannel, kTargetChannel, key, held);
    if (status == recordstore::kStatusRefused) {  // nothing moved: all key bytes then
      held = 0;
      status = recordstore::kStatusDone;
    }
    recordstore::SetChannelPosition(kContainerChannel, position);
  }
  if (held < size) {
    int rest = recordstore::WriteBytes(kTargetChannel, key + held, size - held);
    if (rest != recordstore::kStatusDone) status = rest;
  }
  return status;
}

// Makes the final block's lookup from the start of the container, as if it
// were the first, and keeps what it finds. Returns true when that is what
// the first try had found. The container's position is left as it was.
bool LookUpFinalBlockFromStart(const KeyFile& keys, FinalBlock* final_block) {
  int64_t position = recordstore::ChannelPosition(kContainerChannel);
  recordstore::SetChannelPosition(kContainerChannel, 0);
  RecordPlace place =
      recordstore::FindRecord(kContainerChannel, BlockName(int64_t{keys.block_count} - 1));
  int64_t end = recordstore::ChannelPosition(kContainerChannel);
  recordstore::SetChannelPosition(kContainerChannel, position);
  bool same = place.found == final_block->place.found &&
              place.value_offset == final_block->place.value_offset &&
              place.length == final_block->place.length && end == final_block->end;
  final_block->place = place;
  final_block->end = end;
  final_block->confirmed = true;
  return same;
}

// How a pass over the full blocks ended.
enum class PassEnd { kDone, kFailed, kStartAgain };

// The lookup from the start found another record than the first try: the
// blocks are restored again from its end, unless the final block is needed
// and absent.
PassEnd Disproved(const KeyFile& keys, const FinalBlock& final_block, StepEnd* end) {
  if (Needed(keys) && !final_block.place.found) {
    *end = MissingBlock();
    return PassEnd::kFailed;
  }
  return PassEnd::kStartAgain;
}

// One pass over blocks 1 to NB - 2, from the container's position after the
// final block's lookup. While that lookup is not confirmed, each block must
// lie right where the one before it ended, the first at the start, and the
// last must end where the final block begins: then the lookup from the start
// passes exactly these records before it finds the final block's. Otherwise
// that lookup is made; when it finds something else, the pass ends with
// kStartAgain (or kFailed with *end set when the block is needed and absent).
PassEnd RestorePass(const KeyFile& keys, FinalBlock* final_block,
                    recordstore::Progress* progress, StepEnd* end) {
  recordstore::SetChannelPosition(kContainerChannel, final_block->end);
  recordstore::SetChannelPosition(kTargetChannel, 0);
  int64_t line_end = 0;  // where the records in line from the start end
  for (int64_t i = 1; i <= int64_t{keys.block_count} - 2; ++i) {
    RecordPlace place = recordstore::FindRecord(kContainerChannel, BlockName(i));
    if (!final_block->confirmed &&
        !(place.found && place.value_offset - recordstore::kRecordHeaderSize == line_end) &&
        !LookUpFinalBlockFromStart(keys, final_block)) {
      return Disproved(keys, *final_block, end);
    }
    line_end = recordstore::ChannelPosition(kContainerChannel);
    if (!place.found) {
      *end = MissingBlock();
      return PassEnd::kFailed;
    }
    int status = WriteRestoredBytes(place, 0, keys.primary_key, kBlockSize);
    if (ReadFailed()) {
      *end = StepEnd::kReadFailed;
      return PassEnd::kFailed;
    }
    if (WriteFailed(status)) {
      *end = StepEnd::kWriteFailed;
      return PassEnd::kFailed;
    }
    recordstore::UpdateProgress(progress, recordstore::ChannelPosition(kContainerChannel));
  }
  if (!final_block->confirmed &&
      line_end != final_block->place.value_offset - recordstore::kRecordHeaderSize &&
      !LookUpFinalBlockFromStart(keys, final_block)) {
    return Disproved(keys, *final_block, end);
  }
  final_block->confirmed = true;
  *end = ReadFailed() ? StepEnd::kReadFailed : StepEnd::kDone;
  return *end == StepEnd::kDone ? PassEnd::kDone : PassEnd::kFailed;
}

}  // namespace

ByteString TargetName(const ByteString& container_name) {
  if (container_name.size() <= recordstore::kSuffixSize) return ByteString();
  return container_name.substr(0, container_name.size() - recordstore::kSuffixSize);
}

ByteString KeyFileName(const ByteString& target_name) {
  return target_name + recordstore::kKeyFileSuffix;
}

void ReadValueBytes(int channel, const RecordPlace& place, int64_t offset, char* destination,
                    size_t size) {
  size_t held = 0;
  if (place.found && offset < place.length) {
    held = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size),
                                                 place.length - offset));
    int64_t position = recordstore::ChannelPosition(channel);
    recordstore::SetChannelPosition(channel, place.value_offset + offset);
    // The read zero-fills what the file does not hold; a refused one
    // leaves the bytes as they were.
    if (recordstore::ReadBytes(channel, destination, held) != recordstore::kStatusDone) held = 0;
    recordstore::SetChannelPosition(channel, position);
  }
  std::memset(destination + held, 0, size - held);
}

bool HeaderMatches() {
  RecordPlace head = recordstore::FindRecord(kKeyFileChannel, recordstore::kHeaderRecord);
  if (!head.found || head.length != recordstore::kHeaderValueSize) return false;
  char value[recordstore::kHeaderValueSize];
  ReadValueBytes(kKeyFileChannel, head, 0, value, sizeof value);
  return std::memcmp(value, recordstore::kHeaderValue, sizeof value) == 0;
}

StepEnd ReadKeyFile(KeyFile* keys) {
  RecordPlace primary = recordstore::FindRecord(kKeyFileChannel, recordstore::kPrimaryKeyRecord);
  ReadValueBytes(kKeyFileChannel, primary, 0, keys->primary_key, sizeof keys->primary_key);
  keys->secondary_key =
      recordstore::FindRecord(kKeyFileChannel, recordstore::kSecondaryKeyRecord);
  keys->last_block_length = ReadCount(recordstore::kLastBlockRecord);
  keys->block_count = ReadCount(recordstore::kBlockCountRecord);
  return ReadFailed() ? StepEnd::kReadFailed : StepEnd::kDone;
}

void WipeKeyFile(KeyFile* keys) { explicit_bzero(keys->primary_key, sizeof keys->primary_key); }

StepEnd FindFinalBlock(const KeyFile& keys, FinalBlock* final_block) {
  const ByteString name = BlockName(int64_t{keys.block_count} - 1);
  const int64_t full_blocks = int64_t{keys.block_count} - 2;
  *final_block = FinalBlock();
  if (full_blocks >= 0) {
    recordstore::SetChannelPosition(kContainerChannel,
                                    full_blocks * (recordstore::kRecordHeaderSize + kBlockSize));
    final_block->place = recordstore::MatchRecord(kContainerChannel, name);
    final_block->end = recordstore::ChannelPosition(kContainerChannel);
    // At the start it is what the lookup from the start finds.
    final_block->confirmed = full_blocks == 0;
  }
  if (!final_block->place.found) {
    recordstore::SetChannelPosition(kContainerChannel, 0);
    final_block->place = recordstore::FindRecord(kContainerChannel, name);
    final_block->end = recordstore::ChannelPosition(kContainerChannel);
    final_block->confirmed = true;
  }
  if (Needed(keys) && !final_block->place.found) return MissingBlock();
  return ReadFailed() ? StepEnd::kReadFailed : StepEnd::kDone;
}

StepEnd RestoreFullBlocks(const KeyFile& keys, FinalBlock* final_block) {
  recordstore::Progress progress =
      recordstore::StartProgress(recordstore::ChannelSize(kContainerChannel));
  StepEnd end = StepEnd::kDone;
  // A second pass is made at most once: the lookup is confirmed after it.
  while (RestorePass(keys, final_block, &progress, &end) == PassEnd::kStartAgain) {
  }
  recordstore::EndProgress(&progress);
  return end;
}

StepEnd RestoreFinalBlock(const KeyFile& keys, const FinalBlock& final_block) {
  // A source that was a whole number of blocks has no secondary key.
  bool primary = keys.secondary_key.length == 0 && keys.last_block_length == kBlockSize;
  char key[kBlockSize];
  StepEnd end = StepEnd::kDone;
  for (int64_t offset = 0; offset < keys.last_block_length; offset += kBlockSize) {
    size_t size = static_cast<size_t>(std::min<int64_t>(kBlockSize, keys.last_block_length - offset));
    if (primary) {
      std::memcpy(key, keys.primary_key, size);
    } else {
      ReadValueBytes(kKeyFileChannel, keys.secondary_key, offset, key, size);
    }
    int status = WriteRestoredBytes(final_block.place, offset, key, size);
    if (ReadFailed()) {
      end = StepEnd::kReadFailed;
      break;
    }
    if (WriteFailed(status)) {
      end = StepEnd::kWriteFailed;
      break;
    }
  }
  explicit_bzero(key, sizeof key);
  return end;
}

}  // namespace decrypter
