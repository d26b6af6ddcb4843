#include "ColumnExpression.h"

namespace qd {

TColumnExpression::TColumnExpression(const FilterFieldSource &dataSet, QString fieldName)
    : m_dataSet(dataSet)
    , m_fieldName(std::move(fieldName))
{
}

bool TColumnExpression::IsNull() const
{
    if (isNullField())
        return true;
    return m_dataSet.FieldValue(m_dataSet.FieldByName(m_fieldName)).IsNull();
}

TExpressionKind TColumnExpression::Kind() const
{
    if (isNullField())
        return TExpressionKind::String;
    return m_dataSet.FieldKind(m_dataSet.FieldByName(m_fieldName));
}

double TColumnExpression::AsDate() const
{
    if (isNullField())
        return 0;
    const Variant value = m_dataSet.FieldValue(m_dataSet.FieldByName(m_fieldName));
    if (value.IsNull())
        return 0;
    // Text is read with the filter's regional date format, like a string literal.
    if (const QString *text = value.StringPtr())
        return FilterTextToDateTime(*text);
    return value.AsDateTime();
}

QString TColumnExpression::AsString() const
{
    if (isNullField())
        return QString();
    const int field = m_dataSet.FieldByName(m_fieldName);
    const Variant value = m_dataSet.FieldValue(field);
    if (value.IsNull())
        return QString();
    switch (m_dataSet.FieldKind(field)) {
    case TExpressionKind::Date:
        return FilterDateTimeToText(value.AsDateTime());
    case TExpressionKind::Float:
        return FilterFloatToText(value.AsFloat());
    default:
        return value.AsString();
    }
}

double TColumnExpression::AsFloat() const
{
    if (isNullField())
        return 0;
    const int field = m_dataSet.FieldByName(m_fieldName);
    const Variant value = m_dataSet.FieldValue(field);
    if (value.IsNull())
        return 0;
    switch (m_dataSet.FieldKind(field)) {
    case TExpressionKind::Date:
        return value.AsDateTime();
    case TExpressionKind::Boolean:
        // 0 or 1, as every other boolean of the language reads as a number.
        return value.AsBoolean() ? 1 : 0;
    default:
        return value.AsFloat();
    }
}

qint32 TColumnExpression::AsInteger() const
{
    if (isNullField())
        return 0;
    const int field = m_dataSet.FieldByName(m_fieldName);
    const Variant value = m_dataSet.FieldValue(field);
    if (value.IsNull())
        return 0;
    if (m_dataSet.FieldKind(field) == TExpressionKind::Boolean)
        return value.AsBoolean() ? 1 : 0;
    const qint64 wide = value.AsInteger();
    // A 64-bit value the 32-bit integer of the language cannot hold fails rather than wraps.
    if (wide < std::numeric_limits<qint32>::min() || wide > std::numeric_limits<qint32>::max())
        throw EExpression(QStringLiteral("Integer overflow"));
    return static_cast<qint32>(wide);
}

bool TColumnExpression::AsBoolean() const
{
    if (isNullField())
        return false;
    const Variant value = m_dataSet.FieldValue(m_dataSet.FieldByName(m_fieldName));
    return value.IsNull() ? false : value.AsBoolean();
}

std::unique_ptr<TExpression> CreateColumnExpression(
    const FilterFieldSource &dataSet, const QString &name, std::unique_ptr<TParameterList> &)
{
    return std::make_unique<TColumnExpression>(dataSet, name);
}

std::unique_ptr<TExpression> ParseDataSetFilter(
    const QString &text, int options, const FilterFieldSource &dataSet)
{
    return ParseFilterExpression(
        text, options, [&dataSet](const QString &name, std::unique_ptr<TParameterList> &params) {
            return CreateColumnExpression(dataSet, name, params);
        });
}

bool FilterAccept(const TExpression *filter)
{
    return !filter || filter->AsBoolean();
}

} // namespace qd
