#include "editor/HighlightRecord.h"

#include "editor/ParagraphsList.h"

namespace qd {

namespace hl {

TAttrRecord Pushed(const TAttrRecord &outer, qint16 entry, quint8 flags, qint32 background,
    qint32 foreground, qint32 context, quint16 tag)
{
    TAttrRecord r;
    const int level = Level(outer) + 1;
    for (int i = 0; i < level && i < MaxEntries; ++i)
        SetEntry(r, i, Entry(outer, i));
    if (level < MaxEntries)
        SetEntry(r, level, entry);
    SetFlags(r, quint8(flags | KindBits));
    SetLevel(r, level);
    r.Words[2] = background;
    r.Words[3] = foreground;
    r.Words[4] = context;
    SetTag(r, tag);
    return r;
}

bool SameState(const TAttrRecord &a, const TAttrRecord &b)
{
    if ((Flags(a) & KindBits) != (Flags(b) & KindBits))
        return false;
    if (!IsLevelled(a))
        return true;
    const int top = LevelByte(a);
    if (top != LevelByte(b))
        return false;
    for (int i = 0; i <= top && i < MaxEntries; ++i)
        if (Entry(a, i) != Entry(b, i))
            return false;
    return true;
}

qint32 FirstAttrAtOrAfter(const TParagraph *p, qint64 offset)
{
    qint32 lo = 0;
    qint32 hi = p->AttrCount;
    while (lo < hi) {
        const qint32 mid = (lo + hi) / 2;
        if (p->Attrs[mid].Offset() < offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

const TAttrRecord *AttrAt(const TParagraph *p, qint64 offset)
{
    // The last record whose offset is not above offset.
    qint32 lo = 0;
    qint32 hi = p->AttrCount;
    while (lo < hi) {
        const qint32 mid = (lo + hi) / 2;
        if (p->Attrs[mid].Offset() <= offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo > 0 ? &p->Attrs[lo - 1] : p->StartAttr;
}

TAttrRecord PlainRecord(const TParagraphsList &pars)
{
    const TAttrRecord *first = pars.Count() > 0 ? pars.At(0)->StartAttr : nullptr;
    TAttrRecord plain;
    if (first && !IsLevelled(*first))
        plain = *first;
    plain.SetOffset(0);
    return plain;
}

TAttrRecord RecordBefore(const TParagraphsList &pars, qint64 parIndex, qint64 offset, int level)
{
    for (qint64 k = qMin(parIndex, pars.Count() - 1); k >= 0; --k) {
        const TParagraph *p = pars.At(k);
        qint32 i = k == parIndex ? FirstAttrAtOrAfter(p, offset) : p->AttrCount;
        while (i > 0) {
            --i;
            if (Level(p->Attrs[i]) < level)
                return p->Attrs[i];
        }
        if (Level(*p->StartAttr) < level) {
            TAttrRecord r = *p->StartAttr;
            r.SetOffset(0);
            return r;
        }
    }
    return PlainRecord(pars);
}

} // namespace hl

void TSeparatorSet::Assign(QStringView chars)
{
    m_bits = {};
    for (char16_t c = 0; c <= 26; ++c)
        m_bits[c >> 6] |= quint64(1) << (c & 63);
    for (QChar ch : chars) {
        const char16_t c = ch.unicode();
        if (c < 256)
            m_bits[c >> 6] |= quint64(1) << (c & 63);
    }
}

QString TSeparatorSet::Text() const
{
    QString out;
    for (char16_t c = 27; c < 256; ++c)
        if (Contains(c))
            out += QChar(c);
    return out;
}

} // namespace qd
