#include "OracleDataSetFilterSource.h"

#include "classlib/DataSet.h"

namespace qd {

int OracleDataSetFilterSource::FieldByName(const QString &name) const
{
    return m_dataSet->FieldByName(name)->Index();
}

TExpressionKind OracleDataSetFilterSource::FieldKind(int field) const
{
    switch (m_dataSet->Fields().Fields(field)->DataType()) {
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

Variant OracleDataSetFilterSource::FieldValue(int field) const
{
    TField *f = m_dataSet->Fields().Fields(field);
    if (f->IsNull())
        return Variant::Null();
    switch (FieldKind(field)) {
    case TExpressionKind::Date:
        return Variant::FromDateTime(f->AsDateTime());
    case TExpressionKind::Integer:
        return Variant(f->AsLargeInt());
    case TExpressionKind::Float:
        return Variant(f->AsFloat());
    case TExpressionKind::Boolean:
        return Variant(f->AsBoolean());
    default:
        return Variant(f->AsString());
    }
}

} // namespace qd
