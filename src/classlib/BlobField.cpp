#include "BlobField.h"

#include "BytesField.h"
#include "VariantField.h"
#include "WideStringField.h"

#include "DataSet.h"
#include "DateTimeFields.h"
#include "NumericFields.h"
#include "Stream.h"
#include "StringField.h"

namespace qd {

TBlobField::TBlobField(TFieldType type)
    : TField(type)
{
}

qint64 TBlobField::BlobSize()
{
    CheckDataSet();
    return DataSet()->CreateBlobStream(this, bmRead)->Size();
}

bool TBlobField::IsNull()
{
    if (!DataSet())
        return true;
    if (m_modified)
        return BlobSize() == 0;
    return !GetData(nullptr);
}

void TBlobField::Clear()
{
    CheckDataSet();
    // Opening for writing truncates the value.
    DataSet()->CreateBlobStream(this, bmWrite);
}

QByteArray TBlobField::AsBytes()
{
    CheckDataSet();
    return DataSet()->CreateBlobStream(this, bmRead)->ReadAll();
}

void TBlobField::SetAsBytes(const QByteArray &value)
{
    CheckDataSet();
    std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(this, bmWrite);
    stream->WriteAll(value);
}

QString TBlobField::AsString()
{
    const QByteArray bytes = AsBytes();
    return IsText() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

void TBlobField::SetAsString(const QString &value)
{
    SetAsBytes(IsText() ? value.toUtf8() : value.toLatin1());
}

void TBlobField::FreeBuffers()
{
    if (m_modified) {
        m_modified = false;
        if (DataSet())
            DataSet()->CloseBlob(this);
    }
}

Variant TBlobField::GetValue()
{
    if (IsNull())
        return Variant::Null();
    if (IsText())
        return Variant(AsString());
    return Variant(AsBytes());
}

void TBlobField::SetVarValue(const Variant &value)
{
    if (value.Kind() == VariantKind::Bytes)
        SetAsBytes(value.AsBytes());
    else
        SetAsString(value.AsString());
}

void TBlobField::GetText(QString &text, bool displayText)
{
    if (!displayText) {
        text = AsString();
        return;
    }
    text = QLatin1Char('(') + FieldTypeName(DataType()) + QLatin1Char(')');
    if (!IsNull())
        text = text.toUpper();
}

std::unique_ptr<TField> CreateFieldOfType(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
        return std::make_unique<TStringField>(type);
    case ftSmallint:
        return std::make_unique<TSmallintField>();
    case ftInteger:
        return std::make_unique<TIntegerField>();
    case ftWord:
        return std::make_unique<TWordField>();
    case ftAutoInc:
        return std::make_unique<TAutoIncField>();
    case ftLargeint:
        return std::make_unique<TLargeintField>();
    case ftBoolean:
        return std::make_unique<TBooleanField>();
    case ftFloat:
        return std::make_unique<TFloatField>();
    case ftCurrency:
        return std::make_unique<TCurrencyField>();
    case ftBCD:
        return std::make_unique<TBCDField>();
    case ftDate:
        return std::make_unique<TDateField>();
    case ftTime:
        return std::make_unique<TTimeField>();
    case ftDateTime:
        return std::make_unique<TDateTimeField>();
    case ftBytes:
        return std::make_unique<TBytesField>();
    case ftVarBytes:
        return std::make_unique<TVarBytesField>();
    case ftWideString:
        return std::make_unique<TWideStringField>();
    case ftGuid:
        return std::make_unique<TGuidField>();
    case ftVariant:
        return std::make_unique<TVariantField>();
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        return std::make_unique<TMemoField>(type);
    case ftGraphic:
        return std::make_unique<TGraphicField>();
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
        return std::make_unique<TBlobField>(type);
    default:
        return nullptr;
    }
}

} // namespace qd
