// Channels over positioned file reads and writes. Each open channel has one
// buffer that holds either a read-ahead window of the file or a run of
// pending bytes to be written at one offset; never both. A complete run is
// written in the background from a second buffer while the next one fills;
// every operation that needs the file as written waits for it first.
#include "recordstore/channels.h"

#include <string.h>  // explicit_bzero

#include <algorithm>
#include <cstring>
#include <memory>

#include "recordstore/platform.h"
#include "recordstore/xor_bytes.h"

namespace recordstore {

namespace {

constexpr int64_t kBufferSize = 1024 * 1024;
// A read-ahead window takes only this much of the buffer: every page of
// memory touched for the first time has its cost.
constexpr int64_t kWindowSize = 256 * 1024;

enum class Access { kRead, kWrite, kReadWrite };
enum class BufferUse { kEmpty, kReadWindow, kPendingWrite };

struct Channel {
  bool open = false;
  FileHandle file = kNoFile;
  Access access = Access::kRead;
  int64_t recorded_size = 0;
  int64_t position = 0;
  // The file's end as far as this channel knows: its size at opening or
  // the end of any later write, whichever is further.
  int64_t known_end = 0;
  std::unique_ptr<char[]> buffer;
  // A finished write run goes to the file in the background from here while
  // the next one fills `buffer` (see HandOffPending).
  std::unique_ptr<char[]> spare;
  int64_t spare_used = 0;
  BufferUse use = BufferUse::kEmpty;
  int64_t buffer_offset = 0;  // file offset of buffer[0]
  int64_t buffer_length = 0;  // bytes valid (window) or pending (write run)
  // Where the last read ended; -1 before the first. Only a read that goes
  // on from there fills a read-ahead window when it misses the window; any
  // other fetches just its own bytes, so that a lookup that passes over
  // values by position reads none of them.
  int64_t read_end = -1;
  int64_t bytes_fetched = 0;
  int64_t buffer_used = 0;    // how far the buffer has ever been filled
  bool write_failed = false;
  bool read_failed = false;
  bool temporary = false;
  ByteString temporary_name;
  ByteString final_name;
};

Channel channels[kLastChannel + 1];

Channel* OpenChannelAt(int channel) {
  if (channel < kFirstChannel || channel > kLastChannel) return nullptr;
  Channel* c = &channels[channel];
  return c->open ? c : nullptr;
}

bool CanRead(const Channel& c) { return c.access != Access::kWrite; }
bool CanWrite(const Channel& c) { return c.access != Access::kRead; }

// The run being written in the background, if any: its channel and length.
// Its bytes are in that channel's spare buffer.
Channel* writing_channel = nullptr;
int64_t writing_size = 0;

// A write that stored fewer bytes than it had: the failure is kept, and the
// file's end is where it really is.
void KeepWriteFailure(Channel* c) {
  c->write_failed = true;
  int64_t size = FileSize(c->file);
  if (size >= 0) c->known_end = size;
}

// Waits for the background write, if any. Returns false when it failed (the
// failure is kept with its channel).
bool SettleBackgroundWrite() {
  if (writing_channel == nullptr) return true;
  Channel* c = writing_channel;
  writing_channel = nullptr;
  if (FinishBackgroundWrite() == writing_size) return true;
  KeepWriteFailure(c);
  return false;
}

// The same for the channel's own bytes only: afterwards its file holds every
// byte handed off so far. Returns false when their write failed.
bool Settle(Channel* c) { return writing_channel != c || SettleBackgroundWrite(); }

// Writes out a pending run, after any run of the channel's still being
// written. Returns false (and keeps the failure) when fewer bytes were
// stored; the pending bytes are dropped either way.
bool FlushPending(Channel* c) {
  bool settled = Settle(c);
  if (c->use != BufferUse::kPendingWrite) return settled;
  int64_t stored = WriteFileAt(c->file, c->buffer.get(), c->buffer_length, c->buffer_offset);
  bool done = stored == c->buffer_length;
  c->use = BufferUse::kEmpty;
  c->buffer_length = 0;
  if (!done) KeepWriteFailure(c);
  return settled && done;
}

// Starts writing the pending run in the background, after the run being
// written before it (of any channel); the channel goes on with its other
// buffer. Returns false when an earlier run of the channel's failed.
bool HandOffPending(Channel* c) {
  const bool own = writing_channel == c;
  const bool settled = SettleBackgroundWrite() || !own;
  if (!c->spare) c->spare.reset(new char[kBufferSize]);
  std::swap(c->buffer, c->spare);
  std::swap(c->buffer_used, c->spare_used);
  writing_channel = c;
  writing_size = c->buffer_length;
  StartBackgroundWrite(c->file, c->spare.get(), c->buffer_length, c->buffer_offset);
  c->use = BufferUse::kEmpty;
  c->buffer_length = 0;
  return settled;
}

void StartChannel(Channel* c, FileHandle file, Access access, int64_t size) {
  c->open = true;
  c->file = file;
  c->access = access;
  c->recorded_size = size;
  c->position = 0;
  c->known_end = size;
  if (!c->buffer) c->buffer.reset(new char[kBufferSize]);
  c->use = BufferUse::kEmpty;
  c->buffer_offset = 0;
  c->buffer_length = 0;
  c->read_end = -1;
  c->bytes_fetched = 0;
  c->write_failed = false;
  c->read_failed = false;
  c->temporary = false;
  c->temporary_name.clear();
  c->final_name.clear();
}

// Gives the buffers back, wiped first: they may have held key bytes.
void ReleaseBuffer(Channel* c) {
  Settle(c);
  if (c->buffer) explicit_bzero(c->buffer.get(), static_cast<size_t>(c->buffer_used));
  if (c->spare) explicit_bzero(c->spare.get(), static_cast<size_t>(c->spare_used));
  c->buffer_used = 0;
  c->spare_used = 0;
  c->buffer.reset();
  c->spare.reset();
}

// Writes out and closes the file; the channel is not open afterwards.
// Returns false when anything failed since the channel was opened.
bool FinishChannel(Channel* c) {
  bool flushed = FlushPending(c);
  bool closed = CloseFile(c->file);
  bool clean = flushed && closed && !c->write_failed;
  c->open = false;
  c->file = kNoFile;
  ReleaseBuffer(c);  // memory goes back with the channel
  c->use = BufferUse::kEmpty;
  return clean;
}

// Closes the file and removes the temporary file. Returns false when the
// removal failed.
bool DropTemporary(Channel* c) {
  Settle(c);
  c->use = BufferUse::kEmpty;  // pending bytes are not wanted
  CloseFile(c->file);
  bool removed = RemoveFile(c->temporary_name);
  UnregisterTemporaryFile(c->temporary_name);
  c->open = false;
  c->file = kNoFile;
  c->temporary = false;
  ReleaseBuffer(c);
  return removed;
}

}  // namespace

int OpenChannel(int channel, const ByteString& name, OpenPolicy policy) {
  if (channel < kFirstChannel || channel > kLastChannel) return kStatusRefused;
  Channel* c = &channels[channel];
  if (c->open) return kStatusRefused;
  FileHandle file = kNoFile;
  Access access = Access::kRead;
  switch (policy) {
    case OpenPolicy::kUpdateOrCreate:
      access = Access::kReadWrite;
      file = OpenFile(name, FileAccess::kReadWriteExisting);
      // Only a name that is free is created: an existing file is never cut.
      if (file == kNoFile) file = OpenFile(name, FileAccess::kReadWriteNew);
      if (file == kNoFile) {
        access = Access::kRead;
        file = OpenFile(name, FileAccess::kReadOnly);
      }
      break;
    case OpenPolicy::kReadOnly:
      access = Access::kRead;
      file = OpenFile(name, FileAccess::kReadOnly);
      break;
    case OpenPolicy::kWriteWithTruncation:
      access = Access::kWrite;
      file = OpenFile(name, FileAccess::kWriteTruncate);
      break;
  }
  if (file == kNoFile) return kStatusCannotOpen;
  int64_t size = FileSize(file);
  if (size < 0) {
    CloseFile(file);
    return kStatusRefused;
  }
  StartChannel(c, file, access, size);
  return kStatusDone;
}

int OpenTemporaryChannel(int channel, const ByteString& final_name, int mode) {
  if (channel < kFirstChannel || channel > kLastChannel) return kStatusRefused;
  Channel* c = &channels[channel];
  if (c->open) return kStatusRefused;
  ByteString temporary_name;
  FileHandle file = CreateTemporaryFile(final_name, mode, &temporary_name);
  if (file == kNoFile) return kStatusCannotOpen;
  RegisterTemporaryFile(temporary_name);
  StartChannel(c, file, Access::kReadWrite, 0);
  c->temporary = true;
  c->temporary_name = temporary_name;
  c->final_name = final_name;
  return kStatusDone;
}

bool CommitChannels(std::initializer_list<int> channel_list) {
  bool ok = true;
  for (int channel : channel_list) {
    Channel* c = OpenChannelAt(channel);
    if (c == nullptr || !c->temporary) {
      ok = false;
      continue;
    }
    if (!FlushPending(c) || c->write_failed || !SyncFile(c->file)) ok = false;
    if (!CloseFile(c->file)) ok = false;
    c->file = kNoFile;
    c->open = false;
    ReleaseBuffer(c);
  }
  // Every file is closed now; the renames only begin when all were clean.
  // Once one rename is done the others follow, whatever a folder's fsync
  // said, so that the files stay a set; a failed rename stops the rest.
  bool renaming = ok;
  for (int channel : channel_list) {
    if (channel < kFirstChannel || channel > kLastChannel) continue;
    Channel* c = &channels[channel];
    if (!c->temporary) continue;
    if (renaming && RenameFile(c->temporary_name, c->final_name)) {
      if (!SyncFolderOf(c->final_name)) ok = false;
    } else {
      renaming = false;
      ok = false;
      RemoveFile(c->temporary_name);
    }
    UnregisterTemporaryFile(c->temporary_name);
    c->temporary = false;
  }
  return ok;
}

bool DiscardChannel(int channel) {
  Channel* c = OpenChannelAt(channel);
  if (c == nullptr || !c->temporary) return false;
  return DropTemporary(c);
}

bool CloseAllChannels() {
  bool clean = true;
  for (int channel = kFirstChannel; channel <= kLastChannel; ++channel) {
    Channel* c = &channels[channel];
    if (!c->open) continue;
    if (c->temporary) {
      DropTemporary(c);  // its bytes never reach the final name
      clean = false;
    } else if (!FinishChannel(c)) {
      clean = false;
    }
  }
  return clean;
}

namespace {

// Makes room for `count` bytes at the position in the pending run, writing
// out the old run first when the bytes do not continue it. Returns where the
// bytes go, or nullptr when they are too many for the buffer (they are then
// written straight to the file). `failed` is set when writing out failed.
char* ReservePending(Channel* c, int64_t count, bool* failed) {
  if (c->use == BufferUse::kReadWindow) {
    c->use = BufferUse::kEmpty;  // the window would go stale
  }
  bool continues_run = c->use == BufferUse::kPendingWrite &&
                       c->position == c->buffer_offset + c->buffer_length &&
                       c->buffer_length + count <= kBufferSize;
  if (continues_run) return c->buffer.get() + c->buffer_length;
  if (count < kBufferSize && c->use == BufferUse::kPendingWrite && c->buffer_length > 0) {
    // The run is complete: it is written while the next one fills.
    if (!HandOffPending(c)) *failed = true;
  } else if (!FlushPending(c)) {
    *failed = true;
  }
  if (count >= kBufferSize) return nullptr;
  c->use = BufferUse::kPendingWrite;
  c->buffer_offset = c->position;
  c->buffer_length = 0;
  return c->buffer.get();
}

// Takes `count` bytes placed where ReservePending said into the run.
void CommitPending(Channel* c, int64_t count) {
  c->buffer_length += count;
  c->buffer_used = std::max(c->buffer_used, c->buffer_length);
  c->position += count;
  c->known_end = std::max(c->known_end, c->position);
}

}  // namespace

int WriteBytes(int channel, const char* data, size_t size) {
  Channel* c = OpenChannelAt(channel);
  if (c == nullptr) return kStatusRefused;
  if (size == 0) return kStatusDone;
  if (!CanWrite(*c)) {
    c->write_failed = true;
    return kStatusShortWrite;
  }
  int64_t count = static_cast<int64_t>(size);
  bool failed = false;
  char* place = ReservePending(c, count, &failed);
  if (place != nullptr) {
    std::memcpy(place, data, size);
    CommitPending(c, count);
  } else {
    int64_t stored = WriteFileAt(c->file, data, count, c->position);
    if (stored < count) {
      failed = true;
      c->write_failed = true;
    }
    c->position += stored;
    c->known_end = std::max(c->known_end, c->position);
  }
  return failed ? kStatusShortWrite : kStatusDone;
}

int WriteBytes(int channel, const ByteString& bytes) {
  return WriteBytes(channel, bytes.data(), bytes.size());
}

namespace {

// Copies `size` bytes to `destination`, combined with the key's bytes when
// `key` is given.
void CopyBytes(char* destination, const char* source, const char* key, size_t size) {
  if (key != nullptr) {
    XorBytes(destination, source, key, size);
  } else {
    std::memcpy(destination, source, size);
  }
}

// ReadBytes, each byte combined with key[j] on its way when `key` is given.
int ReadBytesWith(int channel, char* destination, const char* key, size_t size) {
  Channel* c = OpenChannelAt(channel);
  if (c == nullptr || size == 0) return kStatusRefused;
  int64_t wanted = static_cast<int64_t>(size);
  int64_t got = 0;
  if (CanRead(*c)) {
    FlushPending(c);
    const bool goes_on = c->position == c->read_end;
    while (got < wanted) {
      int64_t at = c->position + got;
      if (c->use == BufferUse::kReadWindow && at >= c->buffer_offset &&
          at < c->buffer_offset + c->buffer_length) {
        int64_t n = std::min(wanted - got, c->buffer_offset + c->buffer_length - at);
        CopyBytes(destination + got, c->buffer.get() + (at - c->buffer_offset),
                  key == nullptr ? nullptr : key + got, static_cast<size_t>(n));
        got += n;
        continue;
      }
      if (!goes_on || wanted - got >= kWindowSize) {  // straight into the destination
        int64_t n = ReadFileAt(c->file, destination + got, wanted - got, at);
        if (n < 0) {
          c->read_failed = true;
          break;
        }
        c->bytes_fetched += n;
        if (key != nullptr) {
          XorBytes(destination + got, destination + got, key + got, static_cast<size_t>(n));
        }
        got += n;
        break;  // a short read is the end of the file
      }
      int64_t n = ReadFileAt(c->file, c->buffer.get(), kWindowSize, at);
      if (n < 0) {
        c->read_failed = true;
        c->use = BufferUse::kEmpty;
        break;
      }
      c->bytes_fetched += n;
      c->use = BufferUse::kReadWindow;
      c->buffer_offset = at;
      c->buffer_length = n;
      c->buffer_used = std::max(c->buffer_used, n);
      if (n == 0) break;
    }
  }
  if (key != nullptr) {
    std::memcpy(destination + got, key + got, static_cast<size_t>(wanted - got));
  } else {
    std::memset(destination + got, 0, static_cast<size_t>(wanted - got));
  }
  c->position += got;
  c->read_end = c->position;
  // Only bytes really read show where the file ends; a read from past the end
  // finds none and says nothing about it.
  if (got > 0) c->known_end = std::max(c->known_end, c->position);
  return kStatusDone;
}

}  // namespace

int ReadBytes(int channel, char* destination, size_t size) {
  return ReadBytesWith(channel, destination, nullptr, size);
}

int TransferXorBytes(int from_channel, int to_channel, const char* key, size_t size) {
  Channel* from = OpenChannelAt(from_channel);
  Channel* to = OpenChannelAt(to_channel);
  if (from == nullptr || to == nullptr || from == to) return kStatusRefused;
  if (size == 0) return kStatusDone;
  int64_t count = static_cast<int64_t>(size);
  bool failed = false;
  char* place = nullptr;
  if (CanWrite(*to) && count < kBufferSize) place = ReservePending(to, count, &failed);
  if (place != nullptr) {
    // Read and combined straight into the pending run: no copy in between.
    ReadBytesWith(from_channel, place, key, size);
    CommitPending(to, count);
    return failed ? kStatusShortWrite : kStatusDone;
  }
  // Too many bytes for one run, or a channel that cannot be written: piece
  // by piece through a block of our own, to the same effect.
  char piece[16384];
  int status = kStatusDone;
  for (size_t done = 0; done < size; done += sizeof piece) {
    size_t n = std::min(sizeof piece, size - done);
    ReadBytesWith(from_channel, piece, key + done, n);
    if (WriteBytes(to_channel, piece, n) != kStatusDone) status = kStatusShortWrite;
  }
  explicit_bzero(piece, sizeof piece);
  return status;
}

int64_t BytesHeld(int channel, int64_t size) {
  Channel* c = OpenChannelAt(channel);
  if (c == nullptr || size <= 0 || !CanRead(*c)) return 0;
  if (c->known_end - c->position < size) {
    // Perhaps the file grew under us: measure it again.
    FlushPending(c);
    int64_t now = FileSize(c->file);
    if (now >= 0) c->known_end = now;
  }
  return std::clamp<int64_t>(c->known_end - c->position, 0, size);
}

int64_t SkipBytes(int channel, int64_t size) {
  int64_t held = BytesHeld(channel, size);
  if (held > 0) channels[channel].position += held;
  return held;
}

int WriteInt32(int channel, int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return WriteBytes(channel, bytes, sizeof bytes);
}

int ReadInt32(int channel, int32_t* value) {
  unsigned char bytes[4];
  int status = ReadBytes(channel, reinterpret_cast<char*>(bytes), sizeof bytes);
  if (status != kStatusDone) return status;
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  *value = static_cast<int32_t>(bits);
  return kStatusDone;
}

int64_t ChannelPosition(int channel) {
  Channel* c = OpenChannelAt(channel);
  return c == nullptr ? 0 : c->position;
}

int SetChannelPosition(int channel, int64_t offset) {
  Channel* c = OpenChannelAt(channel);
  if (c == nullptr) return kStatusRefused;
  if (offset < 0) return kStatusShortWrite;
  c->position = offset;
  return kStatusDone;
}

int64_t ChannelSize(int channel) {
  Channel* c = OpenChannelAt(channel);
  if (c == nullptr) return 0;
  FlushPending(c);
  int64_t size = FileSize(c->file);
  if (size < 0) return 0;
  c->known_end = size;
  return size;
}

bool AtEnd(int channel) {
  Channel* c = OpenChannelAt(channel);
  return c == nullptr || c->position >= c->recorded_size;
}

int64_t ChannelBytesFetched(int channel) {
  Channel* c = OpenChannelAt(channel);
  return c == nullptr ? 0 : c->bytes_fetched;
}

bool ChannelWriteFailed(int channel) {
  Channel* c = OpenChannelAt(channel);
  return c != nullptr && c->write_failed;
}

bool ChannelReadFailed(int channel) {
  Channel* c = OpenChannelAt(channel);
  return c != nullptr && c->read_failed;
}

}  // namespace recordstore
