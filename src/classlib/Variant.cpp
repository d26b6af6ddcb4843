#include "Variant.h"

#include "DateTimeUtils.h"
#include "Exception.h"

#include <QDateTime>

#include <cmath>

namespace qd {

namespace {

// 2^63 as a double: the first value above the qint64 range.
constexpr double Int64Limit = 9223372036854775808.0;

bool roundToInt64(double value, qint64 &result)
{
    // Round half to even, as the class library's Round does.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -Int64Limit && rounded < Int64Limit))
        return false;
    result = static_cast<qint64>(rounded);
    return true;
}

// Decimal, or hexadecimal with "$" or "0x", an optional sign, surrounding blanks ignored.
bool parseInteger(const QString &text, qint64 &result)
{
    QStringView s = QStringView(text).trimmed();
    bool negative = false;
    if (!s.isEmpty() && (s.front() == u'-' || s.front() == u'+')) {
        negative = s.front() == u'-';
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith(u'$')) {
        base = 16;
        s = s.mid(1);
    } else if (s.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        s = s.mid(2);
    }
    if (s.isEmpty() || s.front() == u'-' || s.front() == u'+' || s.front().isSpace())
        return false;
    bool ok = false;
    const quint64 magnitude = s.toULongLong(&ok, base);
    if (!ok)
        return false;
    const quint64 limit = static_cast<quint64>(std::numeric_limits<qint64>::max());
    if (negative) {
        if (magnitude > limit + 1)
            return false;
        result = magnitude == limit + 1 ? std::numeric_limits<qint64>::min()
                                        : -static_cast<qint64>(magnitude);
    } else {
        if (magnitude > limit)
            return false;
        result = static_cast<qint64>(magnitude);
    }
    return true;
}

// Finite decimal numbers with "." as decimal point and an optional exponent.
bool parseFloat(const QString &text, double &result)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    result = value;
    return true;
}

bool parseDateTime(const QString &text, double &result)
{
    QString s = text.trimmed();
    if (s.size() > 10 && s.at(10) == u' ')
        s[10] = u'T';
    try {
        const QDateTime dt = QDateTime::fromString(s, Qt::ISODateWithMs);
        if (dt.isValid() && s.size() > 10) {
            result = QDateTimeToDateTime(dt);
            return true;
        }
        const QDate date = QDate::fromString(s, Qt::ISODate);
        if (date.isValid()) {
            result = QDateToDateTime(date);
            return true;
        }
        const QTime time = QTime::fromString(s, Qt::ISODateWithMs);
        if (time.isValid()) {
            result = QTimeToDateTime(time);
            return true;
        }
    } catch (const EConvertError &) {
        // Outside the supported years: reported below like any other bad text.
    }
    return false;
}

// The class library's float-to-text form: 15 significant digits, "1E20" style exponents.
QString formatFloat(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QString s = QString::number(value, 'g', 15);
    const qsizetype e = s.indexOf(u'e');
    if (e < 0)
        return s;
    QString exponent = s.mid(e + 1);
    const bool negative = exponent.startsWith(u'-');
    if (exponent.startsWith(u'-') || exponent.startsWith(u'+'))
        exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith(u'0'))
        exponent.remove(0, 1);
    return s.left(e) + (negative ? QStringLiteral("E-") : QStringLiteral("E")) + exponent;
}

QString formatDateTime(double days)
{
    const QDateTime dt = DateTimeToQDateTime(days);
    const QTime time = dt.time();
    QString text = dt.date().toString(Qt::ISODate);
    if (time.msecsSinceStartOfDay() != 0)
        text += u' '
            + time.toString(
                time.msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss"));
    return text;
}

[[noreturn]] void invalidText(const QString &text, const char *what)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(what)));
}

int rank(VariantKind kind)
{
    switch (kind) {
    case VariantKind::Unassigned:
        return 0;
    case VariantKind::Null:
        return 1;
    case VariantKind::Boolean:
        return 2;
    case VariantKind::Integer:
    case VariantKind::Float:
    case VariantKind::DateTime:
        return 3;
    case VariantKind::String:
        return 4;
    case VariantKind::Bytes:
        return 5;
    case VariantKind::Array:
        return 6;
    }
    return 7;
}

template <typename T> int compareValues(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// NaN sorts before every number and equals NaN, so the order stays total.
int compareDoubles(double a, double b)
{
    const bool nanA = std::isnan(a), nanB = std::isnan(b);
    if (nanA || nanB)
        return nanA == nanB ? 0 : (nanA ? -1 : 1);
    return compareValues(a, b);
}

} // namespace

QString Variant::KindName(VariantKind kind)
{
    switch (kind) {
    case VariantKind::Unassigned:
        return QStringLiteral("Empty");
    case VariantKind::Null:
        return QStringLiteral("Null");
    case VariantKind::Integer:
        return QStringLiteral("Int64");
    case VariantKind::Float:
        return QStringLiteral("Double");
    case VariantKind::String:
        return QStringLiteral("String");
    case VariantKind::Boolean:
        return QStringLiteral("Boolean");
    case VariantKind::DateTime:
        return QStringLiteral("Date");
    case VariantKind::Bytes:
        return QStringLiteral("Array Byte");
    case VariantKind::Array:
        return QStringLiteral("Array Variant");
    }
    return QStringLiteral("Unknown");
}

void Variant::castError(VariantKind target) const
{
    throw EConvertError(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                            .arg(KindName(Kind()), KindName(target)));
}

qint64 Variant::AsInteger() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
        return 0;
    case VariantKind::Integer:
        return std::get<qint64>(m_value);
    // The class library's True is -1.
    case VariantKind::Boolean:
        return std::get<bool>(m_value) ? -1 : 0;
    case VariantKind::Float:
    case VariantKind::DateTime: {
        qint64 result = 0;
        if (!roundToInt64(Kind() == VariantKind::Float ? std::get<double>(m_value)
                                                       : std::get<DateTimeTag>(m_value).days,
                result))
            castError(VariantKind::Integer);
        return result;
    }
    case VariantKind::String: {
        const QString &text = std::get<QString>(m_value);
        qint64 result = 0;
        double number = 0;
        if (parseInteger(text, result))
            return result;
        if (parseFloat(text, number) && roundToInt64(number, result))
            return result;
        invalidText(text, "integer value");
    }
    default:
        castError(VariantKind::Integer);
    }
}

int Variant::toInt() const
{
    const qint64 value = AsInteger();
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw EConvertError(QStringLiteral("%1 is out of the integer range").arg(value));
    return static_cast<int>(value);
}

double Variant::AsFloat() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
        return 0;
    case VariantKind::Integer:
        return static_cast<double>(std::get<qint64>(m_value));
    case VariantKind::Float:
        return std::get<double>(m_value);
    case VariantKind::DateTime:
        return std::get<DateTimeTag>(m_value).days;
    case VariantKind::Boolean:
        return std::get<bool>(m_value) ? -1 : 0;
    case VariantKind::String: {
        const QString &text = std::get<QString>(m_value);
        double result = 0;
        if (!parseFloat(text, result))
            invalidText(text, "floating point value");
        return result;
    }
    default:
        castError(VariantKind::Float);
    }
}

QString Variant::AsString() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
    case VariantKind::Null:
        return QString();
    case VariantKind::Integer:
        return QString::number(std::get<qint64>(m_value));
    case VariantKind::Float:
        return formatFloat(std::get<double>(m_value));
    case VariantKind::String:
        return std::get<QString>(m_value);
    case VariantKind::Boolean:
        return std::get<bool>(m_value) ? QStringLiteral("True") : QStringLiteral("False");
    case VariantKind::DateTime:
        return formatDateTime(std::get<DateTimeTag>(m_value).days);
    default:
        castError(VariantKind::String);
    }
}

bool Variant::AsBoolean() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
        return false;
    case VariantKind::Integer:
        return std::get<qint64>(m_value) != 0;
    case VariantKind::Float:
        return std::get<double>(m_value) != 0;
    case VariantKind::DateTime:
        return std::get<DateTimeTag>(m_value).days != 0;
    case VariantKind::Boolean:
        return std::get<bool>(m_value);
    case VariantKind::String: {
        const QString &text = std::get<QString>(m_value);
        const QString trimmed = text.trimmed();
        if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        double number = 0;
        if (parseFloat(trimmed, number))
            return number != 0;
        invalidText(text, "boolean value");
    }
    default:
        castError(VariantKind::Boolean);
    }
}

double Variant::AsDateTime() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
        return 0;
    case VariantKind::Integer:
        return static_cast<double>(std::get<qint64>(m_value));
    case VariantKind::Float:
        return std::get<double>(m_value);
    case VariantKind::DateTime:
        return std::get<DateTimeTag>(m_value).days;
    case VariantKind::String: {
        const QString &text = std::get<QString>(m_value);
        double result = 0;
        if (!parseDateTime(text, result))
            invalidText(text, "date and time");
        return result;
    }
    default:
        castError(VariantKind::DateTime);
    }
}

QByteArray Variant::AsBytes() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
        return QByteArray();
    case VariantKind::Bytes:
        return std::get<QByteArray>(m_value);
    case VariantKind::String:
        return std::get<QString>(m_value).toUtf8();
    case VariantKind::Array: {
        // An array of small integers is the class library's byte array.
        const VariantArray &items = std::get<VariantArray>(m_value);
        QByteArray result;
        result.reserve(static_cast<qsizetype>(items.size()));
        for (const Variant &item : items) {
            const qint64 *byte = std::get_if<qint64>(&item.m_value);
            if (!byte || *byte < 0 || *byte > 255)
                castError(VariantKind::Bytes);
            result.append(static_cast<char>(*byte));
        }
        return result;
    }
    default:
        castError(VariantKind::Bytes);
    }
}

VariantArray Variant::AsArray() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
        return VariantArray();
    case VariantKind::Array:
        return std::get<VariantArray>(m_value);
    case VariantKind::Bytes: {
        const QByteArray &bytes = std::get<QByteArray>(m_value);
        VariantArray result;
        result.reserve(static_cast<size_t>(bytes.size()));
        for (char c : bytes)
            result.emplace_back(static_cast<qint64>(static_cast<unsigned char>(c)));
        return result;
    }
    default:
        castError(VariantKind::Array);
    }
}

bool operator==(const Variant &a, const Variant &b) noexcept
{
    return Variant::Compare(a, b) == 0;
}

int Variant::Compare(const Variant &a, const Variant &b) noexcept
{
    const VariantKind ka = a.Kind(), kb = b.Kind();
    const int ra = rank(ka), rb = rank(kb);
    if (ra != rb)
        return compareValues(ra, rb);
    switch (ka) {
    case VariantKind::Unassigned:
    case VariantKind::Null:
        return 0;
    case VariantKind::Boolean:
        return compareValues(std::get<bool>(a.m_value), std::get<bool>(b.m_value));
    case VariantKind::Integer:
    case VariantKind::Float:
    case VariantKind::DateTime:
        if (ka == VariantKind::Integer && kb == VariantKind::Integer)
            return compareValues(std::get<qint64>(a.m_value), std::get<qint64>(b.m_value));
        return compareDoubles(a.AsFloat(), b.AsFloat());
    case VariantKind::String: {
        const int c = std::get<QString>(a.m_value).compare(std::get<QString>(b.m_value));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case VariantKind::Bytes: {
        const int c = std::get<QByteArray>(a.m_value).compare(std::get<QByteArray>(b.m_value));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case VariantKind::Array: {
        const VariantArray &x = std::get<VariantArray>(a.m_value);
        const VariantArray &y = std::get<VariantArray>(b.m_value);
        for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
            if (const int c = Compare(x[i], y[i]))
                return c;
        }
        return compareValues(x.size(), y.size());
    }
    }
    return 0;
}

QVariant Variant::ToQVariant() const
{
    switch (Kind()) {
    case VariantKind::Unassigned:
        return QVariant();
    case VariantKind::Null:
        return QVariant::fromValue(nullptr);
    case VariantKind::Integer:
        return QVariant(static_cast<qlonglong>(std::get<qint64>(m_value)));
    case VariantKind::Float:
        return QVariant(std::get<double>(m_value));
    case VariantKind::String:
        return QVariant(std::get<QString>(m_value));
    case VariantKind::Boolean:
        return QVariant(std::get<bool>(m_value));
    case VariantKind::DateTime:
        return QVariant(DateTimeToQDateTime(std::get<DateTimeTag>(m_value).days));
    case VariantKind::Bytes:
        return QVariant(std::get<QByteArray>(m_value));
    case VariantKind::Array: {
        QVariantList list;
        for (const Variant &item : std::get<VariantArray>(m_value))
            list.append(item.ToQVariant());
        return list;
    }
    }
    return QVariant();
}

Variant Variant::FromQVariant(const QVariant &value)
{
    if (!value.isValid())
        return Variant();
    switch (value.typeId()) {
    case QMetaType::Nullptr:
        return Null();
    case QMetaType::Bool:
        return Variant(value.toBool());
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
        return Variant(value.toLongLong());
    case QMetaType::ULongLong:
        return Variant(value.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return Variant(value.toDouble());
    case QMetaType::QChar:
    case QMetaType::QString:
        return Variant(value.toString());
    case QMetaType::QByteArray:
        return Variant(value.toByteArray());
    case QMetaType::QDateTime:
        return FromDateTime(QDateTimeToDateTime(value.toDateTime()));
    case QMetaType::QDate:
        return FromDateTime(QDateToDateTime(value.toDate()));
    case QMetaType::QTime:
        return FromDateTime(QTimeToDateTime(value.toTime()));
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        VariantArray items;
        for (const QVariant &item : value.toList())
            items.push_back(FromQVariant(item));
        return Variant(std::move(items));
    }
    default:
        break;
    }
    throw EConvertError(QStringLiteral("Could not convert variant of type (%1) into type (Variant)")
                            .arg(QLatin1String(value.typeName())));
}

} // namespace qd
