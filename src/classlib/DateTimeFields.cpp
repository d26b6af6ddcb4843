#include "DateTimeFields.h"

#include "DataSet.h"
#include "DateTimeUtils.h"

#include <cmath>
#include <cstring>

namespace qd {

namespace {

constexpr double msPerDay = 86400000.0;
// Days from 0001-01-01 (day one) to 1899-12-30 (day count zero).
constexpr qint32 dateDelta = 693594;

void checkRange(double dateTime)
{
    if (!std::isfinite(dateTime) || dateTime < MinDateTime || dateTime > MaxDateTime)
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
}

qint32 timeOfDayMs(double dateTime)
{
    double frac = std::fabs(dateTime - std::trunc(dateTime));
    const double ms = std::round(frac * msPerDay);
    return static_cast<qint32>(std::min(ms, msPerDay - 1));
}

} // namespace

double NativeToDateTime(TFieldType type, const void *data)
{
    switch (type) {
    case ftDate: {
        qint32 days;
        std::memcpy(&days, data, sizeof days);
        return static_cast<double>(days - dateDelta);
    }
    case ftTime: {
        qint32 ms;
        std::memcpy(&ms, data, sizeof ms);
        return ms / msPerDay;
    }
    default: {
        double stamp;
        std::memcpy(&stamp, data, sizeof stamp);
        const double date = std::floor(stamp / msPerDay);
        const double time = (stamp - date * msPerDay) / msPerDay;
        return ComposeDateTime(date - dateDelta, time);
    }
    }
}

void DateTimeToNative(TFieldType type, double dateTime, void *data)
{
    checkRange(dateTime);
    const qint32 days = static_cast<qint32>(std::trunc(dateTime)) + dateDelta;
    const qint32 ms = timeOfDayMs(dateTime);
    switch (type) {
    case ftDate:
        std::memcpy(data, &days, sizeof days);
        break;
    case ftTime:
        std::memcpy(data, &ms, sizeof ms);
        break;
    default: {
        const double stamp = static_cast<double>(days) * msPerDay + ms;
        std::memcpy(data, &stamp, sizeof stamp);
        break;
    }
    }
}

QString DateTimeToText(TFieldType type, double dateTime)
{
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(dateTime, y, mo, d, h, mi, s, ms);
    if (y >= 0 && y <= 9999) {
        // Written digit by digit: every date a grid shows or an export writes comes here.
        char16_t text[19] = { u'0', u'0', u'0', u'0', u'-', u'0', u'0', u'-', u'0', u'0', u' ',
            u'0', u'0', u':', u'0', u'0', u':', u'0', u'0' };
        auto put = [&text](int at, int value, int digits) {
            for (int i = digits - 1; i >= 0; --i, value /= 10)
                text[at + i] = char16_t(u'0' + value % 10);
        };
        put(0, y, 4);
        put(5, mo, 2);
        put(8, d, 2);
        put(11, h, 2);
        put(14, mi, 2);
        put(17, s, 2);
        if (type == ftDate)
            return QString(reinterpret_cast<const QChar *>(text), 10);
        if (type == ftTime)
            return QString(reinterpret_cast<const QChar *>(text + 11), 8);
        return QString(reinterpret_cast<const QChar *>(text), (h || mi || s || ms) ? 19 : 10);
    }
    const QString date = QStringLiteral("%1-%2-%3")
                             .arg(y, 4, 10, QLatin1Char('0'))
                             .arg(mo, 2, 10, QLatin1Char('0'))
                             .arg(d, 2, 10, QLatin1Char('0'));
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(h, 2, 10, QLatin1Char('0'))
                             .arg(mi, 2, 10, QLatin1Char('0'))
                             .arg(s, 2, 10, QLatin1Char('0'));
    if (type == ftDate)
        return date;
    if (type == ftTime)
        return time;
    return (h || mi || s || ms) ? date + QLatin1Char(' ') + time : date;
}

bool TextToDateTime(const QString &text, double &dateTime)
{
    static const char *const formats[] = { "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss",
        "yyyy-MM-dd HH:mm", "yyyy-MM-dd", "HH:mm:ss.zzz", "HH:mm:ss", "HH:mm" };
    const QString t = text.trimmed();
    for (const char *format : formats) {
        const QString f = QString::fromLatin1(format);
        if (f.startsWith(QLatin1Char('H'))) {
            const QTime time = QTime::fromString(t, f);
            if (time.isValid()) {
                dateTime = QTimeToDateTime(time);
                return true;
            }
        } else {
            const QDateTime value = QDateTime::fromString(t, f);
            if (value.isValid()) {
                dateTime = QDateTimeToDateTime(value);
                return true;
            }
        }
    }
    return false;
}

TDateTimeField::TDateTimeField(TFieldType type)
    : TField(type)
{
}

void TDateTimeField::SetDisplayFormat(const QString &format)
{
    m_displayFormat = format;
    if (DataSet())
        DataSet()->DataEvent(deLayoutChange, 0);
}

bool TDateTimeField::read(double &value)
{
    char data[8] = {};
    if (!GetData(data)) {
        value = 0;
        return false;
    }
    value = NativeToDateTime(DataType(), data);
    return true;
}

Variant TDateTimeField::GetValue()
{
    double v = 0;
    return read(v) ? Variant::FromDateTime(v) : Variant::Null();
}

double TDateTimeField::AsDateTime()
{
    double v = 0;
    read(v);
    return v;
}

void TDateTimeField::SetAsDateTime(double value)
{
    char data[8] = {};
    DateTimeToNative(DataType(), value, data);
    SetData(data);
}

QString TDateTimeField::AsString()
{
    QString text;
    GetText(text, false);
    return text;
}

void TDateTimeField::SetAsString(const QString &value)
{
    if (value.trimmed().isEmpty()) {
        Clear();
        return;
    }
    double v = 0;
    if (!TextToDateTime(value, v)) {
        const char *what = DataType() == ftDate ? "date"
            : DataType() == ftTime              ? "time"
                                                : "date and time";
        throw EConvertError(
            QStringLiteral("'%1' is not a valid %2").arg(value, QString::fromLatin1(what)));
    }
    SetAsDateTime(v);
}

void TDateTimeField::SetVarValue(const Variant &value)
{
    if (value.Kind() == VariantKind::String)
        SetAsString(value.AsString());
    else if (value.IsNumeric() || value.Kind() == VariantKind::DateTime)
        SetAsDateTime(value.AsDateTime());
    else
        AccessError(Variant::KindName(value.Kind()));
}

void TDateTimeField::GetText(QString &text, bool displayText)
{
    double v = 0;
    if (!read(v)) {
        text.clear();
        return;
    }
    if (displayText && !m_displayFormat.isEmpty())
        text = DateTimeToQDateTime(v).toString(m_displayFormat);
    else
        text = DateTimeToText(DataType(), v);
}

} // namespace qd
