// Named records on a channel: WriteRecord appends one, ReadRecord finds one by
// name wherever it is stored. The layout is in record_format.h.
#ifndef RECORDSTORE_RECORDS_H_
#define RECORDSTORE_RECORDS_H_

#include <cstddef>
#include <cstdint>

#include "recordstore/bytes.h"

namespace recordstore {

// A record's value as found: its stored length and the bytes the file really
// holds (at most `length`; fewer when the file is cut short inside it). The
// bytes from bytes.size() + 1 to `length` read as 0, like every byte past the
// end. A stored length of 0 or below gives length 0 and no bytes.
struct RecordValue {
  int32_t length = 0;
  ByteString bytes;
};

// The byte at a 1-based position; 0 outside what the file held.
inline uint8_t ByteAt(const RecordValue& value, int64_t position) {
  return ByteAt(value.bytes, position);
}

// Where a record was found: the file offset of its value and its length.
struct RecordPlace {
  bool found = false;
  int64_t value_offset = 0;
  int32_t length = 0;
};

// Appends one record at the channel's position: the name blank-padded or cut
// to 6 bytes, the length, the value. Failures show in the channel's status
// flags (ChannelWriteFailed) and CloseAllChannels.
void WriteRecord(int channel, const ByteString& name, const char* value, size_t size);
void WriteRecord(int channel, const ByteString& name, const ByteString& value);
// The name and length of such a record alone: the caller writes the `size`
// bytes of its value right after.
void WriteRecordHeader(int channel, const ByteString& name, size_t size);

// The name normal form: a-z made A-Z, then bytes 32 and 0 removed from the
// end and bytes 32 from the start.
ByteString NameNormalForm(const ByteString& name);

// Looks up the first record whose name matches `name` (normal forms equal),
// from the channel's position to the end, then from the first record back to
// where it began. Returns its value and leaves the position right after it;
// returns an empty value when none matches (position at the end when the
// search began at 0, else back at the start point). Never allocates more than
// the file holds.
RecordValue ReadRecord(int channel, const ByteString& name);

// The same search as ReadRecord, with the same position and end test after
// it, but the matched value is not read: the caller may fetch its bytes at
// value_offset. `found` is false where ReadRecord returns an empty value
// because nothing matched.
RecordPlace FindRecord(int channel, const ByteString& name);

// Looks at the record at the position alone: when its name matches `name`,
// returns its place and leaves the position right after it, as FindRecord
// would; otherwise returns found = false with the position unchanged.
RecordPlace MatchRecord(int channel, const ByteString& name);

}  // namespace recordstore

#endif  // RECORDSTORE_RECORDS_H_
