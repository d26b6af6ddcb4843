#include "WideStringField.h"

#include <QUuid>
#include <QVarLengthArray>

#include <cstring>

namespace qd {

TWideStringField::TWideStringField()
    : TField(ftWideString)
{
    SetSize(20);
}

bool TWideStringField::readText(QString &text)
{
    QVarLengthArray<char16_t, 256> buffer(DataSize() / 2);
    if (!GetData(buffer.data())) {
        text.clear();
        return false;
    }
    buffer[buffer.size() - 1] = u'\0';
    text = QString::fromUtf16(buffer.data());
    return true;
}

QString TWideStringField::AsString()
{
    QString text;
    readText(text);
    return text;
}

Variant TWideStringField::GetValue()
{
    QString text;
    if (!readText(text))
        return Variant::Null();
    return Variant(text);
}

void TWideStringField::SetAsString(const QString &value)
{
    qsizetype n = std::min<qsizetype>(value.size(), Size());
    // Never keep half of a surrogate pair.
    if (n > 0 && n < value.size() && value.at(n - 1).isHighSurrogate())
        --n;
    QVarLengthArray<char16_t, 256> buffer(DataSize() / 2);
    std::memset(buffer.data(), 0, static_cast<size_t>(DataSize()));
    std::memcpy(buffer.data(), value.utf16(), static_cast<size_t>(n) * 2);
    SetData(buffer.data());
}

TGuidField::TGuidField()
    : TStringField(ftGuid)
{
    SetSize(38);
}

void TGuidField::SetAsString(const QString &value)
{
    if (value.isEmpty()) {
        Clear();
        return;
    }
    const QUuid uuid(value);
    if (uuid.isNull() && value.trimmed() != QLatin1String("{00000000-0000-0000-0000-000000000000}"))
        DatabaseError(QStringLiteral("'%1' is not a valid GUID value for field '%2'")
                          .arg(value, DisplayName()));
    char buffer[39] = {};
    const QByteArray text = uuid.toString(QUuid::WithBraces).toUpper().toLatin1();
    std::memcpy(buffer, text.constData(), std::min<size_t>(38, static_cast<size_t>(text.size())));
    SetData(buffer);
}

} // namespace qd
