#include "encrypter/encryption.h"

#include <string.h>  // explicit_bzero

#include "encrypter/random_source.h"
#include "recordstore/channels.h"
#include "recordstore/platform.h"
#include "recordstore/progress.h"
#include "recordstore/records.h"

namespace encrypter {

using recordstore::ByteString;
using recordstore::kBlockSize;

namespace {

constexpr int64_t kMaxSourceSize = static_cast<int64_t>(recordstore::kMaxBlocks) * kBlockSize;
constexpr int kKeyFileMode = 0600;
constexpr int kContainerMode = 0666;

// A missing name, a folder, a device or a file without read permission is
// refused before the channel is opened.
bool IsReadableRegularFile(const ByteString& name) {
  recordstore::FileHandle file = recordstore::OpenFile(name, recordstore::FileAccess::kReadOnly);
  if (file == recordstore::kNoFile) return false;
  bool regular = recordstore::IsRegularFile(file);
  recordstore::CloseFile(file);
  return regular;
}

bool WritesFailed() {
  return recordstore::ChannelWriteFailed(kContainerChannel) ||
         recordstore::ChannelWriteFailed(kKeyFileChannel);
}

// Draws `size` key bytes from a source seeded with `seed`, then wipes the
// generator state, from which the key could be drawn again.
void DrawKey(double seed, char* key, size_t size) {
  RandomSource source;
  SeedRandomSource(&source, seed);
  FillKey(&source, key, size);
  explicit_bzero(&source, sizeof source);
}

// Writes the next block's record: its name and length, then the next `size`
// bytes of the source combined with the key, read straight into the
// container's buffer. False when the read failed or found fewer bytes than
// the source had when it was opened.
bool EncryptBlock(int32_t number, const char* key, int32_t size) {
  ByteString name = recordstore::kBlockRecordPrefix;
  name += recordstore::DecimalText(number);
  recordstore::WriteRecordHeader(kContainerChannel, name, static_cast<size_t>(size));
  int64_t before = recordstore::ChannelPosition(kSourceChannel);
  recordstore::TransferXorBytes(kSourceChannel, kContainerChannel, key, static_cast<size_t>(size));
  return !recordstore::ChannelReadFailed(kSourceChannel) &&
         recordstore::ChannelPosition(kSourceChannel) == before + size;
}

// The block loop proper; EncryptBlocks wipes the keys whatever it returns.
Outcome EncryptEachBlock(Encryption* run, char* secondary_key) {
  int64_t position = 0;
  recordstore::Progress progress = recordstore::StartProgress(run->source_size);
  while (position < run->source_size) {
    int32_t number = run->blocks + 1;
    int64_t remaining = run->source_size - position;
    int32_t length = remaining >= kBlockSize ? kBlockSize : static_cast<int32_t>(remaining);
    const char* key = run->primary_key;
    if (length < kBlockSize) {
      DrawKey(SecondarySeed(number), secondary_key, static_cast<size_t>(length));
      recordstore::WriteRecord(kKeyFileChannel, recordstore::kSecondaryKeyRecord, secondary_key,
                               static_cast<size_t>(length));
      key = secondary_key;
    }
    if (!EncryptBlock(number, key, length)) return Outcome::kReadFailed;
    if (WritesFailed()) return Outcome::kWriteFailed;
    run->blocks = number;
    run->last_block_length = length;
    position += length;
    recordstore::UpdateProgress(&progress, position);
  }
  recordstore::EndProgress(&progress);
  return Outcome::kDone;
}

}  // namespace

Outcome OpenFiles(const ByteString& source_name, Encryption* run) {
  if (!IsReadableRegularFile(source_name) ||
      recordstore::OpenChannel(kSourceChannel, source_name, recordstore::OpenPolicy::kReadOnly) !=
          recordstore::kStatusDone) {
    return Outcome::kSourceUnreadable;
  }
  run->source_size = recordstore::ChannelSize(kSourceChannel);
  if (run->source_size > kMaxSourceSize) return Outcome::kSourceTooLarge;
  if (recordstore::OpenTemporaryChannel(kContainerChannel,
                                        source_name + recordstore::kContainerSuffix,
                                        recordstore::NewFileMode(kContainerMode)) !=
          recordstore::kStatusDone ||
      recordstore::OpenTemporaryChannel(kKeyFileChannel, source_name + recordstore::kKeyFileSuffix,
                                        kKeyFileMode) != recordstore::kStatusDone) {
    return Outcome::kWriteFailed;
  }
  return Outcome::kDone;
}

Outcome WriteKeyFileHeader(Encryption* run) {
  recordstore::WriteRecord(kKeyFileChannel, recordstore::kHeaderRecord, recordstore::kHeaderValue,
                           recordstore::kHeaderValueSize);
  DrawKey(PrimarySeed(), run->primary_key, kBlockSize);
  recordstore::WriteRecord(kKeyFileChannel, recordstore::kPrimaryKeyRecord, run->primary_key,
                           kBlockSize);
  return WritesFailed() ? Outcome::kWriteFailed : Outcome::kDone;
}

Outcome EncryptBlocks(Encryption* run) {
  char secondary_key[kBlockSize];
  Outcome outcome = EncryptEachBlock(run, secondary_key);
  explicit_bzero(secondary_key, sizeof secondary_key);
  explicit_bzero(run->primary_key, sizeof run->primary_key);
  if (outcome != Outcome::kDone) return outcome;
  recordstore::WriteRecord(kKeyFileChannel, recordstore::kBlockCountRecord,
                           recordstore::DecimalText(int64_t{run->blocks} + 1));
  recordstore::WriteRecord(kKeyFileChannel, recordstore::kLastBlockRecord,
                           recordstore::DecimalText(run->last_block_length));
  return WritesFailed() ? Outcome::kWriteFailed : Outcome::kDone;
}

Outcome CommitFiles() {
  // The container goes first: a key file with a valid header is what lets
  // the decrypter go ahead and overwrite the source's name, so it must never
  // stand beside a container that is not yet in place. A failure between the
  // two renames leaves the new container with the old key file (or none);
  // the source itself is untouched, so a new run rebuilds the pair.
  return recordstore::CommitChannels({kContainerChannel, kKeyFileChannel}) ? Outcome::kDone
                                                                           : Outcome::kWriteFailed;
}

}  // namespace encrypter
