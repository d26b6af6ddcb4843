#include "BytesField.h"

#include <QVarLengthArray>

#include <cstring>

namespace qd {

TBytesField::TBytesField(TFieldType type)
    : TField(type)
{
    SetSize(16);
}

QByteArray TBytesField::AsBytes()
{
    QVarLengthArray<char, 256> buffer(DataSize());
    if (!GetData(buffer.data()))
        return {};
    if (DataType() != ftVarBytes)
        return QByteArray(buffer.data(), Size());
    quint16 length = 0;
    std::memcpy(&length, buffer.data(), 2);
    // A stored length beyond the field's size is damage, not data: never read past the value.
    return QByteArray(buffer.data() + 2, std::min<int>(length, Size()));
}

void TBytesField::SetAsBytes(const QByteArray &value)
{
    if (value.size() > Size())
        DatabaseError(QStringLiteral("Value of %1 bytes is too long for field '%2' (%3 bytes)")
                          .arg(value.size())
                          .arg(DisplayName())
                          .arg(Size()));
    QVarLengthArray<char, 256> buffer(DataSize());
    std::memset(buffer.data(), 0, static_cast<size_t>(buffer.size()));
    char *place = buffer.data();
    if (DataType() == ftVarBytes) {
        const auto length = static_cast<quint16>(value.size());
        std::memcpy(place, &length, 2);
        place += 2;
    }
    std::memcpy(place, value.constData(), static_cast<size_t>(value.size()));
    SetData(buffer.data());
}

Variant TBytesField::GetValue()
{
    if (IsNull())
        return Variant::Null();
    return Variant(AsBytes());
}

void TBytesField::SetVarValue(const Variant &value)
{
    if (value.Kind() == VariantKind::Bytes)
        SetAsBytes(value.AsBytes());
    else
        SetAsString(value.AsString());
}

} // namespace qd
