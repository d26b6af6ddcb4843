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

} // namespace

bool TOracleDataSet::SearchRecord(
    const QString &fieldNames, const Variant &fieldValues, int options)
{
    const int starts = ((options & srFromCurrent) ? 1 : 0) + ((options & srFromBeginning) ? 1 : 0)
        + ((options & srFromEnd) ? 1 : 0);
    if (starts > 1 || ((options & srForward) && (options & srBackward))
        || ((options & srForward) && (options & srFromEnd))
        || ((options & srBackward) && (options & srFromBeginning)))
        throw Exception(Name() + QStringLiteral(".SearchRecord options invalid"));
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
    const bool ignoreCase = options & srIgnoreCase;
    const bool dateOnly = options & srDateOnly;
    const bool wildcards = options & srWildcards;
    const bool partial = options & srPartial;

    std::vector<SearchKey> keys(fieldCount);
    bool needsCalc = false;
    for (size_t i = 0; i < fieldCount; ++i) {
        SearchKey &key = keys[i];
        const Variant &value = array ? (*array)[i] : fieldValues;
        key.field = rowIdSearch ? nullptr : fields[i];
        if (key.field
            && (key.field->FieldKind() == fkCalculated || key.field->FieldKind() == fkLookup))
            needsCalc = true;
        if (value.IsNullOrEmpty())
            continue;
        if (const QString *s = value.StringPtr(); s && withoutTrailingBlanks(*s).isEmpty())
            continue;
        const TFieldType type = key.field ? key.field->DataType() : ftString;
        if (wildcards || partial || rowIdSearch) {
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
                key.number
                    = value.StringPtr() ? textDateTime(*value.StringPtr()) : value.AsDateTime();
                if (dateOnly)
                    key.number = std::trunc(key.number);
                break;
            default:
                key.kind = KeyKind::String;
                break;
            }
        }
        if (key.kind == KeyKind::String) {
            key.text = withoutTrailingBlanks(value.AsString());
            if (ignoreCase)
                key.text = key.text.toUpper();
        }
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
            if (!key.field) {
                if (RecordRowId(stored) != key.text)
                    return false;
                continue;
            }
            const bool isNull = key.field->IsNull();
            if (key.kind == KeyKind::Null) {
                if (!isNull)
                    return false;
                continue;
            }
            if (isNull)
                return false;
            switch (key.kind) {
            case KeyKind::Integer:
                if (key.field->AsLargeInt() != key.integer)
                    return false;
                break;
            case KeyKind::Float:
                if (key.field->AsFloat() != key.number)
                    return false;
                break;
            case KeyKind::Date: {
                double v = key.field->AsDateTime();
                if (dateOnly)
                    v = std::trunc(v);
                if (v != key.number)
                    return false;
                break;
            }
            default: {
                QString text = withoutTrailingBlanks(key.field->AsString());
                if (ignoreCase)
                    text = text.toUpper();
                if (partial)
                    text = text.left(key.text.size());
                if (wildcards ? !MatchWildcard(key.text, text) : text != key.text)
                    return false;
                break;
            }
            }
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
