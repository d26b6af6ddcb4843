#pragma once

#include "editor/TextRecords.h"

#include <QString>
#include <QStringView>

#include <array>
#include <cstring>

namespace qd {

class TParagraphsList;

// The highlighting data inside a dynamic attribute record (TAttrRecord), as the passes and the
// highlighters lay it out:
//   byte 4        flags: font style bits 0-3, bit 5 alternate font, bits 6 and 7 both set = a
//                 highlighting record with a level
//   byte 5        level: index of the innermost open entry (signed, -1 = none)
//   word 2, 3     background and text colour
//   word 4        context number
//   word 5 low    tag (the mouse cursor shown over the range)
//   bytes 22..53  sixteen signed 16-bit entries, one per level: a keyword index, or a start/stop
//                 item index with bit 15 set
//   bytes 54, 55  the lengths of the key that opened and of the key that closed the range
namespace hl {

constexpr quint8 KindBits = 0xC0; // bits 6 and 7: a levelled highlighting record
constexpr quint8 SetsStyle = 0x80; // bit 7: the record sets a style
constexpr quint8 AltFontBit = 0x20;
constexpr int MaxEntries = 16;
constexpr int MaxLevel = 15; // nothing new opens at this level or above
constexpr quint16 RangeBit = 0x8000; // an entry naming a start/stop item
constexpr int EntryBase = 22;

inline quint8 byteAt(const TAttrRecord &r, int i)
{
    return reinterpret_cast<const quint8 *>(r.Words)[i];
}
inline void setByteAt(TAttrRecord &r, int i, quint8 v)
{
    reinterpret_cast<quint8 *>(r.Words)[i] = v;
}

inline quint8 Flags(const TAttrRecord &r) { return byteAt(r, 4); }
inline void SetFlags(TAttrRecord &r, quint8 f) { setByteAt(r, 4, f); }
inline bool IsLevelled(const TAttrRecord &r) { return (Flags(r) & KindBits) == KindBits; }
// The raw stack-top byte, whatever the kind of record.
inline qint8 LevelByte(const TAttrRecord &r) { return qint8(byteAt(r, 5)); }
// The current level: the record's level when it is levelled, else -1.
inline int Level(const TAttrRecord &r) { return IsLevelled(r) ? int(LevelByte(r)) : -1; }
inline void SetLevel(TAttrRecord &r, int level) { setByteAt(r, 5, quint8(qint8(level))); }
inline qint16 Entry(const TAttrRecord &r, int i)
{
    qint16 v;
    std::memcpy(&v, reinterpret_cast<const char *>(r.Words) + EntryBase + 2 * i, 2);
    return v;
}
inline void SetEntry(TAttrRecord &r, int i, qint16 v)
{
    std::memcpy(reinterpret_cast<char *>(r.Words) + EntryBase + 2 * i, &v, 2);
}
inline bool IsRangeEntry(qint16 entry) { return (quint16(entry) & RangeBit) != 0; }
inline quint8 OpenLength(const TAttrRecord &r) { return byteAt(r, 54); }
inline quint8 CloseLength(const TAttrRecord &r) { return byteAt(r, 55); }
inline void SetOpenLength(TAttrRecord &r, int n) { setByteAt(r, 54, quint8(qBound(0, n, 255))); }
inline void SetCloseLength(TAttrRecord &r, int n) { setByteAt(r, 55, quint8(qBound(0, n, 255))); }
inline qint32 Context(const TAttrRecord &r) { return r.Words[4]; }
inline quint16 Tag(const TAttrRecord &r) { return quint16(r.Words[5] & 0xFFFF); }
inline void SetTag(TAttrRecord &r, quint16 tag) { r.Words[5] = (r.Words[5] & ~0xFFFF) | tag; }

// Inside a start/stop range: the innermost entry names a start/stop item.
inline bool InRange(const TAttrRecord &r)
{
    const int level = Level(r);
    return level >= 0 && level < MaxEntries && IsRangeEntry(Entry(r, level));
}

// The start/stop pass leaves these records alone: style bit 7 set and a stack-top byte of 255.
inline bool IsKept(const TAttrRecord &r)
{
    return (Flags(r) & SetsStyle) && byteAt(r, 5) == 0xFF;
}

// A record one level deeper than outer: outer's entries below the new level are kept, the new
// level gets entry, and the look comes from the arguments.
TAttrRecord Pushed(const TAttrRecord &outer, qint16 entry, quint8 flags, qint32 background,
    qint32 foreground, qint32 context, quint16 tag);

// The state comparison that ends a start/stop pass: the same kind of record and, for levelled
// records, the same open entries.
bool SameState(const TAttrRecord &a, const TAttrRecord &b);

// The record in force at offset of p: the last record whose offset is not after it, else the
// paragraph's start record.
const TAttrRecord *AttrAt(const TParagraph *p, qint64 offset);
// Index of the first record of p whose offset is not below offset.
qint32 FirstAttrAtOrAfter(const TParagraph *p, qint64 offset);

// The record that was in force before the range at level opened, seen from offset of paragraph
// parIndex inside it: the nearest earlier record (through earlier paragraphs and their start
// records) whose level is below level. Without one, paragraph 0's start record when it is not
// levelled, else a plain record.
TAttrRecord RecordBefore(const TParagraphsList &pars, qint64 parIndex, qint64 offset, int level);
// The look of text outside every range: paragraph 0's start record when it is not levelled.
TAttrRecord PlainRecord(const TParagraphsList &pars);

} // namespace hl

// A set of separator characters: one bit per character code 0-255; characters above 255 are
// never separators. The codes 0-26 are always in the set.
class TSeparatorSet {
public:
    TSeparatorSet() { Assign(QString()); }
    explicit TSeparatorSet(QStringView chars) { Assign(chars); }

    bool Contains(char16_t c) const { return c < 256 && (m_bits[c >> 6] >> (c & 63)) & 1; }
    // Codes 0-26 and every character of chars below 256.
    void Assign(QStringView chars);
    // The characters of the set from code 27 to 255, in ascending order.
    QString Text() const;
    bool operator==(const TSeparatorSet &other) const { return m_bits == other.m_bits; }
    bool operator!=(const TSeparatorSet &other) const { return m_bits != other.m_bits; }

private:
    std::array<quint64, 4> m_bits {};
};

} // namespace qd
