// Layout of the record files (key file and container) and the record sets the
// two programs exchange through them.
//
// A record file is records back to back, no header, no gap, no end marker:
//
//   offset 0   6 bytes  name, blank-padded (a longer name is cut to 6 bytes)
//   offset 6   4 bytes  length L, signed 32-bit, little-endian
//   offset 10  L bytes  value (zero bytes included)
//
// A file cut short is read as far as it goes: a value missing its end reads
// as its stored length with the missing bytes 0; a length field missing its
// high-order bytes takes them as 0; a name missing its end takes zero bytes
// and L = 0. A length of 0 or below gives an empty value and consumes nothing.
#ifndef RECORDSTORE_RECORD_FORMAT_H_
#define RECORDSTORE_RECORD_FORMAT_H_

#include <cstdint>

namespace recordstore {

constexpr int kRecordNameSize = 6;
constexpr int kRecordLengthSize = 4;
constexpr int kRecordHeaderSize = kRecordNameSize + kRecordLengthSize;
constexpr char kNamePadding = ' ';

// Sources are cut into blocks of this size; every full block uses the
// primary key, a final short block its own secondary key.
constexpr int kBlockSize = 16384;
// Block records are "B1" to "B99999": six bytes of name hold no more.
constexpr int kMaxBlocks = 99999;

constexpr char kContainerSuffix[] = ".VNZ";
constexpr char kKeyFileSuffix[] = ".VNS";
constexpr int kSuffixSize = 4;

// Key file records, in the order the encrypter writes them.
constexpr char kHeaderRecord[] = "Head";
constexpr char kHeaderValue[] = "VERNAM v.1.0 Schlu";  // 18 bytes, no terminator stored
constexpr int kHeaderValueSize = 18;
constexpr char kPrimaryKeyRecord[] = "PriKey";
constexpr char kSecondaryKeyRecord[] = "SekKey";
constexpr char kBlockCountRecord[] = "NB";       // decimal text: container blocks + 1
constexpr char kLastBlockRecord[] = "GLB";       // decimal text: last block length
// Container records: "B" followed by the decimal block number.
constexpr char kBlockRecordPrefix[] = "B";

}  // namespace recordstore

#endif  // RECORDSTORE_RECORD_FORMAT_H_
