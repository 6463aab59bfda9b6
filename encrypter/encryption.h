// The file work of one encryption run, step by step: the source on channel 1,
// the container (temporary until committed) on channel 2, the key file
// (likewise) on channel 3. Each step returns how it ended; the caller prints
// the matching line and ends the program on anything but kDone.
#ifndef ENCRYPTER_ENCRYPTION_H_
#define ENCRYPTER_ENCRYPTION_H_

#include <cstdint>

#include "recordstore/bytes.h"
#include "recordstore/record_format.h"

namespace encrypter {

constexpr int kSourceChannel = 1;
constexpr int kContainerChannel = 2;
constexpr int kKeyFileChannel = 3;

enum class Outcome {
  kDone,
  kSourceUnreadable,  // missing, not a regular file, or not readable
  kSourceTooLarge,    // more than kMaxBlocks blocks
  kReadFailed,        // a read failed or the source shrank
  kWriteFailed,       // a write, flush, fsync, close or rename failed
};

// What a run carries from step to step.
struct Encryption {
  int64_t source_size = 0;  // measured when the source was opened
  int32_t blocks = 0;       // container records written so far
  int32_t last_block_length = 0;
  char primary_key[recordstore::kBlockSize] = {};
};

// Opens the source read-only and measures it, then the temporary container
// (0666 less the umask) and key file (0600) beside their final names, the
// source name plus ".VNZ" and ".VNS". Returns kDone; kSourceUnreadable or
// kSourceTooLarge before anything is created; kWriteFailed when a temporary
// file cannot be created.
Outcome OpenFiles(const recordstore::ByteString& source_name, Encryption* run);

// Writes "Head" and "PriKey" (a freshly drawn primary key, kept in `run`) to
// the key file. Returns kDone or kWriteFailed.
Outcome WriteKeyFileHeader(Encryption* run);

// Encrypts the source block by block into container records, a final short
// block with its own secondary key (written to the key file first), then
// writes "NB" (blocks + 1) and "GLB" (last block length) to the key file and
// wipes the primary key. Shows the progress line of progress.h while the
// blocks go. Returns kDone, kReadFailed or kWriteFailed.
Outcome EncryptBlocks(Encryption* run);

// Flushes, fsyncs and renames the container, then the key file, over their
// final names. Returns kDone, or kWriteFailed with both temporary files
// removed when the failure came before the first rename.
Outcome CommitFiles();

}  // namespace encrypter

#endif  // ENCRYPTER_ENCRYPTION_H_
