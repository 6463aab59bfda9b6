// Fuzz target: a whole decryption of an arbitrary key file and container.
// The first two bytes (little-endian) give the key file's size, the next
// bytes are the key file and the rest the container. The steps are the
// decrypter's own, in its order. The target may grow to 1 MiB; beyond that
// its writes fail (RLIMIT_FSIZE), which bounds what a key file can ask for.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "decrypter/decryption.h"
#include "fuzz/fuzz_entries.h"
#include "recordstore/channels.h"

namespace fuzzing {

namespace {

constexpr rlim_t kTargetLimit = 1 << 20;

// The decrypter's steps from opening to the committed target. Returns true
// when the target was committed, and then its size in *size.
bool Decrypt(const std::string& container, const std::string& key_file,
             const std::string& target, int64_t* size) {
  using decrypter::StepEnd;
  recordstore::OpenChannel(decrypter::kContainerChannel, container,
                           recordstore::OpenPolicy::kReadOnly);
  recordstore::OpenChannel(decrypter::kKeyFileChannel, key_file,
                           recordstore::OpenPolicy::kReadOnly);
  static decrypter::KeyFile keys;
  bool committed = false;
  if (decrypter::HeaderMatches() && decrypter::ReadKeyFile(&keys) == StepEnd::kDone &&
      keys.block_count <= decrypter::kMaxBlockCount) {
    decrypter::FinalBlock final_block;
    if (decrypter::FindFinalBlock(keys, &final_block) == StepEnd::kDone &&
        recordstore::OpenTemporaryChannel(decrypter::kTargetChannel, target, 0600) ==
            recordstore::kStatusDone &&
        decrypter::RestoreFullBlocks(keys, &final_block) == StepEnd::kDone &&
        decrypter::RestoreFinalBlock(keys, final_block) == StepEnd::kDone) {
      committed = recordstore::CommitChannels({decrypter::kTargetChannel});
    }
    *size = int64_t{recordstore::kBlockSize} * std::max<int64_t>(int64_t{keys.block_count} - 2, 0) +
            std::max<int32_t>(keys.last_block_length, 0);
  }
  decrypter::WipeKeyFile(&keys);
  return committed;
}

}  // namespace

bool FuzzDecryption(const uint8_t* data, size_t size) {
  if (size < 2) return true;
  const size_t key_size = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
  const std::string folder = ScratchFolder("decryption");
  const std::string target = folder + "/data";
  if (!WriteScratchFile(folder + "/data.VNS", data + 2, key_size) ||
      !WriteScratchFile(folder + "/data.VNZ", data + 2 + key_size, size - 2 - key_size)) {
    return false;
  }
  unlink(target.c_str());

  signal(SIGXFSZ, SIG_IGN);
  struct rlimit before;
  getrlimit(RLIMIT_FSIZE, &before);
  struct rlimit limit = before;
  limit.rlim_cur = std::min(kTargetLimit, before.rlim_cur);
  setrlimit(RLIMIT_FSIZE, &limit);
  int64_t expected_size = 0;
  const bool committed = Decrypt(folder + "/data.VNZ", folder + "/data.VNS", target,
                                 &expected_size);
  setrlimit(RLIMIT_FSIZE, &before);
  const bool closed = recordstore::CloseAllChannels();

  // Committed: the target has the size the key file asks for, and the
  // inputs closed cleanly. Otherwise no target (a failed temporary target
  // makes CloseAllChannels report false). Never a temporary file behind.
  struct stat st;
  const bool target_there = stat(target.c_str(), &st) == 0;
  return (closed || !committed) && target_there == committed &&
         FolderEntries(folder).size() == (committed ? 3u : 2u) &&
         (!committed || st.st_size == expected_size);
}

}  // namespace fuzzing
