#include "StringField.h"

#include "DataSet.h"
#include "DateTimeFields.h"

#include <QVarLengthArray>

#include <cstring>
#include <limits>

namespace qd {

TStringField::TStringField(TFieldType type)
    : TField(type)
{
    SetSize(20);
}

bool TStringField::readText(QString &text)
{
    QVarLengthArray<char, 256> buffer(DataSize());
    if (!GetData(buffer.data())) {
        text.clear();
        return false;
    }
    buffer[DataSize() - 1] = '\0';
    text = QString::fromUtf8(buffer.data());
    return true;
}

Variant TStringField::GetValue()
{
    QString text;
    if (!readText(text))
        return Variant::Null();
    return Variant(text);
}

QString TStringField::AsString()
{
    QString text;
    readText(text);
    return text;
}

void TStringField::SetAsString(const QString &value)
{
    QVarLengthArray<char, 256> buffer(DataSize());
    std::memset(buffer.data(), 0, static_cast<size_t>(buffer.size()));
    // Plain ASCII that fits (the usual case) is narrowed in place, without a converted copy.
    if (value.size() <= Size() && value.size() < buffer.size()) {
        const QChar *chars = value.constData();
        qsizetype i = 0;
        while (i < value.size() && chars[i].unicode() < 0x80 && chars[i].unicode() != 0) {
            buffer[i] = static_cast<char>(chars[i].unicode());
            ++i;
        }
        if (i == value.size()) {
            SetData(buffer.data());
            return;
        }
        std::memset(buffer.data(), 0, static_cast<size_t>(i));
    }
    QByteArray utf8 = value.toUtf8();
    if (utf8.size() > Size()) {
        // Cut at a character boundary: never leave half a UTF-8 sequence in the record.
        int n = Size();
        while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
            --n;
        utf8.truncate(n);
    }
    std::memcpy(buffer.data(), utf8.constData(), static_cast<size_t>(utf8.size()));
    SetData(buffer.data());
}

int TStringField::AsInteger()
{
    const qint64 v = AsLargeInt();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(AsString()));
    return static_cast<int>(v);
}

qint64 TStringField::AsLargeInt()
{
    const QString text = AsString().trimmed();
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return v;
}

double TStringField::AsFloat()
{
    const QString text = AsString().trimmed();
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}

bool TStringField::AsBoolean()
{
    const QString text = AsString().trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0
        || text == QLatin1String("0"))
        return false;
    throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
}

void TStringField::SetAsBoolean(bool value)
{
    SetAsString(value ? QStringLiteral("True") : QStringLiteral("False"));
}

double TStringField::AsDateTime()
{
    const QString text = AsString().trimmed();
    double value = 0;
    if (!TextToDateTime(text, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return value;
}

void TStringField::SetAsDateTime(double value)
{
    SetAsString(DateTimeToText(ftDateTime, value));
}

// ---- TBooleanField

TBooleanField::TBooleanField()
    : TField(ftBoolean)
{
}

void TBooleanField::SetDisplayValues(const QString &values)
{
    const int sep = values.indexOf(QLatin1Char(';'));
    if (sep < 0 || values.left(sep).isEmpty() || values.mid(sep + 1).isEmpty()
        || values.left(sep).compare(values.mid(sep + 1), Qt::CaseInsensitive) == 0)
        DatabaseError(QStringLiteral("Invalid format: %1").arg(values));
    m_displayValues = values;
    m_trueText = values.left(sep);
    m_falseText = values.mid(sep + 1);
    if (DataSet())
        DataSet()->DataEvent(deLayoutChange, 0);
}

Variant TBooleanField::GetValue()
{
    qint16 v = 0;
    if (!GetData(&v))
        return Variant::Null();
    return Variant(v != 0);
}

bool TBooleanField::AsBoolean()
{
    qint16 v = 0;
    return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBoolean(bool value)
{
    const qint16 v = value ? 1 : 0;
    SetData(&v);
}

QString TBooleanField::AsString()
{
    qint16 v = 0;
    if (!GetData(&v))
        return {};
    return v ? m_trueText : m_falseText;
}

void TBooleanField::SetAsString(const QString &value)
{
    const QString text = value.trimmed();
    if (text.isEmpty()) {
        Clear();
        return;
    }
    if (m_trueText.startsWith(text, Qt::CaseInsensitive))
        SetAsBoolean(true);
    else if (m_falseText.startsWith(text, Qt::CaseInsensitive))
        SetAsBoolean(false);
    else
        DatabaseError(QStringLiteral("'%1' is not a valid boolean value for field '%2'")
                          .arg(value, DisplayName()));
}

void TBooleanField::SetVarValue(const Variant &value)
{
    if (value.Kind() == VariantKind::String)
        SetAsString(value.AsString());
    else
        SetAsBoolean(value.AsBoolean());
}

void TBooleanField::GetText(QString &text, bool)
{
    text = AsString();
}

int TBooleanField::DefaultWidth() const
{
    return static_cast<int>(std::max(m_trueText.size(), m_falseText.size()));
}

} // namespace qd
