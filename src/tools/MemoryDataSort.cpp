// TMemoryData: sorting the record list on fields.
#include "MemoryData.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qd {

namespace {

// Texts compare in the user's locale; one collator per case rule and thread.
QCollator &collator(bool caseInsensitive)
{
    thread_local QCollator sensitive = [] {
        QCollator c { QLocale() };
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    thread_local QCollator insensitive = [] {
        QCollator c { QLocale() };
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return caseInsensitive ? insensitive : sensitive;
}

bool isTextKind(TFieldType type)
{
    return type == ftString || type == ftFixedChar || type == ftWideString || type == ftGuid;
}

// The text of a native text value (zero-terminated within size bytes).
QString nativeText(const char *data, TFieldType type, int size)
{
    if (type == ftWideString) {
        const auto *units = reinterpret_cast<const char16_t *>(data);
        qsizetype n = 0;
        while (n < size / 2 && units[n])
            ++n;
        return QString::fromUtf16(units, n);
    }
    return QString::fromUtf8(
        data, static_cast<qsizetype>(strnlen(data, static_cast<size_t>(size))));
}

// Texts compared ignoring case are folded first: not every collator (the "C" locale's)
// honours its case setting.
QString collationText(const char *data, TFieldType type, int size, bool caseInsensitive)
{
    const QString text = nativeText(data, type, size);
    return caseInsensitive ? text.toCaseFolded() : text;
}

template <typename T> int compareNative(const void *a, const void *b)
{
    T x;
    T y;
    std::memcpy(&x, a, sizeof(T));
    std::memcpy(&y, b, sizeof(T));
    return x < y ? -1 : y < x ? 1 : 0;
}

int compareValues(const void *a, const void *b, TFieldType type, int size, bool caseInsensitive)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid: {
        const bool fold = caseInsensitive || type == ftGuid;
        const int c
            = collator(fold).compare(collationText(static_cast<const char *>(a), type, size, fold),
                collationText(static_cast<const char *>(b), type, size, fold));
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    case ftSmallint:
        return compareNative<qint16>(a, b);
    case ftWord:
        return compareNative<quint16>(a, b);
    case ftBoolean:
        return compareNative<quint16>(a, b);
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc:
        return compareNative<qint32>(a, b);
    case ftLargeint:
        return compareNative<qint64>(a, b);
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftBCD:
        return compareNative<double>(a, b);
    default:
        return 0;
    }
}

} // namespace

int CompareFieldValues(const void *a, const void *b, TFieldType type, bool caseInsensitive)
{
    return compareValues(a, b, type, TMemoryData::FieldDataSize(type, 0x7FFF), caseInsensitive);
}

// While a sort runs: the collation keys of every record's text key values, computed once
// instead of at every comparison.
class TMemorySorter {
public:
    // keys[k][slot]: the key of sort field k of the record in that slot (text fields only).
    std::vector<std::vector<std::optional<QCollatorSortKey>>> keys;
};

int TMemoryData::CompareRecords(const TMemoryRecord &a, const TMemoryRecord &b)
{
    int result = 0;
    for (size_t k = 0; k < m_sortKeys.size() && result == 0; ++k) {
        const FieldPlace *place = placeOf(m_sortKeys[k]);
        if (!place || place->place != Place::Block)
            continue; // variants compare equal
        const char *pa = a.m_data.get() + place->offset;
        const char *pb = b.m_data.get() + place->offset;
        // An empty text is no value, as when it is read.
        const bool text = isTextKind(place->type);
        const bool hasA = pa[0] && (!text || pa[1] || (place->type == ftWideString && pa[2]));
        const bool hasB = pb[0] && (!text || pb[1] || (place->type == ftWideString && pb[2]));
        if (hasA && hasB) {
            const std::vector<std::optional<QCollatorSortKey>> *cached
                = m_sorter && text ? &m_sorter->keys[k] : nullptr;
            if (cached && a.m_sortSlot >= 0 && b.m_sortSlot >= 0) {
                const int c = (*cached)[static_cast<size_t>(a.m_sortSlot)]->compare(
                    *(*cached)[static_cast<size_t>(b.m_sortSlot)]);
                result = c < 0 ? -1 : c > 0 ? 1 : 0;
            } else {
                result = compareValues(
                    pa + 1, pb + 1, place->type, place->dataSize, m_caseInsensitiveSort);
            }
        } else if (hasA) {
            result = 1;
        } else if (hasB) {
            result = -1;
        }
    }
    if (result == 0)
        result = a.m_id < b.m_id ? -1 : a.m_id > b.m_id ? 1 : 0;
    return m_descendingSort ? -result : result;
}

void TMemoryData::SortByFields(const QString &fieldNames, bool caseInsensitive, bool descending)
{
    dropSortKeys();
    std::vector<TField *> keys;
    GetFieldList(keys, fieldNames);
    for (TField *field : keys)
        if (field->FieldKind() != fkData || !IsSupportedType(field->DataType())
            || IsBlobType(field->DataType()))
            DatabaseError(QStringLiteral("Field '%1' cannot be a sort key: %2 values are not kept "
                                         "in the record")
                              .arg(field->DisplayName(), FieldTypeName(field->DataType())),
                Name());
    m_sortKeys = std::move(keys);
    m_caseInsensitiveSort = caseInsensitive;
    m_descendingSort = descending;
    if (!Active() || m_records.empty())
        return;
    try {
        // A pending edit is posted first: afterwards its record may be elsewhere in the list.
        CheckBrowseMode();
        const TBookmark current = GetBookmark();

        TMemorySorter sorter;
        sorter.keys.resize(m_sortKeys.size());
        for (size_t k = 0; k < m_sortKeys.size(); ++k) {
            const FieldPlace *place = placeOf(m_sortKeys[k]);
            if (!place || place->place != Place::Block || !isTextKind(place->type))
                continue;
            const bool fold = place->type == ftGuid || caseInsensitive;
            QCollator &c = collator(fold);
            auto &column = sorter.keys[k];
            column.reserve(m_records.size());
            for (const TMemoryRecord &record : m_records) {
                const char *data = record.m_data.get() + place->offset;
                column.emplace_back(
                    c.sortKey(collationText(data + 1, place->type, place->dataSize, fold)));
            }
        }
        for (size_t i = 0; i < m_records.size(); ++i)
            m_records[i].m_sortSlot = static_cast<qint32>(i);
        struct Detach {
            TMemoryData *self;
            ~Detach()
            {
                self->m_sorter = nullptr;
                for (TMemoryRecord &record : self->m_records)
                    record.m_sortSlot = -1;
            }
        } detach { this };
        m_sorter = &sorter;
        // Records never compare equal (the IDs decide last), so any correct sort gives the one
        // order the keys define.
        std::sort(m_records.begin(), m_records.end(),
            [this](const TMemoryRecord &a, const TMemoryRecord &b) {
                return CompareRecords(a, b) < 0;
            });
        m_sorter = nullptr;
        CursorPosChanged();
        if (!current.isEmpty())
            GotoBookmark(current);
        Resync(0);
    } catch (...) {
        dropSortKeys();
        throw;
    }
}

} // namespace qd
