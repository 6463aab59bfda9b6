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
// the file, or of a place not found are 0. The channel's position is left as
// it was.
void ReadValueBytes(int channel, const recordstore::RecordPlace& place, int64_t offset,
                    char* destination, size_t size);

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

// The final block's lookup, block NB - 1 from the start of the container. It
// is first tried where the encrypter puts that block, behind NB - 2 records
// of full blocks, which spares a pass over every record in between. Whether
// a lookup from the start finds the same record shows as the full blocks are
// restored: their records lie in line from the start up to it.
struct FinalBlock {
  recordstore::RecordPlace place;
  int64_t end = 0;         // the container's position after the lookup
  bool confirmed = false;  // known to be what the lookup from the start finds
};

// Looks up the final block (see FinalBlock), passing over no value on the
// way. The block is needed when the last block length is above 0. Returns
// kDone; kContainerDamaged when it is needed and absent; kReadFailed after a
// failed read.
StepEnd FindFinalBlock(const KeyFile& keys, FinalBlock* final_block);

// Restores blocks 1 to NB - 2 with the primary key: per block one lookup,
// 16384 bytes (key bytes past the record's end) combined with the key
// straight into the target channel. Shows the progress line of progress.h,
// measured in container bytes, while the blocks go. When the final block's
// lookup turns out to differ from the lookup from the start, that lookup is
// made, and the blocks are restored again from its end when needed. Returns
// kDone; at the first block that fails, kContainerDamaged (record absent, or
// the final block when it is needed), kReadFailed or kWriteFailed.
StepEnd RestoreFullBlocks(const KeyFile& keys, FinalBlock* final_block);

// Restores the final block: the last block length in bytes (none when it is
// 0 or below), combined with "SekKey", or with the primary key when "SekKey"
// is empty and the block is a full one. Written in pieces of at most 16384
// bytes. Returns kDone, kReadFailed or kWriteFailed.
StepEnd RestoreFinalBlock(const KeyFile& keys, const FinalBlock& final_block);

}  // namespace decrypter

#endif  // DECRYPTER_DECRYPTION_H_
