// The filter language's value kinds, regional settings, base node, literals and operators.
#include "FilterNodes.h"

#include "FilterSupport.h"
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

namespace FilterSupport {

ParseOptions &currentOptions()
{
    thread_local ParseOptions options;
    return options;
}

void raise(const QString &message)
{
    throw EExpression(message);
}

void internalError(int code)
{
    raise(QStringLiteral("Internal parser error. Code %1").arg(code));
}

void divisionByZero()
{
    raise(QStringLiteral("Division by zero"));
}

void invalidFloatOperation()
{
    raise(QStringLiteral("Invalid floating point operation"));
}

qint32 toInt32(double value)
{
    if (!(value >= -2147483648.0 && value < 2147483648.0))
        raise(QStringLiteral("Integer overflow"));
    return static_cast<qint32>(value);
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

QString lenientFormat(QString format)
{
    static const QRegularExpression doubled(QStringLiteral("(?<![dMHhms])([dMHhms])\\1(?!\\1)"));
    return format.replace(doubled, QStringLiteral("\\1"));
}

} // namespace FilterSupport

using namespace FilterSupport;

namespace {

QMutex settingsMutex;
std::optional<FilterFormatSettings> settingsOverride;

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
    : m_caseInsensitive(currentOptions().caseInsensitive)
    , m_partialCompare(currentOptions().partialCompare)
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

} // namespace qd
