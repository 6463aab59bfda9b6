// The decrypter's file work, step by step: names derived from the container
// name, the key file's header test and values, and the restoration of the
// blocks into the target. The run (main.cc) prints the log between the steps
// and ends the program; these functions print nothing.
//
// Memory stays bounded whatever the files say: record values are found by
// position (FindRecord) and read at most one block at a time.
#ifndef DECRYPTER_DECRYPTION_H_
#define DECRYPTER_DECRYPTION_H_

#include <cstddef>
#include <cstdint>

#include "recordstore/bytes.h"
#include "recordstore/record_format.h"
#include "recordstore/records.h"

namespace decrypter {

using recordstore::ByteString;

constexpr int kContainerChannel = 1;
constexpr int kTargetChannel = 2;
constexpr int kKeyFileChannel = 3;

// The largest "NB" accepted: the final block is block NB - 1, and no
// container holds more than kMaxBlocks blocks.
constexpr int32_t kMaxBlockCount = recordstore::kMaxBlocks + 1;

// The container name without its last four bytes; empty for four bytes or
// fewer.
ByteString TargetName(const ByteString& container_name);
// The target name followed by ".VNS".
ByteString KeyFileName(const ByteString& target_name);

// Reads `size` bytes of a found value from byte `offset` (0-based) of the
// value on into `destination`. Bytes past the value's length, past the end of
// the file, or of a place not found are 0. When `key` is given, byte j comes
// out combined with key[j] by exclusive or. The channel's position is left as
// it was.
void ReadValueBytes(int channel, const recordstore::RecordPlace& place, int64_t offset,
                    char* destination, size_t size, const char* key = nullptr);

// Looks up "Head" on the key-file channel. True when its value is exactly the
// 18 header bytes; letter case counts and nothing is trimmed.
bool HeaderMatches();

// How a step ended.
enum class StepEnd {
  kDone,
  kReadFailed,        // a read on the container or the key file failed
  kWriteFailed,       // a write to the target failed
  kContainerDamaged,  // a needed block record is absent
};

// What the run takes from the key file.
struct KeyFile {
  // The first kBlockSize bytes of "PriKey"; 0 past its end.
  char primary_key[recordstore::kBlockSize];
  // Where "SekKey" is; its bytes are read block by block as needed.
  recordstore::RecordPlace secondary_key;
  int32_t last_block_length = 0;  // "GLB"
  int32_t block_count = 0;        // "NB"
};

// Looks up "PriKey", "SekKey", "GLB" and "NB" on the key-file channel, in
// this order. An absent record reads as an empty value. Returns kDone, or
// kReadFailed when a read on the key file has failed since it was opened.
StepEnd ReadKeyFile(KeyFile* keys);
// Overwrites the key bytes (also where the compiler sees no later use).
void WipeKeyFile(KeyFile* keys);

// Looks up the final block, block NB - 1, on the container channel from its
// start, passing over the values on the way. The block is needed when the
// last block length is above 0. Returns kDone; kContainerDamaged when it is
// needed and absent; kReadFailed after a failed read.
StepEnd FindFinalBlock(const KeyFile& keys, recordstore::RecordPlace* final_block);

// Restores blocks 1 to NB - 2 with the primary key: per block one lookup,
// 16384 bytes (0 past the record's end) combined with the key, one write to
// the target channel. Shows the progress line of progress.h, measured in
// container bytes, while the blocks go. Returns kDone; at the first block
// that fails, kContainerDamaged (record absent), kReadFailed or kWriteFailed.
StepEnd RestoreFullBlocks(const KeyFile& keys);

// Restores the final block: the last block length in bytes (none when it is
// 0 or below), combined with "SekKey", or with the primary key when "SekKey"
// is empty and the block is a full one. Written in pieces of at most 16384
// bytes. Returns kDone, kReadFailed or kWriteFailed.
StepEnd RestoreFinalBlock(const KeyFile& keys, const recordstore::RecordPlace& final_block);

}  // namespace decrypter

#endif  // DECRYPTER_DECRYPTION_H_
