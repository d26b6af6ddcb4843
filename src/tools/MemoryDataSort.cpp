// TMemoryData: sorting the record list on fields.
#include "MemoryData.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <optional>
#include <typeinfo>

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
    // Where each sort field's value lives, looked up once.
    std::vector<const void *> places;
    // For the plain dataset's own sort: per sort field and slot, whether the value is present,
    // and the value of number kinds; the records' IDs by slot.
    std::vector<std::vector<char>> present;
    std::vector<std::vector<qint64>> integers;
    std::vector<std::vector<double>> floats;
    std::vector<qint32> ids;
};

namespace {

enum class KeyKind { Text, Integer, Float, None };

KeyKind keyKind(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
        return KeyKind::Text;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc:
    case ftLargeint:
        return KeyKind::Integer;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftBCD:
        return KeyKind::Float;
    default:
        return KeyKind::None;
    }
}

qint64 nativeInteger(const char *data, TFieldType type)
{
    switch (type) {
    case ftSmallint: {
        qint16 v;
        std::memcpy(&v, data, 2);
        return v;
    }
    case ftWord:
    case ftBoolean: {
        quint16 v;
        std::memcpy(&v, data, 2);
        return v;
    }
    case ftLargeint: {
        qint64 v;
        std::memcpy(&v, data, 8);
        return v;
    }
    default: {
        qint32 v;
        std::memcpy(&v, data, 4);
        return v;
    }
    }
}

} // namespace

int TMemoryData::CompareRecords(const TMemoryRecord &a, const TMemoryRecord &b)
{
    int result = 0;
    for (size_t k = 0; k < m_sortKeys.size() && result == 0; ++k) {
        const FieldPlace *place = m_sorter ? static_cast<const FieldPlace *>(m_sorter->places[k])
                                           : placeOf(m_sortKeys[k]);
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
            sorter.places.push_back(place);
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
        if (typeid(*this) == typeid(TMemoryData)) {
            // No descendant redefines the comparison: sort the slots over the precomputed
            // values, which sit together in memory, then put the records in that order.
            sortSlots(sorter);
        } else {
            sortRecords(sorter);
        }
        CursorPosChanged();
        if (!current.isEmpty())
            GotoBookmark(current);
        Resync(0);
    } catch (...) {
        dropSortKeys();
        throw;
    }
}

void TMemoryData::sortRecords(TMemorySorter &sorter)
{
    {
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
    }
    for (TMemoryRecord &record : m_records)
        record.m_sortSlot = -1;
}

void TMemoryData::sortSlots(TMemorySorter &sorter)
{
    const size_t count = m_records.size();
    const size_t keys = m_sortKeys.size();
    sorter.present.resize(keys);
    sorter.integers.resize(keys);
    sorter.floats.resize(keys);
    sorter.ids.resize(count);
    for (size_t i = 0; i < count; ++i)
        sorter.ids[i] = m_records[i].m_id;
    std::vector<KeyKind> kinds(keys, KeyKind::None);
    for (size_t k = 0; k < keys; ++k) {
        const auto *place = static_cast<const FieldPlace *>(sorter.places[k]);
        if (!place || place->place != Place::Block)
            continue; // variants compare equal
        kinds[k] = keyKind(place->type);
        auto &present = sorter.present[k];
        present.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const char *data = m_records[i].m_data.get() + place->offset;
            const bool text = kinds[k] == KeyKind::Text;
            present[i] = data[0] && (!text || data[1] || (place->type == ftWideString && data[2]));
            if (kinds[k] == KeyKind::Integer) {
                sorter.integers[k].push_back(nativeInteger(data + 1, place->type));
            } else if (kinds[k] == KeyKind::Float) {
                double v;
                std::memcpy(&v, data + 1, 8);
                sorter.floats[k].push_back(v);
            }
        }
    }
    const bool descending = m_descendingSort;
    auto compare = [&](qint32 a, qint32 b) {
        for (size_t k = 0; k < keys; ++k) {
            if (kinds[k] == KeyKind::None)
                continue;
            const bool hasA = sorter.present[k][static_cast<size_t>(a)];
            const bool hasB = sorter.present[k][static_cast<size_t>(b)];
            int c = 0;
            if (hasA && hasB) {
                switch (kinds[k]) {
                case KeyKind::Text:
                    c = sorter.keys[k][static_cast<size_t>(a)]->compare(
                        *sorter.keys[k][static_cast<size_t>(b)]);
                    break;
                case KeyKind::Integer: {
                    const qint64 x = sorter.integers[k][static_cast<size_t>(a)];
                    const qint64 y = sorter.integers[k][static_cast<size_t>(b)];
                    c = x < y ? -1 : x > y ? 1 : 0;
                    break;
                }
                case KeyKind::Float: {
                    const double x = sorter.floats[k][static_cast<size_t>(a)];
                    const double y = sorter.floats[k][static_cast<size_t>(b)];
                    c = x < y ? -1 : y < x ? 1 : 0;
                    break;
                }
                case KeyKind::None:
                    break;
                }
            } else if (hasA != hasB) {
                c = hasA ? 1 : -1;
            }
            if (c != 0)
                return descending ? c > 0 : c < 0;
        }
        const qint32 x = sorter.ids[static_cast<size_t>(a)];
        const qint32 y = sorter.ids[static_cast<size_t>(b)];
        return descending ? x > y : x < y;
    };
    std::vector<qint32> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = static_cast<qint32>(i);
    std::sort(order.begin(), order.end(), compare);
    std::vector<TMemoryRecord> sorted;
    sorted.reserve(m_records.capacity());
    for (qint32 slot : order)
        sorted.push_back(std::move(m_records[static_cast<size_t>(slot)]));
    m_records.swap(sorted);
    for (TMemoryRecord &record : m_records)
        record.m_sortSlot = -1;
}

} // namespace qd
