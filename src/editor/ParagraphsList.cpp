#include "editor/ParagraphsList.h"

#include "classlib/ListErrors.h"

#include <QHash>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace qd {

namespace {

void *allocOrThrow(size_t bytes)
{
    void *p = std::malloc(bytes);
    if (!p)
        throw EOutOfMemory();
    return p;
}

} // namespace

TParagraphsList::TParagraphsList(const TTextLimits &limits)
    : m_limits(limits)
    , m_pool(int(sizeof(TParagraph)))
{
}

TParagraphsList::~TParagraphsList()
{
    for (qint64 i = 0; i < Count(); ++i)
        freeRecord(At(i));
}

TParagraph *TParagraphsList::Record(qint64 index) const
{
    if (index < 0 || index >= Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    return m_order.at(index);
}

void TParagraphsList::Insert(qint64 index, qint64 count, TAttrRecord *startAttr)
{
    if (count <= 0)
        return;
    if (index < 0 || index > Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    // Take the records first (the only step that can fail), then link them in.
    std::vector<TParagraph *> records;
    records.reserve(size_t(count));
    while (qint64(records.size()) < count && !m_free.empty()) {
        records.push_back(m_free.back());
        m_free.pop_back();
    }
    try {
        const qint64 missing = count - qint64(records.size());
        if (missing > 0) {
            const qint64 first = m_pool.Count();
            m_pool.SetCount(first + missing);
            for (qint64 k = 0; k < missing; ++k)
                records.push_back(static_cast<TParagraph *>(m_pool.ItemAddress(first + k)));
        }
    } catch (...) {
        m_free.insert(m_free.end(), records.begin(), records.end());
        throw;
    }
    TAttrRecord *shared = startAttr ? startAttr : NewStartAttr();
    if (startAttr)
        shared->Words[0] += qint32(count);
    else
        shared->Words[0] = qint32(count);
    for (TParagraph *p : records) {
        new (p) TParagraph();
        p->StartAttr = shared;
    }
    m_order.insert(index, records.data(), count);
    m_starts.InsertEqual(index, 2, count);
    m_lines.InsertEqual(index, 1, count);
}

void TParagraphsList::Remove(qint64 index, qint64 count)
{
    if (count <= 0)
        return;
    if (index < 0 || index + count > Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    for (qint64 i = index; i < index + count; ++i) {
        TParagraph *p = At(i);
        freeRecord(p);
        m_free.push_back(p);
    }
    m_order.remove(index, count);
    m_starts.Remove(index, count);
    m_lines.Remove(index, count);
}

void TParagraphsList::Clear()
{
    for (qint64 i = 0; i < Count(); ++i)
        freeRecord(At(i));
    m_shared.clear();
    m_sharedUsers = 0;
    m_free.clear();
    m_order.clear();
    m_pool.SetCount(0);
    m_starts.Clear();
    m_lines.Clear();
}

void TParagraphsList::unshare(TParagraph *p)
{
    p->SharedText = false;
    if (--m_sharedUsers == 0)
        m_shared.clear();
}

void TParagraphsList::freeRecord(TParagraph *p)
{
    if (p->SharedText)
        unshare(p);
    else
        std::free(p->Text);
    delete[] p->FurtherLines;
    std::free(p->Attrs);
    if (p->StartAttr)
        ReleaseStartAttr(p->StartAttr);
    *p = TParagraph();
}

void TParagraphsList::ReplaceText(
    qint64 index, qint64 offset, qint64 removeCount, QStringView insert)
{
    TParagraph *p = Record(index);
    if (offset < 0 || removeCount < 0 || offset + removeCount > p->Length)
        throw ERangeError(QStringLiteral("List index out of bounds"));
    const qint64 newLength = p->Length - removeCount + insert.size();
    if (newLength > m_limits.MaxParagraphLength || newLength > std::numeric_limits<qint32>::max())
        throw Exception(QStringLiteral("Text too long"));
    const qint64 tail = p->Length - offset - removeCount;
    // Buffers carry 1/64 spare room and shrink only when 1/8 or more of them is spare.
    const qint64 growSize
        = qMin<qint64>(newLength + newLength / 64 + 1, std::numeric_limits<qint32>::max());
    const auto *ins = reinterpret_cast<const char16_t *>(insert.utf16());
    if (newLength > p->Capacity || p->SharedText) {
        // A new buffer (a shared text is never written to, so its reader copies out here).
        char16_t *buffer = nullptr;
        qint64 capacity = 0;
        if (newLength > 0) {
            buffer = static_cast<char16_t *>(allocOrThrow(size_t(growSize) * sizeof(char16_t)));
            capacity = growSize;
            if (offset > 0)
                std::memcpy(buffer, p->Text, size_t(offset) * sizeof(char16_t));
            if (!insert.isEmpty())
                std::memcpy(buffer + offset, ins, size_t(insert.size()) * sizeof(char16_t));
            if (tail > 0)
                std::memcpy(buffer + offset + insert.size(), p->Text + offset + removeCount,
                    size_t(tail) * sizeof(char16_t));
        }
        if (p->SharedText)
            unshare(p);
        else
            std::free(p->Text);
        p->Text = buffer;
        p->Capacity = qint32(capacity);
    } else {
        if (tail > 0 && insert.size() != removeCount)
            std::memmove(p->Text + offset + insert.size(), p->Text + offset + removeCount,
                size_t(tail) * sizeof(char16_t));
        if (!insert.isEmpty())
            std::memmove(p->Text + offset, ins, size_t(insert.size()) * sizeof(char16_t));
        if (newLength == 0) {
            std::free(p->Text);
            p->Text = nullptr;
            p->Capacity = 0;
        } else if (p->Capacity > newLength + newLength / 8 + 1) {
            if (void *shrunk = std::realloc(p->Text, size_t(growSize) * sizeof(char16_t))) {
                p->Text = static_cast<char16_t *>(shrunk);
                p->Capacity = qint32(growSize);
            }
        }
    }
    const qint64 delta = newLength - p->Length;
    p->Length = qint32(newLength);
    m_starts.Grow(index, delta);
}

void TParagraphsList::ShareTexts(
    qint64 index, const QString &source, const TextSpan *spans, qint64 count)
{
    if (count <= 0)
        return;
    if (index < 0 || index + count > Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    const qint64 limit = qMin<qint64>(m_limits.MaxParagraphLength, std::numeric_limits<qint32>::max());
    for (qint64 k = 0; k < count; ++k) {
        const TextSpan &s = spans[k];
        if (s.From < 0 || s.Length < 0 || s.From + s.Length > source.size() || At(index + k)->Length != 0)
            throw ERangeError(QStringLiteral("List index out of bounds"));
        if (s.Length > limit)
            throw Exception(QStringLiteral("Text too long"));
    }
    // Text that only wraps someone else's characters (QString::fromRawData) is copied once, since
    // holding it would not keep them.
    const QString held = source.data_ptr().isMutable() ? source : QString(source.constData(), source.size());
    const auto *base = reinterpret_cast<const char16_t *>(held.utf16());
    std::vector<qint64> lengths(size_t(count), 0);
    qint64 users = 0;
    for (qint64 k = 0; k < count; ++k) {
        const TextSpan &s = spans[k];
        if (s.Length == 0)
            continue;
        TParagraph *p = At(index + k);
        std::free(p->Text);
        // Never written through: a paragraph copies its text out before changing it.
        p->Text = const_cast<char16_t *>(base + s.From);
        p->Capacity = 0;
        p->Length = qint32(s.Length);
        p->SharedText = true;
        lengths[size_t(k)] = s.Length;
        ++users;
    }
    m_starts.GrowEach(index, lengths.data(), count);
    if (users > 0) {
        m_shared.push_back(held);
        m_sharedUsers += users;
    }
}

void TParagraphsList::SetLineCount(qint64 index, qint64 n)
{
    TParagraph *p = Record(index);
    if (n < 1)
        n = 1;
    if (n == p->LineCount)
        return;
    if (n - 1 > m_limits.MaxFurtherLines)
        throw EOutOfMemory();
    TLineRecord *further = nullptr;
    if (n > 1) {
        try {
            further = new TLineRecord[size_t(n - 1)];
        } catch (const std::bad_alloc &) {
            throw EOutOfMemory();
        }
        const qint64 keep = qMin<qint64>(n, p->LineCount) - 1;
        for (qint64 i = 0; i < keep; ++i)
            further[i] = p->FurtherLines[i];
    }
    delete[] p->FurtherLines;
    p->FurtherLines = further;
    m_lines.Grow(index, n - p->LineCount);
    p->LineCount = qint32(n);
}

TAttrRecord *TParagraphsList::NewStartAttr(const TAttrRecord *source)
{
    auto *attr = new TAttrRecord();
    if (source)
        *attr = *source;
    attr->Words[0] = 1;
    return attr;
}

void TParagraphsList::ReleaseStartAttr(TAttrRecord *attr)
{
    if (--attr->Words[0] <= 0)
        delete attr;
}

void TParagraphsList::SetStartAttr(qint64 index, TAttrRecord *shared)
{
    TParagraph *p = Record(index);
    if (p->StartAttr == shared)
        return;
    AcquireStartAttr(shared);
    if (p->StartAttr)
        ReleaseStartAttr(p->StartAttr);
    p->StartAttr = shared;
}

void TParagraphsList::ReserveAttr(TParagraph *p)
{
    const qint64 needed = qint64(p->AttrCount) + 1;
    if (needed <= p->AttrCapacity)
        return;
    const qint64 capacity = needed + needed / 64;
    void *grown = std::realloc(p->Attrs, size_t(capacity) * sizeof(TAttrRecord));
    if (!grown)
        throw EOutOfMemory();
    p->Attrs = static_cast<TAttrRecord *>(grown);
    p->AttrCapacity = qint32(capacity);
}

void TParagraphsList::ClearAttributes()
{
    if (Count() == 0)
        return;
    TAttrRecord *first = At(0)->StartAttr;
    for (qint64 i = 0; i < Count(); ++i) {
        TParagraph *p = At(i);
        p->Formatted = p->StartStopApplied = p->KeywordsApplied = false;
        p->AttrCount = 0;
        if (p->StartAttr != first) {
            ReleaseStartAttr(p->StartAttr);
            AcquireStartAttr(first);
            p->StartAttr = first;
        }
    }
}

void TParagraphsList::Check() const
{
    m_pool.Check();
    m_order.Check();
    m_starts.Check();
    m_lines.Check();
    if (m_starts.Partitions() != Count() || m_lines.Partitions() != Count())
        throw std::logic_error("paragraph partitions disagree with the paragraph count");
    if (qint64(m_free.size()) + Count() != m_pool.Count())
        throw std::logic_error("paragraph pool slots are lost or doubled");
    QHash<const TAttrRecord *, qint64> sharers;
    qint64 shared = 0;
    for (qint64 i = 0; i < Count(); ++i) {
        const TParagraph *p = At(i);
        if (m_starts.Extent(i) != qint64(p->Length) + 2)
            throw std::logic_error("paragraph start position disagrees with its predecessor");
        if (m_lines.Extent(i) != p->LineCount || p->LineCount < 1)
            throw std::logic_error("paragraph first line disagrees with its predecessor");
        if ((p->LineCount == 1) != (p->FurtherLines == nullptr))
            throw std::logic_error("paragraph further-lines block disagrees with its line count");
        if (p->SharedText) {
            ++shared;
            bool inside = false;
            for (const QString &text : m_shared)
                inside = inside
                    || (p->Text >= reinterpret_cast<const char16_t *>(text.utf16())
                        && p->Text + p->Length <= reinterpret_cast<const char16_t *>(text.utf16()) + text.size());
            if (p->Capacity != 0 || p->Length <= 0 || !inside)
                throw std::logic_error("paragraph's shared text lies outside the shared texts");
        } else if (p->Length < 0 || p->Length > p->Capacity
            || (p->Capacity > 0) != (p->Text != nullptr)) {
            throw std::logic_error("paragraph buffer does not hold its text");
        }
        if (p->AttrCount < 0 || p->AttrCount > p->AttrCapacity)
            throw std::logic_error("paragraph attribute count exceeds its block");
        for (qint32 a = 0; a < p->AttrCount; ++a) {
            const qint32 off = p->Attrs[a].Offset();
            if (off < 0 || off > p->Length || (a > 0 && off < p->Attrs[a - 1].Offset()))
                throw std::logic_error("paragraph attribute records are out of order");
        }
        if (!p->StartAttr)
            throw std::logic_error("paragraph has no start attribute");
        ++sharers[p->StartAttr];
    }
    for (auto it = sharers.cbegin(); it != sharers.cend(); ++it)
        if (it.key()->RefCount() != it.value())
            throw std::logic_error("start attribute count disagrees with its sharers");
    if (shared != m_sharedUsers || (shared == 0) != m_shared.empty())
        throw std::logic_error("shared texts disagree with the paragraphs reading them");
}

void TLinesList::Bind(TParagraphsList *list, qint64 index)
{
    m_list = list;
    m_index = index;
    m_par = list ? list->Record(index) : nullptr;
}

TLineRecord *TLinesList::Line(qint64 index) const
{
    if (!m_par || index < 0 || index >= m_par->LineCount)
        throw ERangeError(QStringLiteral("List index out of bounds"));
    return index == 0 ? &m_par->FirstLine : &m_par->FurtherLines[index - 1];
}

qint64 TLinesList::Add(const TLineRecord &record)
{
    SetCount(Count() + 1);
    *Line(Count() - 1) = record;
    return Count() - 1;
}

} // namespace qd
