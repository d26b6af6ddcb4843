#pragma once

#include "oracle_data/OracleFilter.h"

#include <QString>

#include <gtest/gtest.h>

#include <functional>

namespace qd::test {

// Fixes the regional settings the filter language reads (decimal point, day.month.year dates,
// 24-hour times) for the duration of a test, whatever the machine's locale.
class FixedFilterFormat : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = filterFormatSettings();
        FilterFormatSettings fixed;
        fixed.decimalSeparator = u'.';
        fixed.shortDateFormat = QStringLiteral("dd.MM.yyyy");
        fixed.longTimeFormat = QStringLiteral("HH:mm:ss");
        setFilterFormatSettings(fixed);
    }
    void TearDown() override { setFilterFormatSettings(m_saved); }

private:
    FilterFormatSettings m_saved;
};

// The node's kind and the value of its own getter, as "Integer:2" or "String:A1".
inline QString describe(const TExpression &node)
{
    const TExpressionKind kind = node.Kind();
    QString value;
    switch (kind) {
    case TExpressionKind::Date:
        value = FilterDateTimeToText(node.AsDate());
        break;
    case TExpressionKind::String:
        value = node.AsString();
        break;
    case TExpressionKind::Float:
        value = QString::number(node.AsFloat(), 'g', 15);
        break;
    case TExpressionKind::Integer:
        value = QString::number(node.AsInteger());
        break;
    case TExpressionKind::Boolean:
        value = node.AsBoolean() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        break;
    }
    return ExpressionKindName(kind) + u':' + value;
}

// The message of the EExpression fn raises, or "<no error>".
inline QString expressionError(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const EExpression &e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

} // namespace qd::test
