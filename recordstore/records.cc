// Records on channels: the writer and the two-pass lookup by name.
#include "recordstore/records.h"

#include <cstring>

#include "recordstore/channels.h"
#include "recordstore/record_format.h"

namespace recordstore {

namespace {

// Reads the value that starts at the position: only the bytes the file
// holds are kept; the position ends as after a read of `length` bytes.
RecordValue ReadValue(int channel, int32_t length) {
  RecordValue value;
  if (length <= 0) return value;
  value.length = length;
  int64_t held = BytesHeld(channel, length);
  if (held > 0) {
    value.bytes.resize(static_cast<size_t>(held));
    int64_t before = ChannelPosition(channel);
    ReadBytes(channel, value.bytes.data(), value.bytes.size());
    // A read error ends the bytes where the read stopped.
    value.bytes.resize(static_cast<size_t>(ChannelPosition(channel) - before));
  }
  return value;
}

// Reads the name and length of the record at the position; returns the
// length and sets `name_form` to the name's normal form. Name and length come
// in one read: bytes missing at the end of the file read as 0, exactly as for
// a read of the name and then of the length.
int32_t ReadHeader(int channel, ByteString* name_form) {
  unsigned char header[kRecordHeaderSize] = {};
  ReadBytes(channel, reinterpret_cast<char*>(header), sizeof header);
  uint32_t bits = 0;
  for (int i = 0; i < kRecordLengthSize; ++i) {
    bits |= static_cast<uint32_t>(header[kRecordNameSize + i]) << (8 * i);
  }
  *name_form = NameNormalForm(ByteString(reinterpret_cast<char*>(header), kRecordNameSize));
  return static_cast<int32_t>(bits);
}

// The record whose header was just read matched: its place, with its value
// read into `value` when given, else passed over.
RecordPlace TakeMatch(int channel, int32_t length, RecordValue* value) {
  RecordPlace place;
  place.found = true;
  place.value_offset = ChannelPosition(channel);
  place.length = length > 0 ? length : 0;
  if (value != nullptr) {
    *value = ReadValue(channel, length);
  } else if (length > 0) {
    SkipBytes(channel, length);
  }
  return place;
}

// The lookup shared by ReadRecord and FindRecord. When `value` is given the
// matched value is read into it; otherwise it is passed over.
RecordPlace Search(int channel, const ByteString& wanted, RecordValue* value) {
  const ByteString wanted_form = NameNormalForm(wanted);
  const int64_t start = ChannelPosition(channel);
  bool second_pass = false;
  ByteString name_form;
  for (;;) {
    const int64_t record_start = ChannelPosition(channel);
    const int32_t length = ReadHeader(channel, &name_form);
    if (name_form == wanted_form) return TakeMatch(channel, length, value);
    if (length > 0) SkipBytes(channel, length);
    // No progress means the file holds nothing more (it may have become
    // shorter than its recorded size, or be unreadable): an end as well.
    bool at_end = AtEnd(channel) || ChannelPosition(channel) == record_start;
    if (!second_pass && at_end) {
      if (start == 0) return RecordPlace();
      SetChannelPosition(channel, 0);
      second_pass = true;
      at_end = AtEnd(channel);
    }
    if (second_pass && (at_end || ChannelPosition(channel) >= start)) {
      return RecordPlace();
    }
  }
}

}  // namespace

void WriteRecordHeader(int channel, const ByteString& name, size_t size) {
  char header[kRecordHeaderSize];
  std::memset(header, kNamePadding, kRecordNameSize);
  std::memcpy(header, name.data(), name.size() < kRecordNameSize ? name.size() : kRecordNameSize);
  uint32_t length = static_cast<uint32_t>(size);
  for (int i = 0; i < kRecordLengthSize; ++i) {
    header[kRecordNameSize + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  }
  WriteBytes(channel, header, sizeof header);
}

void WriteRecord(int channel, const ByteString& name, const char* value, size_t size) {
  // Two writes into the channel's buffer cost no more calls to the system
  // than one, and spare a copy of the value.
  WriteRecordHeader(channel, name, size);
  WriteBytes(channel, value, size);
}

void WriteRecord(int channel, const ByteString& name, const ByteString& value) {
  WriteRecord(channel, name, value.data(), value.size());
}

ByteString NameNormalForm(const ByteString& name) {
  ByteString form = name;
  for (char& byte : form) {
    if (byte >= 'a' && byte <= 'z') byte = static_cast<char>(byte - 'a' + 'A');
  }
  size_t end = form.size();
  while (end > 0 && (form[end - 1] == ' ' || form[end - 1] == '\0')) --end;
  size_t begin = 0;
  while (begin < end && form[begin] == ' ') ++begin;
  return form.substr(begin, end - begin);
}

RecordValue ReadRecord(int channel, const ByteString& name) {
  RecordValue value;
  Search(channel, name, &value);
  return value;
}

RecordPlace FindRecord(int channel, const ByteString& name) {
  return Search(channel, name, nullptr);
}

RecordPlace MatchRecord(int channel, const ByteString& name) {
  const int64_t start = ChannelPosition(channel);
  ByteString name_form;
  const int32_t length = ReadHeader(channel, &name_form);
  if (name_form == NameNormalForm(name)) return TakeMatch(channel, length, nullptr);
  SetChannelPosition(channel, start);
  return RecordPlace();
}

}  // namespace recordstore
