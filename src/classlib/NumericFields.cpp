#include "NumericFields.h"

#include "DataSet.h"
#include "FloatText.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <limits>

namespace qd {

namespace {

// Splits a format at ";" outside quotes.
QStringList formatSections(const QString &format)
{
    QStringList sections { QString() };
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            sections.append(QString());
            continue;
        }
        sections.last().append(c);
    }
    return sections;
}

QString formatSection(const QString &section, double value)
{
    QString prefix, suffix;
    int intZeros = 0, minDecimals = 0, maxDecimals = 0;
    bool thousands = false, seenDigit = false, seenPoint = false;
    QChar quote;
    for (QChar c : section) {
        const bool placeholder = c == QLatin1Char('0') || c == QLatin1Char('#');
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                (seenDigit ? suffix : prefix).append(c);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (placeholder && suffix.isEmpty()) {
            seenDigit = true;
            if (seenPoint) {
                ++maxDecimals;
                if (c == QLatin1Char('0'))
                    minDecimals = maxDecimals;
            } else if (c == QLatin1Char('0')) {
                ++intZeros;
            }
        } else if (c == QLatin1Char('.') && suffix.isEmpty() && !seenPoint) {
            seenPoint = true;
            seenDigit = true;
        } else if (c == QLatin1Char(',') && suffix.isEmpty()) {
            thousands = true;
        } else {
            (seenDigit ? suffix : prefix).append(c);
        }
    }
    if (!seenDigit)
        return prefix + suffix;
    QString digits = QString::number(std::fabs(value), 'f', maxDecimals);
    QString intPart = digits.section(QLatin1Char('.'), 0, 0);
    QString frac = maxDecimals > 0 ? digits.section(QLatin1Char('.'), 1) : QString();
    while (frac.size() > minDecimals && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    if (intPart == QLatin1String("0") && intZeros == 0)
        intPart.clear();
    while (intPart.size() < intZeros)
        intPart.prepend(QLatin1Char('0'));
    if (thousands)
        for (int i = static_cast<int>(intPart.size()) - 3; i > 0; i -= 3)
            intPart.insert(i, QLatin1Char(','));
    QString result = prefix + intPart;
    if (!frac.isEmpty())
        result += QLatin1Char('.') + frac;
    return result + suffix;
}

} // namespace

QString FormatFloat(const QString &format, double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("NAN")
                                 : (value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF"));
    if (format.isEmpty())
        return QString::number(value, 'g', 15);
    const QStringList sections = formatSections(format);
    if (value < 0 && sections.size() >= 2 && !sections[1].isEmpty())
        return formatSection(sections[1], value);
    if (value == 0 && sections.size() >= 3 && !sections[2].isEmpty())
        return formatSection(sections[2], value);
    QString text = formatSection(sections[0], value);
    // A value that rounds to zero in the format shows no minus sign.
    if (value < 0 && text.contains(QRegularExpression(QStringLiteral("[1-9]"))))
        text.prepend(QLatin1Char('-'));
    return text;
}

void TNumericField::SetDisplayFormat(const QString &format)
{
    m_displayFormat = format;
    if (DataSet())
        DataSet()->DataEvent(deLayoutChange, 0);
}

// ---- TIntegerField

TIntegerField::TIntegerField(TFieldType type)
    : TNumericField(type)
{
}

int TIntegerField::DataSize() const
{
    switch (DataType()) {
    case ftSmallint:
    case ftWord:
        return 2;
    case ftLargeint:
        return 8;
    default:
        return 4;
    }
}

bool TIntegerField::read(qint64 &value)
{
    union {
        qint16 i16;
        quint16 u16;
        qint32 i32;
        qint64 i64;
    } data {};
    if (!GetData(&data)) {
        value = 0;
        return false;
    }
    switch (DataType()) {
    case ftSmallint:
        value = data.i16;
        break;
    case ftWord:
        value = data.u16;
        break;
    case ftLargeint:
        value = data.i64;
        break;
    default:
        value = data.i32;
        break;
    }
    return true;
}

Variant TIntegerField::GetValue()
{
    qint64 v = 0;
    return read(v) ? Variant(v) : Variant::Null();
}

qint64 TIntegerField::AsLargeInt()
{
    qint64 v = 0;
    read(v);
    return v;
}

int TIntegerField::AsInteger()
{
    const qint64 v = AsLargeInt();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw EConvertError(QStringLiteral("%1 is not a valid integer value").arg(v));
    return static_cast<int>(v);
}

void TIntegerField::SetAsLargeInt(qint64 value)
{
    qint64 lo = std::numeric_limits<qint32>::min(), hi = std::numeric_limits<qint32>::max();
    switch (DataType()) {
    case ftSmallint:
        lo = -32768, hi = 32767;
        break;
    case ftWord:
        lo = 0, hi = 65535;
        break;
    case ftLargeint:
        lo = std::numeric_limits<qint64>::min(), hi = std::numeric_limits<qint64>::max();
        break;
    default:
        break;
    }
    if (m_minValue != 0 || m_maxValue != 0)
        lo = std::max(lo, m_minValue), hi = std::min(hi, m_maxValue);
    if (value < lo || value > hi)
        DatabaseError(QStringLiteral("%1 is not a valid value for field '%2'. The allowed range "
                                     "is %3 to %4")
                          .arg(value)
                          .arg(DisplayName())
                          .arg(lo)
                          .arg(hi));
    union {
        qint16 i16;
        quint16 u16;
        qint32 i32;
        qint64 i64;
    } data {};
    switch (DataType()) {
    case ftSmallint:
        data.i16 = static_cast<qint16>(value);
        break;
    case ftWord:
        data.u16 = static_cast<quint16>(value);
        break;
    case ftLargeint:
        data.i64 = value;
        break;
    default:
        data.i32 = static_cast<qint32>(value);
        break;
    }
    SetData(&data);
}

void TIntegerField::SetAsFloat(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 9.2e18)
        DatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                          .arg(QString::number(value, 'g', 15), DisplayName()));
    SetAsLargeInt(std::llround(value));
}

QString TIntegerField::AsString()
{
    qint64 v = 0;
    return read(v) ? QString::number(v) : QString();
}

void TIntegerField::SetAsString(const QString &value)
{
    const QString text = value.trimmed();
    if (text.isEmpty()) {
        Clear();
        return;
    }
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok)
        DatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                          .arg(value, DisplayName()));
    SetAsLargeInt(v);
}

void TIntegerField::SetVarValue(const Variant &value)
{
    switch (value.Kind()) {
    case VariantKind::Integer:
        SetAsLargeInt(value.AsInteger());
        break;
    case VariantKind::Float:
        SetAsFloat(value.AsFloat());
        break;
    case VariantKind::String:
        SetAsString(value.AsString());
        break;
    case VariantKind::Boolean:
        SetAsLargeInt(value.AsBoolean() ? 1 : 0);
        break;
    default:
        AccessError(Variant::KindName(value.Kind()));
    }
}

void TIntegerField::GetText(QString &text, bool displayText)
{
    qint64 v = 0;
    if (!read(v)) {
        text.clear();
        return;
    }
    const QString &format = displayText || EditFormat().isEmpty() ? DisplayFormat() : EditFormat();
    text = format.isEmpty() ? QString::number(v) : FormatFloat(format, static_cast<double>(v));
}

// ---- TFloatField

TFloatField::TFloatField(TFieldType type)
    : TNumericField(type)
{
}

Variant TFloatField::GetValue()
{
    double v = 0;
    return GetData(&v) ? Variant(v) : Variant::Null();
}

double TFloatField::AsFloat()
{
    double v = 0;
    return GetData(&v) ? v : 0.0;
}

void TFloatField::SetAsFloat(double value)
{
    if (!std::isfinite(value))
        DatabaseError(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                          .arg(QString::number(value), DisplayName()));
    if ((m_minValue != 0 || m_maxValue != 0) && (value < m_minValue || value > m_maxValue))
        DatabaseError(
            QStringLiteral("%1 is not a valid value for field '%2'. The allowed range "
                           "is %3 to %4")
                .arg(QString::number(value, 'g', 15), DisplayName(),
                    QString::number(m_minValue, 'g', 15), QString::number(m_maxValue, 'g', 15)));
    SetData(&value);
}

int TFloatField::AsInteger()
{
    const double v = AsFloat();
    if (v < std::numeric_limits<int>::min() - 0.5 || v >= std::numeric_limits<int>::max() + 0.5)
        throw EConvertError(
            QStringLiteral("%1 is not a valid integer value").arg(QString::number(v, 'g', 15)));
    return static_cast<int>(std::lround(v));
}

qint64 TFloatField::AsLargeInt()
{
    const double v = AsFloat();
    if (std::fabs(v) >= 9.2e18)
        throw EConvertError(
            QStringLiteral("%1 is not a valid integer value").arg(QString::number(v, 'g', 15)));
    return std::llround(v);
}

QString TFloatField::AsString()
{
    double v = 0;
    return GetData(&v) ? FloatToText(v, m_precision) : QString();
}

void TFloatField::SetAsString(const QString &value)
{
    QString text = value.trimmed();
    if (text.isEmpty()) {
        Clear();
        return;
    }
    // Typed text may carry the thousands separators of the display form.
    text.remove(QLatin1Char(','));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        DatabaseError(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                          .arg(value, DisplayName()));
    SetAsFloat(v);
}

void TFloatField::SetVarValue(const Variant &value)
{
    if (value.Kind() == VariantKind::String)
        SetAsString(value.AsString());
    else if (value.IsNumeric() || value.Kind() == VariantKind::DateTime)
        SetAsFloat(value.AsFloat());
    else
        AccessError(Variant::KindName(value.Kind()));
}

void TFloatField::GetText(QString &text, bool displayText)
{
    double v = 0;
    if (!GetData(&v)) {
        text.clear();
        return;
    }
    QString format = displayText || EditFormat().isEmpty() ? DisplayFormat() : EditFormat();
    if (format.isEmpty() && m_currency && displayText)
        format = QStringLiteral("#,##0.00");
    text = format.isEmpty() ? FloatToText(v, m_precision) : FormatFloat(format, v);
}

} // namespace qd
