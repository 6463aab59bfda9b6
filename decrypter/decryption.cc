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

}  // namespace

ByteString TargetName(const ByteString& container_name) {
  if (container_name.size() <= recordstore::kSuffixSize) return ByteString();
  return container_name.substr(0, container_name.size() - recordstore::kSuffixSize);
}

ByteString KeyFileName(const ByteString& target_name) {
  return target_name + recordstore::kKeyFileSuffix;
}

void ReadValueBytes(int channel, const RecordPlace& place, int64_t offset, char* destination,
                    size_t size, const char* key) {
  size_t held = 0;
  if (place.found && offset < place.length) {
    held = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size),
                                                 place.length - offset));
    int64_t position = recordstore::ChannelPosition(channel);
    recordstore::SetChannelPosition(channel, place.value_offset + offset);
    // The read zero-fills what the file does not hold; a refused one
    // leaves the bytes as they were.
    int status = key == nullptr ? recordstore::ReadBytes(channel, destination, held)
                                : recordstore::ReadXorBytes(channel, destination, key, held);
    if (status != recordstore::kStatusDone) held = 0;
    recordstore::SetChannelPosition(channel, position);
  }
  if (key == nullptr) {
    std::memset(destination + held, 0, size - held);
  } else {
    std::memcpy(destination + held, key + held, size - held);
  }
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

StepEnd FindFinalBlock(const KeyFile& keys, RecordPlace* final_block) {
  *final_block = recordstore::FindRecord(kContainerChannel,
                                         BlockName(int64_t{keys.block_count} - 1));
  if (keys.last_block_length > 0 && !final_block->found) return MissingBlock();
  return ReadFailed() ? StepEnd::kReadFailed : StepEnd::kDone;
}

StepEnd RestoreFullBlocks(const KeyFile& keys) {
  char block[kBlockSize];
  StepEnd end = StepEnd::kDone;
  recordstore::Progress progress =
      recordstore::StartProgress(recordstore::ChannelSize(kContainerChannel));
  for (int64_t i = 1; i <= int64_t{keys.block_count} - 2; ++i) {
    RecordPlace place = recordstore::FindRecord(kContainerChannel, BlockName(i));
    if (!place.found) {
      end = MissingBlock();
      break;
    }
    ReadValueBytes(kContainerChannel, place, 0, block, sizeof block, keys.primary_key);
    if (ReadFailed()) {
      end = StepEnd::kReadFailed;
      break;
    }
    if (WriteFailed(recordstore::WriteBytes(kTargetChannel, block, sizeof block))) {
      end = StepEnd::kWriteFailed;
      break;
    }
    recordstore::UpdateProgress(&progress, recordstore::ChannelPosition(kContainerChannel));
  }
  recordstore::EndProgress(&progress);
  explicit_bzero(block, sizeof block);
  return end;
}

StepEnd RestoreFinalBlock(const KeyFile& keys, const RecordPlace& final_block) {
  // A source that was a whole number of blocks has no secondary key.
  bool primary = keys.secondary_key.length == 0 && keys.last_block_length == kBlockSize;
  char key[kBlockSize];
  char block[kBlockSize];
  StepEnd end = StepEnd::kDone;
  for (int64_t offset = 0; offset < keys.last_block_length; offset += kBlockSize) {
    size_t size = static_cast<size_t>(std::min<int64_t>(kBlockSize, keys.last_block_length - offset));
    if (primary) {
      std::memcpy(key, keys.primary_key, size);
    } else {
      ReadValueBytes(kKeyFileChannel, keys.secondary_key, offset, key, size);
    }
    ReadValueBytes(kContainerChannel, final_block, offset, block, size, key);
    if (ReadFailed()) {
      end = StepEnd::kReadFailed;
      break;
    }
    if (WriteFailed(recordstore::WriteBytes(kTargetChannel, block, size))) {
      end = StepEnd::kWriteFailed;
      break;
    }
  }
  explicit_bzero(key, sizeof key);
  explicit_bzero(block, sizeof block);
  return end;
}

}  // namespace decrypter
