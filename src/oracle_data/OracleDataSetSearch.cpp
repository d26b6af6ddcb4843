// Searching the fetched records: SearchRecord, Locate and Lookup.
#include "OracleDataSet.h"

#include "OracleFilter.h"
#include "classlib/DateTimeFields.h"
#include "classlib/DateTimeUtils.h"

#include <QLocale>

#include <cmath>
#include <vector>

namespace qd {

namespace {

enum class KeyKind { Null, Integer, Float, Date, String };

struct SearchKey {
    TField *field = nullptr;
    KeyKind kind = KeyKind::Null;
    qint64 integer = 0;
    double number = 0;
    QString text;
};

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' '))
        --n;
    return text.left(n);
}

double textDateTime(const QString &text)
{
    double value = 0;
    if (TextToDateTime(text.trimmed(), value))
        return value;
    const QLocale locale;
    QDateTime dt = locale.toDateTime(text.trimmed(), QLocale::ShortFormat);
    if (!dt.isValid()) {
        const QDate date = locale.toDate(text.trimmed(), QLocale::ShortFormat);
        if (date.isValid())
            dt = QDateTime(date, QTime(0, 0));
    }
    if (!dt.isValid())
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return QDateTimeToDateTime(dt);
}

void checkSearchOptions(int options, const QString &name)
{
    const int starts = ((options & srFromCurrent) ? 1 : 0) + ((options & srFromBeginning) ? 1 : 0)
        + ((options & srFromEnd) ? 1 : 0);
    if (starts > 1 || ((options & srForward) && (options & srBackward))
        || ((options & srForward) && (options & srFromEnd))
        || ((options & srBackward) && (options & srFromBeginning)))
        throw Exception(name + QStringLiteral(".SearchRecord options invalid"));
}

// The key a value is searched with: compared as the field's type, or as text when the search
// is by wildcards, by a leading part or by row address. Null (and blank text) matches null.
SearchKey makeSearchKey(TField *field, const Variant &value, int options)
{
    SearchKey key;
    key.field = field;
    if (value.IsNullOrEmpty())
        return key;
    if (const QString *s = value.StringPtr(); s && withoutTrailingBlanks(*s).isEmpty())
        return key;
    const TFieldType type = field ? field->DataType() : ftString;
    if ((options & (srWildcards | srPartial)) || !field) {
        key.kind = KeyKind::String;
    } else {
        switch (type) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint:
            key.kind = KeyKind::Integer;
            key.integer = value.AsInteger();
            break;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            key.kind = KeyKind::Float;
            key.number = value.AsFloat();
            break;
        case ftDate:
        case ftTime:
        case ftDateTime:
            key.kind = KeyKind::Date;
            key.number = value.StringPtr() ? textDateTime(*value.StringPtr()) : value.AsDateTime();
            if (options & srDateOnly)
                key.number = std::trunc(key.number);
            break;
        default:
            key.kind = KeyKind::String;
            break;
        }
    }
    if (key.kind == KeyKind::String) {
        key.text = withoutTrailingBlanks(value.AsString());
        if (options & srIgnoreCase)
            key.text = key.text.toUpper();
    }
    return key;
}

// Whether the key's field, read in the record the dataset shows, matches the key.
bool fieldMatches(const SearchKey &key, int options)
{
    const bool isNull = key.field->IsNull();
    if (key.kind == KeyKind::Null)
        return isNull;
    if (isNull)
        return false;
    switch (key.kind) {
    case KeyKind::Integer:
        return key.field->AsLargeInt() == key.integer;
    case KeyKind::Float:
        return key.field->AsFloat() == key.number;
    case KeyKind::Date: {
        double v = key.field->AsDateTime();
        if (options & srDateOnly)
            v = std::trunc(v);
        return v == key.number;
    }
    default: {
        QString text = withoutTrailingBlanks(key.field->AsString());
        if (options & srIgnoreCase)
            text = text.toUpper();
        if (options & srPartial)
            text = text.left(key.text.size());
        return (options & srWildcards) ? MatchWildcard(key.text, text) : text == key.text;
    }
    }
}

} // namespace

bool TOracleDataSet::SearchRecord(
    const QString &fieldNames, const Variant &fieldValues, int options)
{
    checkSearchOptions(options, Name());
    CheckActive();
    CheckBrowseMode();
    const bool rowIdSearch
        = fieldNames.trimmed().compare(QLatin1String("ROWID"), Qt::CaseInsensitive) == 0;
    if (fieldNames.toUpper().contains(QLatin1String("ROWID")) && !m_hasRowId)
        throw Exception(
            QStringLiteral("You cannot search a rowid if it is not included in the select list"));
    std::vector<TField *> fields;
    if (!rowIdSearch)
        GetFieldList(fields, fieldNames);
    const VariantArray *array = fieldValues.ArrayPtr();
    const size_t valueCount = array ? array->size() : 1;
    const size_t fieldCount = rowIdSearch ? 1 : fields.size();
    if (valueCount != fieldCount)
        throw Exception(
            Name() + QStringLiteral(".SearchRecord: number of fields and values do not match"));

    std::vector<SearchKey> keys;
    bool needsCalc = false;
    for (size_t i = 0; i < fieldCount; ++i) {
        TField *field = rowIdSearch ? nullptr : fields[i];
        if (field && (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup))
            needsCalc = true;
        keys.push_back(makeSearchKey(field, array ? (*array)[i] : fieldValues, options));
    }

    UpdateCursorPos();
    int index = m_currentIndex;
    int step = 1;
    if (options & srFromBeginning)
        index = -1;
    if (options & srFromEnd) {
        FetchAll();
        index = m_store->RecordCount();
        step = -1;
    }
    if (options & srForward)
        step = 1;
    if (options & srBackward)
        step = -1;

    ScreenCursorSaver busy(Cursor());
    std::vector<char> buffer(static_cast<size_t>(RecordBufferSize()));
    auto matches = [&](char *stored) {
        DecodeRecord(stored, buffer.data());
        SetBookmarkFlag(buffer.data(), bfCurrent);
        if (needsCalc) {
            ClearCalcFields(buffer.data());
            GetCalcFields(buffer.data());
        }
        TTempState temp(this, dsFilter, buffer.data());
        for (const SearchKey &key : keys) {
            if (!key.field ? RecordRowId(stored) != key.text : !fieldMatches(key, options))
                return false;
        }
        return true;
    };
    for (;;) {
        index += step;
        if (step < 0 && index < m_store->VisibleBase())
            return false;
        if (step > 0 && index >= m_store->RecordCount()) {
            if (m_allFetched)
                return false;
            FetchRecord();
            if (index >= m_store->RecordCount())
                return false;
        }
        if (matches(m_store->Records(index)))
            break;
    }
    m_searchIndex = index;
    if (!(options & srDontMove)) {
        DoBeforeScroll();
        m_currentIndex = index;
        Resync(rmExact | rmCenter);
        DoAfterScroll();
    }
    return true;
}

bool TOracleDataSet::Locate(
    const QString &keyFields, const Variant &keyValues, TLocateOptions options)
{
    int search = srFromBeginning;
    if (options & loCaseInsensitive)
        search |= srIgnoreCase;
    if (options & loPartialKey)
        search |= srPartial;
    return SearchRecord(keyFields, keyValues, search);
}

Variant TOracleDataSet::Lookup(
    const QString &keyFields, const Variant &keyValues, const QString &resultFields)
{
    if (!SearchRecord(keyFields, keyValues, srFromBeginning | srDontMove))
        return Variant();
    std::vector<TField *> fields;
    GetFieldList(fields, resultFields);
    std::vector<char> buffer(static_cast<size_t>(RecordBufferSize()));
    DecodeRecord(m_store->Records(m_searchIndex), buffer.data());
    SetBookmarkFlag(buffer.data(), bfCurrent);
    for (TField *field : fields) {
        if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
            ClearCalcFields(buffer.data());
            GetCalcFields(buffer.data());
            break;
        }
    }
    TTempState temp(this, dsFilter, buffer.data());
    if (fields.size() == 1)
        return fields[0]->AsVariant();
    VariantArray values;
    for (TField *field : fields)
        values.push_back(field->AsVariant());
    return Variant(std::move(values));
}

} // namespace qd
