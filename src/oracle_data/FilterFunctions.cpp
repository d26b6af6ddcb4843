// The filter language's built-in functions and its wildcard match.
#include "FilterFunctions.h"

#include "FilterSupport.h"
#include "classlib/DateTimeUtils.h"

#include <cmath>

namespace qd {

using namespace FilterSupport;

TTypeCast::TTypeCast(Function function, std::unique_ptr<TParameterList> params)
    : TFunction(std::move(params))
    , m_function(function)
{
}

const TExpression &TTypeCast::operand() const
{
    // A cast without a parameter has nothing to forward to.
    const TExpression *first = param(0);
    if (!first) {
        static const char *const names[] = { "DATE", "STRING", "FLOAT", "INTEGER", "BOOLEAN" };
        raise(QStringLiteral("Invalid parameter to %1").arg(QLatin1String(names[m_function])));
    }
    return *first;
}

double TTypeCast::AsDate() const
{
    return operand().AsDate();
}

QString TTypeCast::AsString() const
{
    return operand().AsString();
}

double TTypeCast::AsFloat() const
{
    return operand().AsFloat();
}

qint32 TTypeCast::AsInteger() const
{
    return operand().AsInteger();
}

bool TTypeCast::AsBoolean() const
{
    return operand().AsBoolean();
}

TMathExpression::TMathExpression(Function function, std::unique_ptr<TParameterList> params)
    : TFunction(std::move(params))
    , m_function(function)
{
}

TExpressionKind TMathExpression::Kind() const
{
    return m_function == TRUNC || m_function == ROUND ? TExpressionKind::Integer
                                                      : TExpressionKind::Float;
}

void TMathExpression::checkParameters() const
{
    if (m_function == PI)
        return;
    const int expected = m_function == POWER ? 2 : 1;
    bool valid = paramCount() == expected;
    for (int i = 0; valid && i < expected; ++i) {
        const TExpression *p = param(i);
        valid = p
            && (p->Kind() == TExpressionKind::Float || p->Kind() == TExpressionKind::Integer
                || p->Kind() == TExpressionKind::Boolean);
    }
    if (!valid) {
        static const char *const names[] = { "TRUNC", "ROUND", "ABS", "ARCTAN", "COS", "EXP",
            "FRAC", "INT", "LN", "PI", "SIN", "SQR", "SQRT", "POWER" };
        raise(QStringLiteral("Invalid parameter to %1").arg(QLatin1String(names[m_function])));
    }
}

qint32 TMathExpression::AsInteger() const
{
    checkParameters();
    switch (m_function) {
    case TRUNC:
        return toInt32(std::trunc(param(0)->AsFloat()));
    case ROUND:
        // nearbyint rounds ties to even under the default rounding mode.
        return toInt32(std::nearbyint(param(0)->AsFloat()));
    case ABS: {
        const qint32 value = param(0)->AsInteger();
        return value < 0 ? wrap(0u - static_cast<quint32>(value)) : value;
    }
    default:
        return TExpression::AsInteger();
    }
}

double TMathExpression::AsFloat() const
{
    checkParameters();
    if (m_function == PI)
        return 3.141592653589793;
    if (m_function == TRUNC || m_function == ROUND)
        return TExpression::AsFloat();
    const double x = param(0)->AsFloat();
    switch (m_function) {
    case ABS:
        return std::fabs(x);
    case ARCTAN:
        return std::atan(x);
    case COS:
        return std::cos(x);
    case EXP:
        return std::exp(x);
    case FRAC:
        return x - std::trunc(x);
    case INT:
        return std::trunc(x);
    case LN:
        if (!(x > 0))
            invalidFloatOperation();
        return std::log(x);
    case SIN:
        return std::sin(x);
    case SQR:
        return x * x;
    case SQRT:
        if (x < 0)
            invalidFloatOperation();
        return std::sqrt(x);
    case POWER: {
        if (!(x > 0))
            invalidFloatOperation();
        return std::exp(param(1)->AsFloat() * std::log(x));
    }
    default:
        return TExpression::AsFloat();
    }
}

TStringExpression::TStringExpression(Function function, std::unique_ptr<TParameterList> params)
    : TFunction(std::move(params))
    , m_function(function)
{
}

TExpressionKind TStringExpression::Kind() const
{
    return m_function == POS || m_function == LENGTH ? TExpressionKind::Integer
                                                     : TExpressionKind::String;
}

void TStringExpression::checkParameters() const
{
    static const int counts[] = { 1, 1, 3, 2, 1 };
    const int expected = counts[m_function];
    bool valid = paramCount() == expected;
    for (int i = 0; valid && i < expected; ++i) {
        const TExpression *p = param(i);
        if (!p) {
            valid = false;
        } else if (m_function == COPY && i > 0) {
            valid = p->Kind() == TExpressionKind::Integer || p->Kind() == TExpressionKind::Boolean;
        } else {
            valid = p->Kind() != TExpressionKind::Date;
        }
    }
    if (!valid) {
        static const char *const names[] = { "UPPER", "LOWER", "COPY", "POS", "LENGTH" };
        raise(QStringLiteral("Invalid parameter to %1").arg(QLatin1String(names[m_function])));
    }
}

QString TStringExpression::AsString() const
{
    checkParameters();
    switch (m_function) {
    case UPPER:
        return asciiCase(param(0)->AsString(), true);
    case LOWER:
        return asciiCase(param(0)->AsString(), false);
    case COPY: {
        const QString text = param(0)->AsString();
        const qint64 index = std::max<qint64>(param(1)->AsInteger(), 1);
        const qint64 count = param(2)->AsInteger();
        if (count <= 0 || index > text.size())
            return QString();
        return text.mid(index - 1, count);
    }
    default:
        return TExpression::AsString();
    }
}

qint32 TStringExpression::AsInteger() const
{
    checkParameters();
    if (m_function == POS) {
        const QString sub = param(0)->AsString();
        return static_cast<qint32>(param(1)->AsString().indexOf(sub)) + 1;
    }
    if (m_function == LENGTH)
        return static_cast<qint32>(param(0)->AsString().size());
    return TExpression::AsInteger();
}

const TExpression &TConditional::branch() const
{
    const TExpression *condition = param(0);
    if (paramCount() != 3 || !condition || condition->Kind() != TExpressionKind::Boolean)
        raise(QStringLiteral("Invalid parameters to If"));
    const TExpression *chosen = condition->AsBoolean() ? param(1) : param(2);
    if (!chosen)
        raise(QStringLiteral("Invalid parameters to If"));
    return *chosen;
}

std::unique_ptr<TExpression> CreateFunctionNode(
    const QString &name, std::unique_ptr<TParameterList> &params)
{
    if (name == QLatin1String("IF"))
        return std::make_unique<TConditional>(std::move(params));
    static const char *const casts[] = { "DATE", "STRING", "FLOAT", "INTEGER", "BOOLEAN" };
    for (int i = 0; i < 5; ++i)
        if (name == QLatin1String(casts[i]))
            return std::make_unique<TTypeCast>(
                static_cast<TTypeCast::Function>(i), std::move(params));
    static const char *const math[] = { "TRUNC", "ROUND", "ABS", "ARCTAN", "COS", "EXP", "FRAC",
        "INT", "LN", "PI", "SIN", "SQR", "SQRT", "POWER" };
    for (int i = 0; i < 14; ++i)
        if (name == QLatin1String(math[i]))
            return std::make_unique<TMathExpression>(
                static_cast<TMathExpression::Function>(i), std::move(params));
    static const char *const strings[] = { "UPPER", "LOWER", "COPY", "POS", "LENGTH" };
    for (int i = 0; i < 5; ++i)
        if (name == QLatin1String(strings[i]))
            return std::make_unique<TStringExpression>(
                static_cast<TStringExpression::Function>(i), std::move(params));
    return nullptr;
}

} // namespace qd
