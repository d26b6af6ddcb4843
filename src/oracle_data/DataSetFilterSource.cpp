#include "DataSetFilterSource.h"

#include "classlib/DataSet.h"

namespace qd {

int DataSetFilterSource::FieldByName(const QString &name) const
{
    return m_dataSet.FieldByName(name)->Index();
}

TExpressionKind DataSetFilterSource::FieldKind(int field) const
{
    return KindOfFieldType(m_dataSet.Fields()[field]->DataType());
}

Variant DataSetFilterSource::FieldValue(int field) const
{
    // Date fields give day counts and null fields Null, as the leaves expect.
    return m_dataSet.Fields()[field]->AsVariant();
}

TExpressionKind DataSetFilterSource::KindOfFieldType(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
        return TExpressionKind::Integer;
    case ftBoolean:
        return TExpressionKind::Boolean;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return TExpressionKind::Float;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return TExpressionKind::Date;
    default:
        return TExpressionKind::String;
    }
}

} // namespace qd
