// Numbered binary file channels 1 to 254, each a buffered file with its own
// position. Nothing here prints or stops the program; every transfer yields a
// status and failures are also kept per channel, so that a run can refuse to
// report success after a lost byte.
#ifndef RECORDSTORE_CHANNELS_H_
#define RECORDSTORE_CHANNELS_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "recordstore/bytes.h"

namespace recordstore {

constexpr int kFirstChannel = 1;
constexpr int kLastChannel = 254;

// Channel statuses.
constexpr int kStatusDone = 0;        // done; a read that found fewer bytes included
constexpr int kStatusRefused = 1;     // channel not open, zero-byte read, bad number,
                                      // open already, size not measurable
constexpr int kStatusCannotOpen = 2;  // no open step succeeded
constexpr int kStatusShortWrite = 3;  // fewer bytes stored than asked, or a failed move

enum class OpenPolicy {
  // Existing file for reading and writing, never shortened; else a new empty
  // file (only when none exists); else the existing file read-only.
  kUpdateOrCreate,
  // Existing file for reading only.
  kReadOnly,
  // Created, or cut to zero length, for writing only.
  kWriteWithTruncation,
};

// Opens `name` on `channel`. Returns kStatusDone with position 0 and the size
// recorded; kStatusRefused for a number outside 1..254, an open channel (left
// as it was) or a size that cannot be measured; kStatusCannotOpen when no
// step of the policy opens the file.
int OpenChannel(int channel, const ByteString& name, OpenPolicy policy);

// Opens `channel` read-and-write on a new temporary file created exclusively
// with permission bits `mode` in the folder of `final_name`, to become that
// file on CommitChannels. The temporary file is removed by DiscardChannel and
// when the process ends by a signal (see platform.h). Returns kStatusDone,
// kStatusRefused (bad number, open already) or kStatusCannotOpen.
int OpenTemporaryChannel(int channel, const ByteString& final_name, int mode);

// For channels from OpenTemporaryChannel: writes out each buffer, fsyncs and
// closes each file; only when all of that succeeded for every channel and no
// earlier write on any of them failed, renames each temporary file over its
// final name, in the given order, and fsyncs their folders. The channels are
// not open afterwards. Returns true when every step succeeded. On a failure
// before the renames every temporary file is removed and every final file is
// as it was; a rename that fails after an earlier one succeeded cannot undo
// that one.
bool CommitChannels(std::initializer_list<int> channels);

// For a channel from OpenTemporaryChannel: closes it and removes its
// temporary file. Returns false when the removal failed.
bool DiscardChannel(int channel);

// Writes out and closes every open channel, lowest number first, whatever
// fails on the way; a temporary channel is discarded. Returns true when every
// channel's bytes were written out and its file closed cleanly, false when
// any write, flush or close on any channel failed since it was opened or a
// temporary channel had to be discarded.
bool CloseAllChannels();

// Writes `size` bytes at the position. Returns kStatusDone; kStatusRefused on
// a channel that is not open (nothing written); kStatusShortWrite when fewer
// bytes were stored (the position advances by those stored), on a read-only
// channel (nothing stored), or when writing out earlier buffered bytes failed
// on the way. A failure that only shows when the buffer is written out later
// is kept for ChannelWriteFailed and CloseAllChannels.
int WriteBytes(int channel, const char* data, size_t size);
int WriteBytes(int channel, const ByteString& bytes);

// Reads the next `size` bytes into `destination`; bytes past the end of the
// file become 0 and the position advances by the bytes read. Returns
// kStatusDone (also for a short read); kStatusRefused on a channel that is
// not open (destination unchanged) or for size 0. A write-only channel reads
// nothing (all zero, status kStatusDone). A read error is kept for
// ChannelReadFailed and reads like the end of the file.
int ReadBytes(int channel, char* destination, size_t size);

// ReadBytes of `size` bytes from `from_channel`, each byte j combined with
// key[j] by exclusive or (bytes past the end of the file come out as the
// key's bytes), then WriteBytes of the result to `to_channel`: in one pass,
// straight into the written channel's buffer. Returns as WriteBytes; kStatusRefused (nothing
// read or written) when either channel is not open or both are the same.
int TransferXorBytes(int from_channel, int to_channel, const char* key, size_t size);

// How many of the next `size` bytes the file holds from the position: what
// ReadBytes of `size` bytes would read. 0 when not open or write-only.
int64_t BytesHeld(int channel, int64_t size);
// Advances the position exactly as ReadBytes of `size` bytes would, without
// reading them. Returns the bytes passed over.
int64_t SkipBytes(int channel, int64_t size);

// The integer as 4 bytes little-endian; missing bytes read as 0.
int WriteInt32(int channel, int32_t value);
int ReadInt32(int channel, int32_t* value);

// The position, 0-based; 0 when the channel is not open.
int64_t ChannelPosition(int channel);
// Moves the position to `offset`. Returns kStatusDone, kStatusRefused (not
// open) or kStatusShortWrite (offset below 0).
int SetChannelPosition(int channel, int64_t offset);
// The file's size now, buffered bytes included; 0 when not open or unknown.
int64_t ChannelSize(int channel);
// True when the channel is not open or its position has reached the size
// recorded on opening (later writes do not move that limit).
bool AtEnd(int channel);

// Bytes fetched from the file since the channel was opened, read-ahead
// included; 0 when not open.
int64_t ChannelBytesFetched(int channel);

// Sticky failure flags since the channel was opened; false when not open.
bool ChannelWriteFailed(int channel);
bool ChannelReadFailed(int channel);

}  // namespace recordstore

#endif  // RECORDSTORE_CHANNELS_H_
