#pragma once

// The byte layout of the SQL history pair: a dBase III table "SQLHistory.dbf" with four fixed
// fields and its memo file "SQLHistory.dbt" of 512-byte blocks. Everything here is pure
// encoding and decoding; DbfHistoryFiles does the file work.
//
// Choices the layout leaves open, settled here:
// - The header's date bytes are year - 1900, month and day of the last update.
// - The memo field holds the first block number right-aligned in 10 blanks; all blanks means
//   no memo value (an empty script).
// - No end-of-file byte is written: the table is exactly 161 + 305 x n bytes. A reader accepts
//   and ignores bytes past the last counted record (one 1A written by another program, or a
//   record an interrupted append wrote before its count).
// - Text is UTF-8; a value longer than its field is cut on a character boundary.

#include "classlib/Exception.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace qd {

// A history file that cannot be read: the message names the file and the fault.
class EDbfError : public Exception {
public:
    using Exception::Exception;
};

namespace dbf {

constexpr char VersionByte = 0x03;
constexpr int FieldCount = 4;
constexpr int DescriptorSize = 32;
constexpr int HeaderLength = 32 + DescriptorSize * FieldCount + 1; // 161
constexpr char DescriptorEnd = 0x0D;
constexpr char EndOfFile = 0x1A;

constexpr int RunDateLength = 8;
constexpr int UserNameLength = 32;
constexpr int InstanceLength = 254;
constexpr int MemoRefLength = 10;
constexpr int RecordLength = 1 + RunDateLength + UserNameLength + InstanceLength + MemoRefLength;
static_assert(RecordLength == 305);

constexpr char LiveFlag = ' ';
constexpr char DeletedFlag = '*';

constexpr int BlockSize = 512;
constexpr int MemoValueHeader = 8; // FF FF 08 00, then the length (text + 8)
constexpr quint32 FirstFreeBlock = 1;

struct FieldLayout {
    const char *name;
    char type;
    int length;
    int offset; // in the record, after the deletion flag
};
extern const FieldLayout Fields[FieldCount];

// One record as the history keeps it.
struct Record {
    bool deleted = false;
    QDate runDate; // null when the field is blank or not a date
    QString userName;
    QString instance;
    quint32 memoBlock = 0; // 0: no memo value
};

// The 161 header bytes of a table of recordCount records, last updated on date.
QByteArray encodeTableHeader(quint32 recordCount, const QDate &date);
// Checks the header bytes of fileName (a message naming it on a fault) and returns the
// record count it declares.
quint32 decodeTableHeader(const QByteArray &header, const QString &fileName);
// The 3 date bytes and the 4 count bytes at offset 1.
QByteArray encodeHeaderCounts(quint32 recordCount, const QDate &date);

QByteArray encodeRecord(const Record &record);
// Decodes RecordLength bytes; a memo reference that is not a block number raises EDbfError
// naming fileName and the record (numbered from 1).
Record decodeRecord(const char *bytes, quint32 recordNo, const QString &fileName);

// The 512-byte header block of a memo file whose next free block is nextFree.
QByteArray encodeMemoHeader(quint32 nextFree);
// Checks the header block and returns the next free block.
quint32 decodeMemoHeader(const QByteArray &header, const QString &fileName);
// A memo value: its header, the text and blank fill up to the block boundary.
QByteArray encodeMemoValue(const QByteArray &text);
// Blocks a text of textLength bytes occupies.
quint32 memoBlocksFor(qint64 textLength);

// UTF-8 of text cut to at most maxBytes without splitting a character.
QByteArray utf8Cut(const QString &text, int maxBytes);

} // namespace dbf
} // namespace qd
