#include "OracleFilter.h"

#include "classlib/DateTimeUtils.h"

#include <QDate>
#include <QLocale>
#include <QMutex>
#include <QRegularExpression>
#include <QTime>

#include <cmath>
#include <limits>
#include <optional>

namespace qd {

namespace {

using Op = TExpressionOperator;

// The options of the parse in progress on this thread, copied into every node it creates
// (including the nodes the identifier callback makes). Per thread, so that parses on different
// threads cannot see each other's options.
struct ParseOptions {
    bool caseInsensitive = false;
    bool partialCompare = true;
};
thread_local ParseOptions currentOptions;

QMutex settingsMutex;
std::optional<FilterFormatSettings> settingsOverride;

[[noreturn]] void raise(const QString &message)
{
    throw EExpression(message);
}

[[noreturn]] void internalError(int code)
{
    raise(QStringLiteral("Internal parser error. Code %1").arg(code));
}

qint32 wrap(quint32 value)
{
    return static_cast<qint32>(value);
}

// Truncated or rounded floats that leave the 32-bit range fail instead of wrapping silently.
qint32 toInt32(double value)
{
    if (!(value >= -2147483648.0 && value < 2147483648.0))
        raise(QStringLiteral("Integer overflow"));
    return static_cast<qint32>(value);
}

[[noreturn]] void divisionByZero()
{
    raise(QStringLiteral("Division by zero"));
}

[[noreturn]] void invalidFloatOperation()
{
    raise(QStringLiteral("Invalid floating point operation"));
}

QString asciiCase(const QString &text, bool upper)
{
    QString result = text;
    for (QChar &c : result) {
        const char16_t u = c.unicode();
        if (upper && u >= u'a' && u <= u'z')
            c = QChar(u - 32);
        else if (!upper && u >= u'A' && u <= u'Z')
            c = QChar(u + 32);
    }
    return result;
}

// Qt's one-letter day, month, hour, minute and second fields also read two digits, so parsing
// accepts both "1.2.1990" and "01.02.1990" whatever the configured format pads to.
QString lenientFormat(QString format)
{
    static const QRegularExpression doubled(QStringLiteral("(?<![dMHhms])([dMHhms])\\1(?!\\1)"));
    return format.replace(doubled, QStringLiteral("\\1"));
}

} // namespace

QString ExpressionKindName(TExpressionKind kind)
{
    switch (kind) {
    case TExpressionKind::Date:
        return QStringLiteral("Date");
    case TExpressionKind::String:
        return QStringLiteral("String");
    case TExpressionKind::Float:
        return QStringLiteral("Float");
    case TExpressionKind::Integer:
        return QStringLiteral("Integer");
    case TExpressionKind::Boolean:
        return QStringLiteral("Boolean");
    }
    return QString();
}

QString ExpressionOperatorName(TExpressionOperator op)
{
    static const char *const names[]
        = { "opNot", "opMult", "opDivide", "opDiv", "opMod", "opAnd", "opShl", "opShr", "opPlus",
              "opMinus", "opOr", "opXor", "opEq", "opNEQ", "opLT", "opGT", "opLTE", "opGTE" };
    return QString::fromLatin1(names[static_cast<int>(op)]);
}

TExpressionKind CommonKind(TExpressionKind a, TExpressionKind b)
{
    return static_cast<int>(a) <= static_cast<int>(b) ? a : b;
}

TExpressionKind ResultKind(TExpressionOperator op, TExpressionKind operandKind)
{
    switch (operandKind) {
    case TExpressionKind::Date:
        if (op == Op::opPlus || op == Op::opMinus)
            return TExpressionKind::Date;
        break;
    case TExpressionKind::String:
        if (op == Op::opPlus)
            return TExpressionKind::String;
        break;
    case TExpressionKind::Float:
        if (op == Op::opMult || op == Op::opDivide || op == Op::opPlus || op == Op::opMinus)
            return TExpressionKind::Float;
        break;
    case TExpressionKind::Integer:
        switch (op) {
        case Op::opNot:
        case Op::opMult:
        case Op::opDiv:
        case Op::opMod:
        case Op::opAnd:
        case Op::opShl:
        case Op::opShr:
        case Op::opPlus:
        case Op::opMinus:
        case Op::opOr:
        case Op::opXor:
            return TExpressionKind::Integer;
        case Op::opDivide:
            return TExpressionKind::Float;
        default:
            break;
        }
        break;
    case TExpressionKind::Boolean:
        if (op == Op::opNot || op == Op::opAnd || op == Op::opOr || op == Op::opXor)
            return TExpressionKind::Boolean;
        break;
    }
    raise(QStringLiteral("Operator %1 incompatible with %2")
              .arg(ExpressionOperatorName(op), ExpressionKindName(operandKind)));
}

// ---- Regional settings and the texts made with them ----

FilterFormatSettings FilterFormatSettings::fromLocale(const QLocale &locale)
{
    FilterFormatSettings settings;
    const QString point = locale.decimalPoint();
    settings.decimalSeparator = point.isEmpty() ? QChar(u'.') : point.front();
    settings.shortDateFormat = locale.dateFormat(QLocale::ShortFormat);
    // The long time format of a Qt locale names the time zone, which a day count does not have.
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    settings.longTimeFormat = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    return settings;
}

FilterFormatSettings filterFormatSettings()
{
    QMutexLocker lock(&settingsMutex);
    if (!settingsOverride)
        settingsOverride = FilterFormatSettings::fromLocale(QLocale::system());
    return *settingsOverride;
}

void setFilterFormatSettings(const FilterFormatSettings &settings)
{
    QMutexLocker lock(&settingsMutex);
    settingsOverride = settings;
}

QString FilterFloatToText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    // General format with 15 significant digits: fixed while the integer part has at most 15
    // digits and the value is at least 0.00001, else scientific as in 1.5E20 or 1E-6.
    const QString sci = QString::number(value, 'e', 14);
    const int ePos = sci.indexOf(u'e');
    int exponent = sci.mid(ePos + 1).toInt();
    QString digits = sci.left(ePos);
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits.remove(0, 1);
    digits.remove(u'.');
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    const QChar separator = filterFormatSettings().decimalSeparator;
    QString result;
    if (exponent >= 15 || exponent < -5) {
        result = digits.left(1);
        if (digits.size() > 1)
            result += separator + digits.mid(1);
        result += u'E';
        if (exponent < 0)
            result += u'-';
        result += QString::number(std::abs(exponent));
    } else if (exponent < 0) {
        result = QStringLiteral("0") + separator + QString(-exponent - 1, u'0') + digits;
    } else {
        if (digits.size() <= exponent + 1) {
            result = digits + QString(exponent + 1 - digits.size(), u'0');
        } else {
            result = digits.left(exponent + 1) + separator + digits.mid(exponent + 1);
        }
    }
    return negative ? u'-' + result : result;
}

QString FilterDateTimeToText(double dateTime)
{
    const FilterFormatSettings settings = filterFormatSettings();
    const QString date = DateTimeToQDate(dateTime).toString(settings.shortDateFormat);
    if (dateTime == std::trunc(dateTime))
        return date;
    return date + u' ' + DateTimeToQTime(dateTime).toString(settings.longTimeFormat);
}

double FilterTextToDateTime(const QString &text)
{
    const FilterFormatSettings settings = filterFormatSettings();
    const QString trimmed = text.trimmed();
    const QString dateFormat = lenientFormat(settings.shortDateFormat);
    const QString timeFormat = lenientFormat(settings.longTimeFormat);
    const QDateTime both = QDateTime::fromString(trimmed, dateFormat + u' ' + timeFormat);
    if (both.isValid())
        return QDateTimeToDateTime(both);
    const QDate date = QDate::fromString(trimmed, dateFormat);
    if (date.isValid())
        return QDateToDateTime(date);
    const QTime time = QTime::fromString(trimmed, timeFormat);
    if (time.isValid())
        return QTimeToDateTime(time);
    throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
}

// ---- Base node: the general conversion table ----

TExpression::TExpression()
    : m_caseInsensitive(currentOptions.caseInsensitive)
    , m_partialCompare(currentOptions.partialCompare)
{
}

TExpression::~TExpression() = default;

void TExpression::cannotRead(TExpressionKind kind, TExpressionKind target) const
{
    static const char *const texts[] = { "Cannot read %1 as Date", "Cannot read %1 as String",
        "Cannot read %1 as Float", "Cannot read %1 as integer", "Cannot read %1 as boolean" };
    raise(QString::fromLatin1(texts[static_cast<int>(target)]).arg(ExpressionKindName(kind)));
}

double TExpression::AsDate() const
{
    const TExpressionKind kind = Kind();
    switch (kind) {
    case TExpressionKind::String:
        return FilterTextToDateTime(AsString());
    case TExpressionKind::Float:
        return AsFloat();
    case TExpressionKind::Integer:
        return AsInteger();
    default:
        cannotRead(kind, TExpressionKind::Date);
    }
}

QString TExpression::AsString() const
{
    const TExpressionKind kind = Kind();
    switch (kind) {
    case TExpressionKind::Date:
        return FilterDateTimeToText(AsDate());
    case TExpressionKind::Float:
        return FilterFloatToText(AsFloat());
    case TExpressionKind::Integer:
        return QString::number(AsInteger());
    case TExpressionKind::Boolean:
        return AsBoolean() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default:
        cannotRead(kind, TExpressionKind::String);
    }
}

double TExpression::AsFloat() const
{
    const TExpressionKind kind = Kind();
    switch (kind) {
    case TExpressionKind::Date:
        return AsDate();
    case TExpressionKind::Integer:
        return AsInteger();
    case TExpressionKind::Boolean:
        return AsBoolean() ? 1 : 0;
    default:
        cannotRead(kind, TExpressionKind::Float);
    }
}

qint32 TExpression::AsInteger() const
{
    const TExpressionKind kind = Kind();
    switch (kind) {
    case TExpressionKind::Date:
        return toInt32(std::trunc(AsDate()));
    case TExpressionKind::Boolean:
        return AsBoolean() ? 1 : 0;
    default:
        cannotRead(kind, TExpressionKind::Integer);
    }
}

bool TExpression::AsBoolean() const
{
    cannotRead(Kind(), TExpressionKind::Boolean);
}

// ---- Operators ----

TUnaryOp::TUnaryOp(TExpressionOperator op, std::unique_ptr<TExpression> operand)
    : m_operator(op)
    , m_operand(std::move(operand))
{
    if (op != Op::opNot && op != Op::opPlus && op != Op::opMinus)
        raise(QStringLiteral("%1 is not simple unary operator").arg(ExpressionOperatorName(op)));
    m_operandKind = m_operand->Kind();
}

TExpressionKind TUnaryOp::Kind() const
{
    return ResultKind(m_operator, m_operandKind);
}

double TUnaryOp::AsFloat() const
{
    Kind();
    if (m_operator == Op::opPlus)
        return m_operand->AsFloat();
    if (m_operator == Op::opMinus)
        return -m_operand->AsFloat();
    return TExpression::AsFloat();
}

qint32 TUnaryOp::AsInteger() const
{
    Kind();
    switch (m_operator) {
    case Op::opPlus:
        return m_operand->AsInteger();
    case Op::opMinus:
        return wrap(0u - static_cast<quint32>(m_operand->AsInteger()));
    default:
        if (m_operandKind == TExpressionKind::Integer)
            return ~m_operand->AsInteger();
        if (m_operandKind == TExpressionKind::Boolean)
            return m_operand->AsBoolean() ? 0 : 1;
        internalError(6);
    }
}

bool TUnaryOp::AsBoolean() const
{
    const TExpressionKind kind = Kind();
    if (m_operator == Op::opNot)
        return !m_operand->AsBoolean();
    cannotRead(kind, TExpressionKind::Boolean);
}

TBinaryOp::TBinaryOp(
    TExpressionOperator op, std::unique_ptr<TExpression> left, std::unique_ptr<TExpression> right)
    : m_operator(op)
    , m_left(std::move(left))
    , m_right(std::move(right))
{
    if (op == Op::opNot || static_cast<int>(op) > static_cast<int>(Op::opXor))
        raise(QStringLiteral("%1 is not a simple binary operator").arg(ExpressionOperatorName(op)));
    m_operandKind = CommonKind(m_left->Kind(), m_right->Kind());
}

TExpressionKind TBinaryOp::Kind() const
{
    return ResultKind(m_operator, m_operandKind);
}

double TBinaryOp::AsDate() const
{
    const TExpressionKind kind = Kind();
    if (kind == TExpressionKind::Date) {
        if (m_operator == Op::opPlus)
            return m_left->AsDate() + m_right->AsDate();
        if (m_operator == Op::opMinus)
            return m_left->AsDate() - m_right->AsDate();
        internalError(14);
    }
    if (kind == TExpressionKind::Boolean)
        return AsBoolean() ? 1 : 0;
    return TExpression::AsDate();
}

QString TBinaryOp::AsString() const
{
    if (Kind() == TExpressionKind::String) {
        if (m_operator != Op::opPlus)
            internalError(10);
        return m_left->AsString() + m_right->AsString();
    }
    return TExpression::AsString();
}

double TBinaryOp::AsFloat() const
{
    if (Kind() != TExpressionKind::Float)
        return TExpression::AsFloat();
    switch (m_operator) {
    case Op::opMult:
        return m_left->AsFloat() * m_right->AsFloat();
    case Op::opDivide: {
        const double left = m_left->AsFloat();
        const double right = m_right->AsFloat();
        if (right == 0)
            divisionByZero();
        return left / right;
    }
    case Op::opPlus:
        return m_left->AsFloat() + m_right->AsFloat();
    case Op::opMinus:
        return m_left->AsFloat() - m_right->AsFloat();
    default:
        internalError(11);
    }
}

qint32 TBinaryOp::AsInteger() const
{
    if (Kind() != TExpressionKind::Integer)
        return TExpression::AsInteger();
    if (m_operator == Op::opNot || m_operator == Op::opDivide)
        internalError(12);
    const qint32 left = m_left->AsInteger();
    const qint32 right = m_right->AsInteger();
    const quint32 l = static_cast<quint32>(left);
    const quint32 r = static_cast<quint32>(right);
    switch (m_operator) {
    case Op::opMult:
        return wrap(l * r);
    case Op::opDiv:
        if (right == 0)
            divisionByZero();
        // The one quotient outside the range wraps like the other operators.
        if (right == -1)
            return wrap(0u - l);
        return left / right;
    case Op::opMod:
        if (right == 0)
            divisionByZero();
        if (right == -1)
            return 0;
        return left % right;
    case Op::opAnd:
        return wrap(l & r);
    case Op::opOr:
        return wrap(l | r);
    case Op::opXor:
        return wrap(l ^ r);
    case Op::opShl:
        return wrap(l << (r % 32));
    case Op::opShr:
        return wrap(l >> (r % 32));
    case Op::opPlus:
        return wrap(l + r);
    case Op::opMinus:
        return wrap(l - r);
    default:
        internalError(12);
    }
}

bool TBinaryOp::AsBoolean() const
{
    const TExpressionKind kind = Kind();
    if (m_operator != Op::opAnd && m_operator != Op::opOr && m_operator != Op::opXor)
        internalError(13);
    if (kind != TExpressionKind::Boolean)
        cannotRead(kind, TExpressionKind::Boolean);
    if (m_operator == Op::opAnd)
        return m_left->AsBoolean() && m_right->AsBoolean();
    if (m_operator == Op::opOr)
        return m_left->AsBoolean() || m_right->AsBoolean();
    const bool left = m_left->AsBoolean();
    return left != m_right->AsBoolean();
}

TRelationalOp::TRelationalOp(
    TExpressionOperator op, std::unique_ptr<TExpression> left, std::unique_ptr<TExpression> right)
    : m_operator(op)
    , m_left(std::move(left))
    , m_right(std::move(right))
{
    if (static_cast<int>(op) < static_cast<int>(Op::opEq))
        raise(QStringLiteral("%1 is not relational operator").arg(ExpressionOperatorName(op)));
}

QString TRelationalOp::AsString() const
{
    return AsBoolean() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

double TRelationalOp::AsFloat() const
{
    return AsBoolean() ? 1 : 0;
}

qint32 TRelationalOp::AsInteger() const
{
    return AsBoolean() ? 1 : 0;
}

namespace {

template <typename T> bool compareValues(Op op, const T &left, const T &right)
{
    switch (op) {
    case Op::opEq:
        return left == right;
    case Op::opNEQ:
        return left != right;
    case Op::opLT:
        return left < right;
    case Op::opGT:
        return left > right;
    case Op::opLTE:
        return left <= right;
    default:
        return left >= right;
    }
}

} // namespace

bool TRelationalOp::AsBoolean() const
{
    const bool leftNull = m_left->IsNull();
    const bool rightNull = m_right->IsNull();
    if (leftNull || rightNull) {
        if (m_operator == Op::opEq)
            return leftNull && rightNull;
        if (m_operator == Op::opNEQ)
            return leftNull != rightNull;
        return false;
    }
    switch (CommonKind(m_left->Kind(), m_right->Kind())) {
    case TExpressionKind::Date:
        return compareValues(m_operator, m_left->AsDate(), m_right->AsDate());
    case TExpressionKind::Float:
        return compareValues(m_operator, m_left->AsFloat(), m_right->AsFloat());
    case TExpressionKind::Integer:
        return compareValues(m_operator, m_left->AsInteger(), m_right->AsInteger());
    case TExpressionKind::Boolean:
        if (m_operator != Op::opEq && m_operator != Op::opNEQ)
            raise(QStringLiteral("cannot apply %1 to boolean operands")
                      .arg(ExpressionOperatorName(m_operator)));
        return compareValues(m_operator, m_left->AsBoolean(), m_right->AsBoolean());
    case TExpressionKind::String:
        break;
    }
    QString left = m_left->AsString();
    QString right = m_right->AsString();
    if (CaseInsensitive()) {
        left = left.toUpper();
        right = right.toUpper();
    }
    if (m_operator == Op::opEq || m_operator == Op::opNEQ) {
        const bool equal = PartialCompare() ? MatchWildcard(right, left) : left == right;
        return (m_operator == Op::opEq) == equal;
    }
    // Ordinal character codes, not the locale's collation.
    return compareValues(m_operator, QString::compare(left, right, Qt::CaseSensitive), 0);
}

// ---- Functions ----

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

// ---- Wildcards ----

bool MatchWildcard(const QString &pattern, const QString &text)
{
    // Iterative form of the recursive star rule: on a mismatch, let the most recent star swallow
    // one more character. Same answers, but linear in the text per star instead of exponential.
    const qsizetype pn = pattern.size();
    const qsizetype tn = text.size();
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (t < tn) {
        if (p < pn && pattern[p] == u'*') {
            starP = ++p;
            starT = t;
        } else if (p < pn && (pattern[p] == u'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP >= 0) {
            p = starP;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pn && pattern[p] == u'*')
        ++p;
    return p == pn;
}

// ---- Parser ----

namespace {

struct Parsed {
    std::unique_ptr<TExpression> node;
    int depth = 1;
};

enum class Word { None, Operator, True, False, Identifier };

class FilterParser {
public:
    FilterParser(QString text, const TResolveIdentifierEvent &onIdentifier)
        : m_text(std::move(text))
        , m_onIdentifier(onIdentifier)
        , m_separator(filterFormatSettings().decimalSeparator)
    {
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text.at(m_pos); }

    void skipBlanks()
    {
        while (!atEnd() && m_text.at(m_pos).unicode() >= 1 && m_text.at(m_pos).unicode() <= 32)
            ++m_pos;
    }

    Parsed parseExpression()
    {
        Parsed left = parseSimple();
        skipBlanks();
        if (!isComparisonChar(peek()))
            return left;
        const Op op = readComparison();
        Parsed right = parseSimple();
        Parsed result = combine(
            std::make_unique<TRelationalOp>(op, std::move(left.node), std::move(right.node)),
            std::max(left.depth, right.depth));
        skipBlanks();
        if (isComparisonChar(peek()))
            raise(QStringLiteral("Syntax error"));
        return result;
    }

private:
    static bool isComparisonChar(QChar c) { return c == u'<' || c == u'=' || c == u'>'; }
    static bool isLetter(QChar c)
    {
        const char16_t u = c.unicode();
        return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_';
    }
    static bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

    Parsed combine(std::unique_ptr<TExpression> node, int childDepth)
    {
        if (childDepth + 1 > MaxFilterTreeDepth)
            raise(QStringLiteral("Filter expression nested too deeply (more than %1 levels)")
                      .arg(MaxFilterTreeDepth));
        return Parsed { std::move(node), childDepth + 1 };
    }

    Op readComparison()
    {
        QString chars(m_text.at(m_pos++));
        if (isComparisonChar(peek()))
            chars += m_text.at(m_pos++);
        if (chars == u"=")
            return Op::opEq;
        if (chars == u"<>")
            return Op::opNEQ;
        if (chars == u"<")
            return Op::opLT;
        if (chars == u">")
            return Op::opGT;
        if (chars == u"<=")
            return Op::opLTE;
        if (chars == u">=")
            return Op::opGTE;
        raise(QStringLiteral("%1 not a valid operator").arg(chars));
    }

    // Reads a word at the current position, upper-cased (ASCII letters only).
    QString readWord()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && (isLetter(peek()) || isDigit(peek())))
            ++m_pos;
        return asciiCase(m_text.mid(start, m_pos - start), true);
    }

    static std::optional<Op> operatorWord(const QString &word)
    {
        if (word == u"NOT")
            return Op::opNot;
        if (word == u"DIV")
            return Op::opDiv;
        if (word == u"MOD")
            return Op::opMod;
        if (word == u"AND")
            return Op::opAnd;
        if (word == u"SHL")
            return Op::opShl;
        if (word == u"SHR")
            return Op::opShr;
        if (word == u"OR")
            return Op::opOr;
        if (word == u"XOR")
            return Op::opXor;
        return std::nullopt;
    }

    Parsed parseSimple()
    {
        Parsed left = parseTerm();
        for (;;) {
            skipBlanks();
            const QChar c = peek();
            Op op;
            if (c == u'+') {
                op = Op::opPlus;
                ++m_pos;
            } else if (c == u'-') {
                op = Op::opMinus;
                ++m_pos;
            } else if (isLetter(c)) {
                // The term loop lets only OR and XOR through to this level.
                const qsizetype start = m_pos;
                const QString word = readWord();
                const std::optional<Op> wordOp = operatorWord(word);
                if (!wordOp || (*wordOp != Op::opOr && *wordOp != Op::opXor)) {
                    m_pos = start;
                    return left;
                }
                op = *wordOp;
            } else {
                return left;
            }
            Parsed right = parseTerm();
            left = combine(
                std::make_unique<TBinaryOp>(op, std::move(left.node), std::move(right.node)),
                std::max(left.depth, right.depth));
        }
    }

    Parsed parseTerm()
    {
        Parsed left = parseFactor();
        for (;;) {
            skipBlanks();
            if (atEnd())
                return left;
            const QChar c = peek();
            Op op;
            if (c == u')' || c == u',' || c == u'+' || c == u'-' || isComparisonChar(c)) {
                return left;
            } else if (c == u'*') {
                op = Op::opMult;
                ++m_pos;
            } else if (c == u'/') {
                op = Op::opDivide;
                ++m_pos;
            } else if (isLetter(c)) {
                const qsizetype start = m_pos;
                const QString word = readWord();
                const std::optional<Op> wordOp = operatorWord(word);
                if (!wordOp) {
                    if (word == u"TRUE" || word == u"FALSE")
                        raise(QStringLiteral("Boolean literal not allowed here"));
                    raise(QStringLiteral("Identifier %1 not allowed here").arg(word));
                }
                if (*wordOp == Op::opOr || *wordOp == Op::opXor) {
                    m_pos = start;
                    return left;
                }
                // NOT cannot follow a complete operand: "[A] NOT [B]" has no meaning.
                if (*wordOp == Op::opNot)
                    raise(QStringLiteral("Syntax error"));
                op = *wordOp;
            } else {
                raise(QStringLiteral("char %1 in input stream").arg(c));
            }
            Parsed right = parseFactor();
            left = combine(
                std::make_unique<TBinaryOp>(op, std::move(left.node), std::move(right.node)),
                std::max(left.depth, right.depth));
        }
    }

    struct NestingGuard {
        explicit NestingGuard(int &level, int limit, const char *what)
            : m_level(level)
        {
            if (++m_level > limit) {
                --m_level;
                raise(QStringLiteral("%1 nested too deeply (more than %2 levels)")
                          .arg(QLatin1String(what))
                          .arg(limit));
            }
        }
        ~NestingGuard() { --m_level; }
        int &m_level;
    };

    Parsed parseFactor()
    {
        NestingGuard guard(m_nesting, MaxFilterNesting, "Filter expression");
        skipBlanks();
        if (atEnd())
            raise(QStringLiteral("Unexpected end of factor"));
        const QChar c = peek();
        if (c == u'+' || c == u'-') {
            ++m_pos;
            Parsed operand = parseFactor();
            return combine(std::make_unique<TUnaryOp>(
                               c == u'+' ? Op::opPlus : Op::opMinus, std::move(operand.node)),
                operand.depth);
        }
        if (c == u'[')
            return Parsed { resolveField(readFieldName()) };
        if (c == u'\'')
            return Parsed { std::make_unique<TStringLiteral>(readString()) };
        if (isDigit(c))
            return Parsed { readNumber() };
        if (c == u'(') {
            ++m_pos;
            skipBlanks();
            if (peek() == u')')
                raise(QStringLiteral("invalid sub-expression"));
            Parsed inner = parseExpression();
            skipBlanks();
            if (peek() != u')')
                raise(QStringLiteral(" ) expected"));
            ++m_pos;
            return inner;
        }
        if (isLetter(c))
            return parseWordFactor();
        if (c == u')' || c == u',')
            raise(QStringLiteral("Unexpected end of factor"));
        raise(QStringLiteral("Syntax error"));
    }

    Parsed parseWordFactor()
    {
        const QString word = readWord();
        if (const std::optional<Op> op = operatorWord(word)) {
            if (*op != Op::opNot)
                raise(QStringLiteral("%1 not allowed here").arg(ExpressionOperatorName(*op)));
            Parsed operand = parseFactor();
            return combine(
                std::make_unique<TUnaryOp>(Op::opNot, std::move(operand.node)), operand.depth);
        }
        if (word == u"TRUE" || word == u"FALSE")
            return Parsed { std::make_unique<TBooleanLiteral>(word == u"TRUE") };
        skipBlanks();
        std::unique_ptr<TParameterList> params;
        int depth = 0;
        if (peek() == u'(') {
            ++m_pos;
            params = std::make_unique<TParameterList>();
            depth = readParameters(*params, word == u"IF");
        }
        std::unique_ptr<TExpression> node = CreateFunctionNode(word, params);
        if (!node && m_onIdentifier)
            node = m_onIdentifier(word, params);
        if (!node)
            raise(QStringLiteral("Unknown Identifier %1").arg(word));
        return combine(std::move(node), depth);
    }

    int readParameters(TParameterList &params, bool ifCall)
    {
        int depth = 0;
        for (;;) {
            skipBlanks();
            if (peek() == u',' || peek() == u')') {
                params.Add(nullptr);
            } else {
                // Reading an IF reads its condition twice (for the kind check and for the
                // value), so the cost doubles with every IF nested inside a condition. Branches
                // are read once and may nest freely.
                std::optional<NestingGuard> conditionGuard;
                if (ifCall && params.Count() == 0)
                    conditionGuard.emplace(m_ifNesting, MaxFilterIfNesting, "IF conditions");
                Parsed p = parseExpression();
                depth = std::max(depth, p.depth);
                params.Add(std::move(p.node));
            }
            skipBlanks();
            if (peek() == u',') {
                ++m_pos;
                continue;
            }
            if (peek() == u')') {
                ++m_pos;
                return depth;
            }
            raise(QStringLiteral("Incorrectly formed parameters"));
        }
    }

    QString readFieldName()
    {
        ++m_pos;
        QString name;
        for (;;) {
            if (atEnd())
                raise(QStringLiteral("Unterminated fieldname"));
            const QChar c = m_text.at(m_pos++);
            if (c == u']')
                return name;
            name += c;
            if (name.size() > 256)
                raise(QStringLiteral("Fieldname too long"));
        }
    }

    std::unique_ptr<TExpression> resolveField(const QString &name)
    {
        // A field name needs a resolver that answers it; without one it is unknown rather than
        // a missing node.
        std::unique_ptr<TParameterList> none;
        std::unique_ptr<TExpression> node;
        if (m_onIdentifier)
            node = m_onIdentifier(name, none);
        if (!node)
            raise(QStringLiteral("Unknown Identifier %1").arg(name));
        return node;
    }

    QString readString()
    {
        ++m_pos;
        QString value;
        for (;;) {
            if (atEnd())
                raise(QStringLiteral("Unterminated string"));
            const QChar c = m_text.at(m_pos++);
            if (c == u'\'') {
                if (peek() != u'\'')
                    return value;
                ++m_pos;
            }
            value += c;
            if (value.size() > 256)
                raise(QStringLiteral("String too long"));
        }
    }

    std::unique_ptr<TExpression> readNumber()
    {
        QString buffer;
        bool isFloat = false;
        auto append = [&](QChar c) {
            buffer += c;
            if (buffer.size() > 28)
                raise(QStringLiteral("Bad numeric format"));
        };
        while (isDigit(peek()))
            append(m_text.at(m_pos++));
        if (peek() == m_separator) {
            ++m_pos;
            isFloat = true;
            append(u'.');
            while (isDigit(peek()))
                append(m_text.at(m_pos++));
        }
        if (peek() == u'e' || peek() == u'E') {
            ++m_pos;
            isFloat = true;
            append(u'E');
            if (peek() == u'-') {
                ++m_pos;
                append(u'-');
            }
            if (!isDigit(peek()))
                raise(QStringLiteral("Bad numeric format"));
            while (isDigit(peek()))
                append(m_text.at(m_pos++));
        }
        if (peek() == m_separator || peek() == u'e' || peek() == u'E')
            raise(QStringLiteral("Bad numeric format"));
        if (!isFloat && buffer.size() <= 10) {
            const qint64 value = buffer.toLongLong();
            if (value <= std::numeric_limits<qint32>::max())
                return std::make_unique<TIntegerLiteral>(static_cast<qint32>(value));
        }
        bool ok = false;
        const double value = buffer.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            raise(QStringLiteral("Bad numeric format"));
        return std::make_unique<TFloatLiteral>(value);
    }

    QString m_text;
    const TResolveIdentifierEvent &m_onIdentifier;
    QChar m_separator;
    qsizetype m_pos = 0;
    int m_nesting = 0;
    int m_ifNesting = 0;
};

// Sets the options of a parse for this thread and restores the previous ones afterwards, so a
// callback that parses a text of its own does not disturb the outer parse.
class OptionScope {
public:
    explicit OptionScope(int options)
        : m_saved(currentOptions)
    {
        currentOptions.caseInsensitive = (options & FilterParseCaseInsensitive) != 0;
        currentOptions.partialCompare = (options & FilterParseNoPartialCompare) == 0;
    }
    ~OptionScope() { currentOptions = m_saved; }

private:
    ParseOptions m_saved;
};

} // namespace

std::unique_ptr<TExpression> ParseFilterExpression(
    const QString &text, int options, const TResolveIdentifierEvent &onIdentifier)
{
    QString source = text;
    const qsizetype nul = source.indexOf(QChar(u'\0'));
    if (nul >= 0)
        source.truncate(nul);
    OptionScope scope(options);
    FilterParser parser(source, onIdentifier);
    parser.skipBlanks();
    if (parser.atEnd())
        return nullptr;
    Parsed result = parser.parseExpression();
    parser.skipBlanks();
    if (!parser.atEnd())
        raise(QStringLiteral("%1 not appropriate").arg(parser.peek()));
    return std::move(result.node);
}

} // namespace qd
